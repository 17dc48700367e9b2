// SPDX-License-Identifier: MIT
#pragma once

// An animated WebP or APNG as Mervane divides it, on the command line and in
// the window: the frames' facts read from the chunk headers, each frame's
// exact cut, the frames as they appear in the form the GIF savers take, and
// the facts as a table or as JSON.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_sets.h"
#include "frame_compose/save_frames.h"
#include "frame_formats/apng_cut.h"
#include "frame_formats/format_compose.h"
#include "frame_formats/format_sniff.h"
#include "frame_formats/format_status.h"
#include "frame_formats/webp_cut.h"

namespace FrameFormats {

// A frame's record in the form the GIF composer hands its frames on: its
// rectangle, and its delay in hundredths of a second, rounded.
FrameCompose::FrameFacts FactsOf(const FrameRecord& record);

class FormatSource {
 public:
  // Reads the chunk headers of `bytes`, which SniffFormat found to be
  // `format` (kAnimatedWebp or kApng), within the readers' budgets. Throws
  // FrameSplit::DivideError naming `source_name`, the byte and the reason
  // for a file that is refused. Nothing is decoded. `bytes` must outlive
  // the object.
  FormatSource(SourceFormat format, std::span<const std::uint8_t> bytes, std::string source_name,
               const Budgets& budgets = {});

  // "WebP" or "APNG", for messages and the JSON.
  const char* Name() const;
  // The extension of its frame files and of its own name: ".webp" or ".png".
  const char* Extension() const;
  SourceFormat Format() const { return format_; }
  // `file_name` (a bare name) less the extension a file of its format goes
  // by, when it ends with one in any case: ".webp" for an animated WebP,
  // ".png" or ".apng" for an APNG; else the whole name. The frame files of
  // "x.apng" are named after "x", as those of "x.png" are.
  std::string Stem(const std::string& file_name) const;
  const AnimationRecord& Animation() const { return animation_; }
  // Every frame whose data are whole, in play order.
  const std::vector<FrameRecord>& Frames() const { return frames_; }
  // Set when an APNG is damaged without being refused: cut short inside a
  // chunk (kPastEnd), the frames listed being those before the damage; or
  // one chunk's length alone wrong (kChunkLength), every frame listed.
  const std::optional<Status>& Damage() const { return damage_; }
  // True when Damage() cost frames: the file ends inside a chunk, or one
  // is damaged.
  bool CutShort() const { return apng_ && apng_->frames_lost; }

  // The exact cut of frame `number` (1-based): the frame's own compressed
  // data in a still file of the same format. REQUIRES: 1 <= number <=
  // Frames().size().
  std::vector<std::uint8_t> FrameFile(int number) const;
  // Frame `number`'s file as it stores it, decoded alone: the frame's
  // patch, of the frame's own size, not composed over anything. Throws
  // FrameCompose::ComposeError for a frame file that cannot be decoded or
  // whose picture is past `budgets`. REQUIRES: as FrameFile.
  FrameCompose::Canvas StoredFrame(int number, const Budgets& budgets = {}) const;

  // Composes every frame as it appears and hands it to `sink` as the GIF
  // composer would (its facts with the delay in hundredths, rounded), filling
  // `animation` as it goes; throws FrameCompose::ComposeError for a frame
  // that cannot be decoded, and before the first frame for a canvas past
  // `options.budgets` (which may be smaller than those the source was read
  // with). Stops when `sink` returns false. `options` gives the pump (see
  // FormatComposeOptions); the chunks are not walked again.
  void Compose(const FrameCompose::FrameSink& sink, FrameCompose::AnimationFacts& animation,
               const FormatComposeOptions& options = {}) const;

  // Writes a whole frame in the source's own format: a lossless WebP still
  // for a WebP (throws std::runtime_error for a picture a WebP cannot
  // hold); empty for an APNG, whose whole frames are the savers' own PNGs.
  FrameCompose::Encoder WholeFrameEncoder() const;

  // The facts of the frames numbered `numbers` as one JSON object (valid
  // UTF-8, ending with a line break): "format", then "frames", each with
  // number, left, top, width, height, delay_ms, dispose, blend (and, for
  // APNG, delay_num and delay_den as stored) and, where `file_of` gives a
  // path, its "file"; then count, loop_count, screen {width, height},
  // duration_ms (64-bit) and damaged_at (the byte, or null).
  std::string Json(const std::vector<int>& numbers,
                   const std::function<std::string(int number)>& file_of = {}) const;

  // The same for frames as they were written: each kept frame of `set`
  // (by its number) with its file, its delay_ms the exact sum of those of
  // the frames it stands for (for an APNG, delay_num / delay_den then give
  // the run's exact length, reduced, or null when its denominator would
  // pass 32 bits), "stands_for" when that is more than itself
  // and, on a `sheet`, its "cell" {column, row, x, y}; damaged_at is the
  // set's when it has one; then the "sheet" {file, columns, rows,
  // cell_width, cell_height}. REQUIRES: every number is one of Frames().
  std::string Json(const FrameCompose::SetFacts& set,
                   const std::optional<FrameCompose::SheetLayout>& sheet = std::nullopt) const;

  // The same facts as a table: a heading line, one line per frame, then
  // the totals.
  std::string Table(const std::vector<int>& numbers) const;

 private:
  SourceFormat format_;
  std::span<const std::uint8_t> bytes_;
  std::string source_name_;
  AnimationRecord animation_;
  std::vector<FrameRecord> frames_;
  std::optional<Status> damage_;
  std::optional<ApngPlan> apng_;  // where an APNG's chunks lie
  std::optional<WebpPlan> webp_;  // where a WebP's frames lie
};

}  // namespace FrameFormats
