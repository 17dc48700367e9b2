// SPDX-License-Identifier: MIT
#pragma once

// PNG's chunk layer, named once for every module that reads or writes PNG
// bytes: the signature, then chunks of a 4-byte big-endian length, a
// 4-letter type, the data, and a CRC-32 of type and data.

#include <array>
#include <cstddef>
#include <cstdint>

namespace PngFormat {

// The first eight bytes of every PNG file.
inline constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P',  'N',  'G',
                                                           '\r', '\n', 0x1A, '\n'};
inline constexpr std::size_t kSignatureSize = kSignature.size();

// A chunk type: four ASCII letters.
struct ChunkType {
  char letters[4];
  bool operator==(const ChunkType&) const = default;
};

inline constexpr ChunkType kImageHeader{{'I', 'H', 'D', 'R'}};
inline constexpr ChunkType kPalette{{'P', 'L', 'T', 'E'}};
inline constexpr ChunkType kTransparency{{'t', 'R', 'N', 'S'}};
inline constexpr ChunkType kImageData{{'I', 'D', 'A', 'T'}};
inline constexpr ChunkType kImageEnd{{'I', 'E', 'N', 'D'}};
// APNG's own: the animation's frame count, each frame's place and delay,
// and a later frame's image data behind its sequence number.
inline constexpr ChunkType kAnimationControl{{'a', 'c', 'T', 'L'}};
inline constexpr ChunkType kFrameControl{{'f', 'c', 'T', 'L'}};
inline constexpr ChunkType kFrameData{{'f', 'd', 'A', 'T'}};

// Length, type and CRC around a chunk's data.
inline constexpr std::size_t kChunkFraming = 12;
// A chunk's length, like every PNG integer, is at most 2^31 - 1.
inline constexpr std::uint32_t kLargestValue = 0x7FFFFFFF;
inline constexpr std::size_t kImageHeaderSize = 13;

}  // namespace PngFormat
