// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif_format/gif_markers.h"

namespace FrameCompose {

// GIF's LZW, decoded into rows. giflib reads the blocks; this turns their
// codes into indices several times as fast as giflib's own decoder, which
// is most of the time a full-frame output takes. A code's string is copied
// from where it was first written, while that is still in the caller's
// buffer, rather than walked back through its prefixes one index at a time.
class LzwDecoder {
 public:
  static constexpr int kMostBits = Gif::kLzwMostBits;
  static constexpr int kCodes = 1 << kMostBits;

  // REQUIRES: 1 <= min_code_size <= 11; `data` outlives the decoder.
  LzwDecoder(const std::vector<std::uint8_t>& data, int min_code_size);

  // Fills `out` with the next `count` indices; false when the data ends or
  // is damaged first. Where `out` continues the buffer of the calls before,
  // their indices serve as the source of later strings.
  bool Read(std::uint8_t* out, std::size_t count);

 private:
  void Reset();
  bool Wrote(std::size_t count, bool result);
  // Writes the string of `code` to `out`: its prefix copied from where it
  // was written, when that is in the window, else walked back.
  void Put(int code, std::uint8_t* out);
  bool NextCode(int& code);

  const std::vector<std::uint8_t>& data_;
  std::size_t position_ = 0;
  std::uint32_t accumulator_ = 0;
  int bits_ = 0;
  const int min_code_size_;
  const int clear_;
  int avail_ = 0, width_ = 0, old_ = -1;
  std::array<std::uint16_t, kCodes> prefix_{};
  std::array<std::uint8_t, kCodes> suffix_{}, first_{};
  std::array<std::uint16_t, kCodes> length_{};
  // Where each code's string was first written, counted in indices from
  // the start of the frame; a string holding its prefix plus one index.
  std::array<std::size_t, kCodes> at_{};
  std::size_t old_at_ = 0;
  std::size_t written_ = 0;         // indices handed out so far
  std::uint8_t* window_ = nullptr;  // the caller's buffer: indices from window_start_ on
  std::size_t window_start_ = 0;
  std::array<std::uint8_t, kCodes> string_{};  // a string longer than the rest of a row
  std::size_t pending_ = 0, pending_end_ = 0;
};

}  // namespace FrameCompose
