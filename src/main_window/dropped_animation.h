// SPDX-License-Identifier: MIT
#pragma once

// The last file divided, whatever its format: a GIF cut at its blocks, or
// an animated WebP or APNG read by its chunks. What the strip, the menus
// and the savers need of its frames is here, so that the formats are told
// apart in this one place.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/save_frames.h"
#include "frame_split/frame_split.h"
#include "toolkit/progress.h"

namespace FrameFormats {
class FormatSource;
}

namespace MainWindow {

class DroppedAnimation;

// What reading a dropped file's bytes gave: the animation, or the line that
// says why it is refused (then `animation` is null).
struct DropReading {
  std::shared_ptr<const DroppedAnimation> animation;
  QString refusal;
};

class DroppedAnimation {
 public:
  using Bytes = std::vector<std::uint8_t>;
  // Hands every frame composed to a sink, filling the animation's facts:
  // the form FrameCompose::SaveRequest::frames takes.
  using FrameSource =
      std::function<void(const FrameCompose::FrameSink& sink, FrameCompose::AnimationFacts& facts)>;

  // Tells the format of `bytes` (not null) by the bytes alone and reads it:
  // a looping GIF is planned for its cut, an animated WebP or APNG has its
  // chunk headers read within the budgets. Anything else, and a WebP or
  // APNG whose chunks do not hold together, is refused with a line naming
  // what it is. Throws for a GIF that cannot be cut (FrameSplit::DivideError)
  // and when memory runs out. Nothing is decoded.
  static DropReading Read(const std::string& source_path, std::shared_ptr<const Bytes> bytes);

  const std::string& SourcePath() const { return source_path_; }
  const Bytes& Source() const { return *bytes_; }
  // The extension of its frame files: ".gif", ".webp" or ".png".
  std::string Extension() const;
  // "GIF", "WebP" or "APNG": what its stored frame files are.
  QString FormatName() const;
  // True when whole frames in its own format are another kind of file
  // than whole frames as PNGs, and can be written: for a GIF, and a WebP
  // whose canvas a WebP still can hold; not an APNG.
  bool HasOwnWholeFrames() const;
  // The frame files' names start with the dropped file's name less this:
  // its last four characters for a GIF, as the window always did; for the
  // other formats their extension when the name ends in it (in any case),
  // as mervane-split names them.
  std::string BaseName(const std::string& file_name, std::size_t gif_extension_length) const;
  // The frame files the cut makes.
  int FrameCount() const;
  // Its frames as composing counts them and the picture they are composed on.
  FrameCompose::Survey Survey(const FrameCompose::ComposeOptions& options) const;

  // The exact cut of frame `number` (1-based), in memory.
  // REQUIRES: 1 <= number <= FrameCount().
  Bytes FrameFile(int number) const;
  // Writes the exact cut of the wanted frames (every one when `wanted` is
  // empty) as `prefix`NNN plus the extension, drawing on `progress` and
  // running its events after each; each file appears whole or not at all.
  // Returns how many were written; throws Toolkit::PlatformError.
  int WriteFrames(const std::string& prefix, Toolkit::Progress& progress,
                  const std::function<bool(int)>& wanted = {}) const;

  // Composes every frame as it appears, in order, handing each to `sink`
  // until it returns false; throws FrameCompose::ComposeError where the
  // frames cannot be composed further. `options` gives the picture's
  // budget and the pump.
  void Compose(const FrameCompose::FrameSink& sink,
               const FrameCompose::ComposeOptions& options) const;
  // Where a saver gets its composed frames from: empty for a GIF, whose
  // bytes the savers compose themselves.
  FrameSource ComposedFrames(const FrameCompose::ComposeOptions& options) const;
  // Writes a whole frame in its own format where the savers' own kinds
  // do not: a lossless WebP for a WebP; empty for a GIF or an APNG.
  FrameCompose::Encoder WholeFrameEncoder() const;
  // The JSON of a set of frames saved as they appear, in its format's own
  // facts; empty for a GIF, whose facts are the savers' own.
  FrameCompose::SetJsonWriter SetJson() const;
  // Frame `number` as it appears; nothing when the source ends before it.
  // Throws FrameCompose::ComposeError.
  std::optional<FrameCompose::Canvas> ComposeFrame(
      int number, const FrameCompose::ComposeOptions& options) const;
  // Frame `number`'s file decoded alone, on a picture of the animation's
  // size, with `facts` (when given) set to its rectangle and delay: what the
  // file stores, as far as its bytes go. Nothing when it holds no picture;
  // throws for a file that cannot be decoded.
  std::optional<FrameCompose::Canvas> StoredFrame(int number,
                                                  const FrameCompose::ComposeOptions& options,
                                                  FrameCompose::FrameFacts* facts) const;

  // The delay a thumbnail names for frame `facts`, in ms: as stored.
  long long DelayMs(const FrameCompose::FrameFacts& facts) const;
  // The facts of its format a thumbnail's tooltip adds after the delay;
  // empty for a GIF.
  QString FormatFacts(int number) const;
  // What the count's tooltip says of a source cut short whose frames
  // before the cut were divided (an APNG's; a GIF's damaged frame says so
  // in its own tooltip); empty for a whole one.
  QString CutShort() const;
  // True when frame `facts`'s file holds less than the whole picture of
  // `screen`: a patch of part of it, or one drawn over the frames before.
  bool IsPatch(const FrameCompose::FrameFacts& facts, const FrameCompose::Survey& screen) const;

  // Writes, to `sidecar`, the JSON of frames `numbers` with each frame's
  // file from `path_of`: the facts of the stored frames of a GIF as
  // mervane-split --json gives them, or those of its format. Throws
  // Toolkit::PlatformError.
  void WriteJson(const std::vector<int>& numbers,
                 const std::function<std::string(int number)>& path_of, const std::string& sidecar,
                 const std::function<void()>& pump) const;

 private:
  DroppedAnimation(std::string source_path, std::shared_ptr<const Bytes> bytes);

  std::string source_path_;
  std::shared_ptr<const Bytes> bytes_;
  FrameSplit::CutPlan cut_;  // a GIF's
  // An animated WebP's or APNG's chunks, read over *bytes_; null for a GIF.
  std::shared_ptr<const FrameFormats::FormatSource> format_;
};

}  // namespace MainWindow
