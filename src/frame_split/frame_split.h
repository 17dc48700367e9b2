// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "frame_split/gif_blocks.h"
#include "toolkit/progress.h"

namespace FrameSplit {

// A source that carries the looping signature but cannot be cut, as
// PlanCuts finds it. `offset` is the byte offset the message refers to.
// The window and the command line show only the message.
class DivideError : public std::runtime_error {
 public:
  enum class Kind {
    kNoHeader,  // no header bytes before the first application extension
    kNoFrame,   // no frame after it
    kDamaged,   // a WebP's or APNG's chunks do not hold together; the reason says how
  };
  DivideError(const std::string& source_name, std::int64_t offset, const std::string& reason,
              Kind kind);
  std::int64_t offset() const noexcept { return offset_; }
  Kind kind() const noexcept { return kind_; }

 private:
  std::int64_t offset_;
  Kind kind_;
};

// Frame file names: prefix + number in this picture + extension.
inline constexpr char kFrameNumberPicture[] = "000";
inline constexpr char kFrameExtension[] = ".gif";

// The file name of frame `number` (1-based): prefix, the number in "000"
// form (001, 042, 999, 1000), `extension`. No separator is added. Every
// frame file, cut or composed, is named by this.
std::string FrameFileName(const std::string& output_prefix, int number,
                          const std::string& extension = kFrameExtension);

// Where a source is cut. Offsets are into the source, bytes 0 .. L-1.
struct CutPlan {
  std::size_t header_end = 0;             // A: header bytes are source[0 .. A-1]
  int expected = 0;                       // N: frame markers at or after A; scales the progress
  std::vector<std::size_t> frame_starts;  // G1 < ... < Gm: where frames 1 .. m start
  std::optional<WalkStop> damage;         // where the block walk stopped short of the trailer
};

// Plans the cut of `source`. Only marker matches that count under
// WalkBlocks/CountingMatches are used: those at a block start the walk found,
// and, where the walk stopped early, every match from there on.
//   A  = first counting application extension marker 21 FF 0B.
//   N  = counting graphic control extension markers 21 F9 04 at or after A.
//   G1 < ... < Gm: every counting graphic control extension marker.
// Returns nothing when the source holds no looping signature ("NETSCAPE",
// searched anywhere). Throws Toolkit::PlatformError, as reading the file
// would, when it is empty or 2 GiB or larger; DivideError when it has no
// counting application extension marker or one at offset 0 (no header
// bytes), or when N = 0. REQUIRES: nothing.
std::optional<CutPlan> PlanCuts(std::span<const std::uint8_t> source,
                                const std::string& source_name);

// Writes the frame files of `plan`, which PlanCuts made from this `source`:
//   frame k < m: header + source[Gk .. G(k+1)-2] + 00 3B
//   frame m:     header + source[Gm .. L-3]      + 00 3B
// After frame k the progress box is drawn to k * (Width() / N) and events
// run; after the last frame the strip is cleared. Files are created or
// truncated, never through a symbolic link, and closed before events run and
// on every failure. With `wanted` set, only the frames k it approves are
// written (under their own numbers). Returns the number of files written.
// REQUIRES: the folder named in `output_prefix` exists.
int WriteFrames(std::span<const std::uint8_t> source, const CutPlan& plan,
                const std::string& output_prefix, Toolkit::Progress& progress,
                const std::function<bool(int)>& wanted = {});

// The bytes WriteFrames writes for frame `number` (1-based) of `plan`, in
// memory: what a viewer of that frame file is shown, whatever has become of
// the file since. REQUIRES: plan was made from this `source`, 1 <= number <=
// plan.frame_starts.size().
std::vector<std::uint8_t> FrameFileBytes(std::span<const std::uint8_t> source, const CutPlan& plan,
                                         int number);

}  // namespace FrameSplit
