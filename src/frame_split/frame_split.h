#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "frame_split/split_progress.h"

namespace FrameSplit {

// A source that carries the looping signature but cannot be cut. `offset` is
// the byte offset the message refers to; `number` the run-time error number
// the failure has in the window's terms (9: no header bytes, 11: no frame to
// scale the progress by).
class DivideError : public std::runtime_error {
 public:
  DivideError(const std::string& source_name, std::int64_t offset, const std::string& reason,
              int number);
  std::int64_t offset() const noexcept { return offset_; }
  int number() const noexcept { return number_; }

 private:
  std::int64_t offset_;
  int number_;
};

// The frame file name for frame `number` (1-based): prefix, the number in
// "000" form (001, 042, 999, 1000), ".gif". No separator is added.
std::string FrameFileName(const std::string& output_prefix, int number);

// Divides the GIF file at `source_path` into one GIF file per frame, named by
// FrameFileName(output_prefix, k) for k = 1, 2, .... The file is read whole
// with one read; then it is divided as by the in-memory form below.
// Returns the number of frame files written; 0 when the file holds no
// looping signature, in which case nothing is written and `progress` is not
// touched.
// Throws Toolkit::PlatformError when the source is missing, unreadable,
// empty or 2 GiB or larger, or a frame file cannot be written; DivideError
// when the source cannot be cut. Frame files written before a failure stay.
int SplitAnimation(const std::string& source_path, const std::string& output_prefix,
                   SplitProgress& progress);

// Divides `source` (bytes 0 .. L-1), which the caller already holds.
// `source_name` only names the source in messages. The cut:
//   A  = offset of the first application extension marker 21 FF 0B;
//        header bytes = source[0 .. A-1]. A missing marker, or A = 0, fails.
//   N  = number of graphic control extension markers 21 F9 04 at or after
//        A; it only scales the progress strip. N = 0 fails.
//   G1 < ... < Gm: every graphic control extension marker from offset 0.
//   frame k < m: header + source[Gk .. G(k+1)-2] + 00 3B
//   frame m:     header + source[Gm .. L-3]      + 00 3B
// After frame k the progress box is drawn to k * (Width() / N) and events
// run; after the last frame the strip is cleared. Files are created or
// truncated, and closed before events run and on every failure.
// REQUIRES: the folder named in `output_prefix` exists. L < 2^31.
int SplitAnimation(std::span<const std::uint8_t> source, const std::string& source_name,
                   const std::string& output_prefix, SplitProgress& progress);

}  // namespace FrameSplit
