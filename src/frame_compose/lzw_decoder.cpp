// SPDX-License-Identifier: MIT
#include "frame_compose/lzw_decoder.h"

#include <cstring>

namespace FrameCompose {

LzwDecoder::LzwDecoder(const std::vector<std::uint8_t>& data, int min_code_size)
    : data_(data), min_code_size_(min_code_size), clear_(1 << min_code_size) {
  for (int code = 0; code < clear_; ++code) {
    suffix_[code] = first_[code] = static_cast<std::uint8_t>(code);
    length_[code] = 1;
  }
  Reset();
}

inline void LzwDecoder::Reset() {
  avail_ = clear_ + 2;
  width_ = min_code_size_ + 1;
  old_ = -1;
}

inline bool LzwDecoder::Wrote(std::size_t count, bool result) {
  written_ += count;
  return result;
}

inline void LzwDecoder::Put(int code, std::uint8_t* out) {
  const std::size_t length = length_[code];
  if (length > 1 && at_[code] >= window_start_) {
    std::memcpy(out, window_ + (at_[code] - window_start_), length - 1);
    out[length - 1] = suffix_[code];
    return;
  }
  for (std::size_t at = length; at-- > 0; code = prefix_[code]) out[at] = suffix_[code];
}

inline bool LzwDecoder::NextCode(int& code) {
  while (bits_ < width_) {
    if (position_ == data_.size()) return false;
    accumulator_ |= static_cast<std::uint32_t>(data_[position_++]) << bits_;
    bits_ += 8;
  }
  code = static_cast<int>(accumulator_ & ((1u << width_) - 1));
  accumulator_ >>= width_;
  bits_ -= width_;
  return true;
}

bool LzwDecoder::Read(std::uint8_t* out, std::size_t count) {
  if (window_ + (written_ - window_start_) != out) {
    window_ = out;
    window_start_ = written_;
  }
  std::size_t done = 0;
  while (done < count && pending_ < pending_end_) out[done++] = string_[pending_++];
  while (done < count) {
    int code = 0;
    if (!NextCode(code)) return Wrote(done, false);
    if (code == clear_) {
      Reset();
      continue;
    }
    if (code == clear_ + 1) return Wrote(done, false);  // the end, before every pixel came
    if (old_ < 0) {
      if (code >= clear_) return Wrote(done, false);
    } else {
      if (code > avail_ || (code == avail_ && avail_ >= kCodes)) return Wrote(done, false);
      if (avail_ < kCodes) {
        // The old string and the first index of this one: written just now.
        prefix_[avail_] = static_cast<std::uint16_t>(old_);
        first_[avail_] = first_[old_];
        suffix_[avail_] = code == avail_ ? first_[old_] : first_[code];
        length_[avail_] = static_cast<std::uint16_t>(length_[old_] + 1);
        at_[avail_] = old_at_;
        ++avail_;
      }
    }
    if (avail_ == (1 << width_) && width_ < kMostBits) ++width_;
    old_ = code;
    old_at_ = written_ + done;
    const std::size_t length = length_[code];
    if (length <= count - done) {
      Put(code, out + done);
      done += length;
    } else {
      Put(code, string_.data());
      pending_ = 0;
      pending_end_ = length;
      while (done < count) out[done++] = string_[pending_++];
    }
  }
  return Wrote(done, true);
}

}  // namespace FrameCompose
