// SPDX-License-Identifier: MIT
#pragma once

// Sets of frames handed on together: every wanted frame, or one frame per
// run of identical pictures; the JSON that travels with them; and the names
// of the files that hold them.

#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"

namespace FrameCompose {

// A frame as it is handed on: its facts (with `delay_cs` the sum of the
// delays of the frames it stands for), the source frames it stands for
// (its own number first), the name of its file without the folder (empty:
// none yet), and its place on a sprite sheet (column -1: none).
struct KeptFrame {
  FrameFacts facts;
  std::vector<int> stands_for;
  std::string file;
  int column = -1, row = 0;
};

// A GIF frame's delay is a 16-bit count of hundredths of a second: no kept
// frame of a GIF stands for longer, so that every kept frame can be written
// as one.
inline constexpr int kLongestDelayCs = 65535;
// The longest run kept as one frame of a source whose frames carry no
// 16-bit delay (an animated WebP's or APNG's): as long as the sum can count.
inline constexpr int kLongestRunCs = std::numeric_limits<int>::max();

// Hands each frame added on to `out`, or with `distinct`, one frame per run
// of frames whose pictures are equal pixel for pixel: the first of the run,
// handed on once the run ends, with the run's delays summed. A run ends at
// a different picture, at a gap in the numbers (a frame not added lies
// between, and may look different), at Finish, and where its delay would
// pass `longest_cs` (at most kLongestRunCs): a longer run is kept as several
// frames, each standing for its share, so the delays still add up exactly.
// Holds one picture besides the caller's.
class FrameRuns {
 public:
  using Out = std::function<void(const KeptFrame& frame, const Canvas& canvas)>;
  FrameRuns(bool distinct, Out out, int longest_cs = kLongestDelayCs)
      : distinct_(distinct), longest_cs_(longest_cs), out_(std::move(out)) {}
  void Add(const FrameFacts& facts, const Canvas& canvas);
  // Hands on the run still held, if any.
  void Finish();

 private:
  bool distinct_;
  int longest_cs_;
  Out out_;
  std::optional<KeptFrame> held_;
  Canvas held_canvas_;
};

// A set of frames as its JSON tells it: the frames, the animation's own
// facts, and the byte where a damaged source stops being readable, if any.
struct SetFacts {
  std::vector<KeptFrame> frames;
  AnimationFacts animation;
  std::optional<std::size_t> damaged_at;
};

// The facts of the wanted frames of `source` (`wanted` empty: every
// frame), each standing for itself, read without decoding any pixels, with
// the animation's. Damage past the first frame ends reading: it is kept in
// `damage` (when given) and `damaged_at`. Throws ComposeError as Compose
// does before the first frame.
SetFacts ReadSetFacts(std::span<const std::uint8_t> source, const std::string& source_name,
                      const std::function<bool(int number)>& wanted,
                      std::optional<ComposeError>* damage = nullptr,
                      const std::function<void()>& pump = {});

// The place of a sprite sheet's cells, for its JSON.
struct SheetLayout {
  std::string file;
  int columns = 0, rows = 0, cell_width = 0, cell_height = 0;
};

// One JSON object: "frames", each with number, offset, length, left, top,
// width, height, delay_ms, disposal, transparent_index, colour_table,
// colour_table_size, interlaced and complete, then (when set) "file",
// "stands_for" (when it stands for more than itself) and "cell" {column,
// row, x, y}; then count, loop_count, screen, background_index,
// duration_ms, damaged_at and, for a sheet, "sheet" {file, columns, rows,
// cell_width, cell_height}. Times are 64-bit. The text is always valid
// UTF-8, escaped as JSON requires: a file name that is not UTF-8 (names are
// bytes on POSIX) is written with U+FFFD for each byte that does not fit,
// and followed by "file_bytes", the name's bytes as numbers, so that a
// reader can still find the file. Ends with a line break.
std::string SetJson(const SetFacts& set, const std::optional<SheetLayout>& sheet = std::nullopt);

// `"file": NAME` as JSON fields, followed by `"file_bytes": [...]`, the
// name's bytes, when the name is not UTF-8: as SetJson writes a frame's file.
std::string FileJsonFields(const std::string& name);

// What a kept frame adds to its own facts in a set's JSON, each field
// after ", ": its file (FileJsonFields) when it has one, "stands_for" when
// it stands for more than itself, and its "cell" {column, row, x, y} on
// `sheet`. Every format's set JSON ends its frames so.
std::string KeptFrameFields(const KeptFrame& kept, const std::optional<SheetLayout>& sheet);

// Writes SetJson(set, sheet) to `path`, whole or not at all.
void WriteSetJson(const std::string& path, const SetFacts& set,
                  const std::optional<SheetLayout>& sheet = std::nullopt);

// A sprite sheet's name without its extension: prefix, "-sheet-",
// COLSxROWS, "-", WxH (one cell's size).
std::string SheetStem(const std::string& prefix, int columns, int rows, int cell_width,
                      int cell_height);

// The JSON file that goes with frames named from `prefix` (or with a sheet
// of that stem): the prefix and ".json"; "frames.json" in the folder when
// the prefix names a folder alone.
std::string SidecarName(const std::string& prefix);

// The name alone of the file at `path`, without its folder.
std::string BareName(const std::string& path);

// Sets each frame's file to the name alone of `path_of(its number)`.
void NameFiles(SetFacts& set, const std::function<std::string(int number)>& path_of);

// The paths `path_of` gives the frames 1 .. `frames` that `wanted` approves
// (`wanted` empty: every frame), in order: the names to look at before the
// first file is written.
std::vector<std::string> WantedPaths(int frames, const std::function<bool(int number)>& wanted,
                                     const std::function<std::string(int number)>& path_of);

// A frame's disposal (FrameFacts::disposal) in a word, as its JSON and the
// command line's table give it: "unspecified", "leave", "background",
// "previous", or "reserved" for the values GIF leaves unassigned.
const char* DisposalName(int disposal);

// The colour table `frame` uses, in a word: "local", else "global" when its
// animation has one (`global_table`), else "none".
const char* ColourTableName(const FrameFacts& frame, bool global_table);

}  // namespace FrameCompose
