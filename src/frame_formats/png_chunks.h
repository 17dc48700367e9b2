// SPDX-License-Identifier: MIT
#pragma once

// PNG's chunk layer: a 4-byte big-endian length, a 4-letter type, the data,
// and a CRC-32 of type and data. Each chunk type used is named here once.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "frame_formats/format_status.h"

namespace FrameFormats::Png {

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
inline constexpr ChunkType kAnimationControl{{'a', 'c', 'T', 'L'}};
inline constexpr ChunkType kFrameControl{{'f', 'c', 'T', 'L'}};
inline constexpr ChunkType kFrameData{{'f', 'd', 'A', 'T'}};

inline constexpr std::size_t kSignatureSize = 8;
// Length, type and CRC around a chunk's data.
inline constexpr std::size_t kChunkFraming = 12;
// A chunk's length, like every PNG integer, is at most 2^31 - 1.
inline constexpr std::uint32_t kLargestValue = 0x7FFFFFFF;
inline constexpr std::size_t kImageHeaderSize = 13;

struct Chunk {
  std::size_t offset = 0;  // of its length field
  ChunkType type{};
  std::span<const std::uint8_t> data;
  // Where the next chunk's length field is.
  std::size_t end() const { return offset + kChunkFraming + data.size(); }
};

// The big-endian 32-bit value at `bytes`. REQUIRES: 4 readable bytes.
std::uint32_t ReadBig32(const std::uint8_t* bytes);
// The big-endian 16-bit value at `bytes`. REQUIRES: 2 readable bytes.
std::uint16_t ReadBig16(const std::uint8_t* bytes);

// True when `source` starts with the PNG signature.
bool HasSignature(std::span<const std::uint8_t> source);

// Reads the chunk whose length field is at `offset` into `chunk`. Faults:
// kPastEnd when the chunk (or its framing) runs past the end of `source`,
// kChunkLength when its length is past 2^31 - 1, kChunkCrc when `check_crc`
// and the CRC does not match. Reads nothing past the chunk. REQUIRES:
// offset <= source.size().
Status ReadChunk(std::span<const std::uint8_t> source, std::size_t offset, bool check_crc,
                 Chunk& chunk);

// Appends a chunk of `type` holding `data`, with its length and CRC.
// REQUIRES: data.size() <= kLargestValue.
void PutChunk(std::vector<std::uint8_t>& out, ChunkType type, std::span<const std::uint8_t> data);

}  // namespace FrameFormats::Png
