// SPDX-License-Identifier: MIT
#pragma once

// Writes frames as they appear to files: full-frame GIFs or RGBA PNGs. The
// calling thread decodes and composes; a pool of threads encodes the frames
// side by side, the calling thread helping, and they are written in order.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_sets.h"

namespace FrameCompose {

enum class FileKind { kFullFrameGif, kPng };

// Frames held at once for other threads (waiting to be encoded, being
// encoded, or decoded ahead of the composer) take about this many bytes at
// most, whatever the number of threads: a large picture keeps fewer of
// them busy, so that --jobs never multiplies the memory a frame takes.
inline constexpr std::size_t kMostBytesInFlight = std::size_t{1} << 30;

// Makes a frame's file from its picture, for a format these modules do not
// write; may be called on several threads at once.
using Encoder = std::function<std::vector<std::uint8_t>(const Canvas& canvas)>;
// The JSON of a set of frames, or of a sheet's, for a source whose facts
// are not a GIF's.
using SetJsonWriter =
    std::function<std::string(const SetFacts& set, const std::optional<SheetLayout>& sheet)>;

struct SaveRequest {
  FileKind kind = FileKind::kFullFrameGif;
  std::function<std::string(int number)> path_of;  // where frame `number` goes
  std::function<bool(int number)> wanted;          // empty: every frame
  std::optional<int> last;                         // no frame after this one is read
  // Called on the calling thread after each frame is read, wanted or not.
  std::function<void(int number)> after_frame;
  std::string keep;              // a file no frame may replace, as the source; empty: none
  std::function<void()> pump;    // as ComposeOptions::pump
  std::optional<Survey> survey;  // SurveyFrames(source), when the caller has it
  int threads = 0;               // threads in all, the caller's among them; 0: one per core
  // One frame per run of consecutive identical pictures, its delay the
  // run's, each at most `longest_run_cs` (FrameRuns).
  bool distinct = false;
  int longest_run_cs = kLongestDelayCs;
  // Where the JSON of the frames written goes (SetJson, with each frame's
  // file); empty: nowhere. With it, every frame is read, `last` or not, so
  // that the JSON's totals are the animation's.
  std::string sidecar;
  // Where the frames come from when the source is not a GIF: hands every
  // frame, composed, to the sink in order and fills the animation's facts
  // as it goes, throwing ComposeError as Compose does. `survey` must then
  // be given. Empty: Compose(source).
  std::function<void(const FrameSink& sink, AnimationFacts& animation)> frames;
  // Makes each frame's file instead of `kind`'s encoder. Empty: `kind`'s.
  Encoder encode;
  // The text of the sidecar or of a sheet's JSON. Empty: SetJson.
  SetJsonWriter json;
};

// Writes the wanted frames of `source` as `request` says. Every name is
// checked first (Toolkit::RequireFreeNames, against `request.keep`): one that
// may not be written is thrown as Toolkit::PlatformError before any file is.
// Each file appears whole or not at all (Toolkit::WriteFileInPieces). The
// sidecar, when asked for, is checked with the frames' names and written
// after the last frame.
// Returns the number written and, for a source damaged after its first
// frame, the damage: the frames before it and the damaged frame as far as
// its data reach are written. Throws ComposeError for a source damaged
// before any frame,
// Toolkit::PlatformError for a file that cannot be written, and
// std::runtime_error naming the frame and the file for a picture that cannot
// be encoded (a 0 x 0 one); files written before stay. At most three
// composed frames per encoding thread (two waiting, one being encoded or
// written; indices only where they suffice) are held besides the
// composer's own, and the pixels of the last. Files come out the same
// whatever the number of threads.
struct SaveReport {
  int written = 0;                     // files written
  std::optional<ComposeError> damage;  // where a damaged source ended
  SetFacts set;                        // what was written, as the sidecar tells it
};
SaveReport SaveFramesAsTheyAppear(std::span<const std::uint8_t> source,
                                  const std::string& source_name, const SaveRequest& request);

// The grid of a sprite sheet of `cells` cells in rows of `columns`:
// narrower when there are fewer cells than columns, at least one column.
// REQUIRES: columns >= 1.
struct SheetGrid {
  int columns = 1, rows = 0;
};
SheetGrid SheetGridFor(std::size_t cells, int columns);

// No side of a sprite sheet is longer: PNG readers (libpng's default,
// browsers) refuse larger pictures.
inline constexpr std::size_t kLargestSheetSide = 1'000'000;

// Writes the wanted frames of `source` as they appear (one per run with
// `request.distinct`) into one RGBA PNG, a grid of `columns` columns (fewer
// when fewer frames are written) filled row by row, each cell the size of
// the picture, named SheetStem(prefix, ...) + ".png", and its JSON beside
// it (SidecarName of the stem). A sheet with a side longer than
// kLargestSheetSide is refused with std::runtime_error before anything is
// written: before the first frame is composed, from the number of frames
// wanted and the picture's size; with `request.distinct`, whose cells are
// not known beforehand, as soon as the frames kept make it too large.
// `request.kind`, `path_of`, `sidecar` and `threads` are not used. Names are
// checked as SaveFramesAsTheyAppear checks them, once the frames are
// composed and before anything is written. The cells are held in memory as
// they are made (memory follows the frames kept, not those asked for, nor
// the columns), then the sheet: callers bound its pixels first. Returns the report, with
// `written` 1, and the sheet's path in `sheet_path`.
// REQUIRES: columns >= 1.
SaveReport SaveSheet(std::span<const std::uint8_t> source, const std::string& source_name,
                     const std::string& prefix, int columns, const SaveRequest& request,
                     std::string* sheet_path = nullptr);

}  // namespace FrameCompose
