// SPDX-License-Identifier: MIT
#pragma once

// Reading PNG's chunk layer (png_format/png_chunks.h names its parts).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "frame_formats/format_status.h"
#include "png_format/png_chunks.h"

namespace FrameFormats::Png {

// The chunk types and sizes, named once for every module.
using namespace ::PngFormat;

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

// For a chunk at `offset` whose length runs past the end of `source`: the
// shortest data length whose CRC, over the type and that much data, is the
// four bytes that follow it. Such a chunk is whole and only its length is
// damaged: the file goes on past it. Empty when there is none, as for a
// file cut short inside the chunk, or when not even the length and type
// are there. Takes time in proportion to the bytes after `offset`.
// REQUIRES: offset <= source.size().
std::optional<std::size_t> ClosingLength(std::span<const std::uint8_t> source, std::size_t offset);

}  // namespace FrameFormats::Png
