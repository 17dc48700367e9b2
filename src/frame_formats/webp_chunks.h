// SPDX-License-Identifier: MIT
#pragma once

// WebP's RIFF container: "RIFF", a little-endian size, "WEBP", then chunks
// of a fourcc, a little-endian size and the data, padded to an even length.
// Each fourcc used is named here once; libwebp's mux and demux libraries
// read and write the rest.

#include <cstddef>
#include <cstdint>
#include <span>

namespace FrameFormats::Webp {

struct FourCc {
  char letters[4];
  bool operator==(const FourCc&) const = default;
};

inline constexpr FourCc kRiff{{'R', 'I', 'F', 'F'}};
inline constexpr FourCc kWebp{{'W', 'E', 'B', 'P'}};
inline constexpr FourCc kExtended{{'V', 'P', '8', 'X'}};
inline constexpr FourCc kAnimation{{'A', 'N', 'I', 'M'}};
inline constexpr FourCc kAnimationFrame{{'A', 'N', 'M', 'F'}};
inline constexpr FourCc kAlpha{{'A', 'L', 'P', 'H'}};
inline constexpr FourCc kLossy{{'V', 'P', '8', ' '}};
inline constexpr FourCc kLossless{{'V', 'P', '8', 'L'}};

// "RIFF", the size, "WEBP".
inline constexpr std::size_t kFileHeaderSize = 12;
// A chunk's fourcc and size.
inline constexpr std::size_t kChunkHeaderSize = 8;
// VP8X's flags byte: the file holds an animation.
inline constexpr std::uint8_t kAnimationFlag = 0x02;
// VP8X's flags byte: the image has an alpha channel.
inline constexpr std::uint8_t kAlphaFlag = 0x10;
// VP8X's data: flags, three reserved bytes, canvas width - 1 and height - 1
// in 24 bits each.
inline constexpr std::size_t kExtendedSize = 10;

// True when `at` holds `fourcc`. REQUIRES: 4 readable bytes.
inline bool Is(const std::uint8_t* at, FourCc fourcc) {
  for (int i = 0; i < 4; ++i) {
    if (at[i] != static_cast<std::uint8_t>(fourcc.letters[i])) return false;
  }
  return true;
}

}  // namespace FrameFormats::Webp
