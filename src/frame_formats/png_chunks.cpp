// SPDX-License-Identifier: MIT
#include "frame_formats/png_chunks.h"

#include <libdeflate.h>

#include <algorithm>
#include <string>

namespace FrameFormats::Png {

std::uint32_t ReadBig32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

std::uint16_t ReadBig16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

bool HasSignature(std::span<const std::uint8_t> source) {
  const auto& signature = kSignature;
  return source.size() >= signature.size() &&
         std::equal(signature.begin(), signature.end(), source.begin());
}

Status ReadChunk(std::span<const std::uint8_t> source, std::size_t offset, bool check_crc,
                 Chunk& chunk) {
  const std::size_t left = source.size() - offset;
  if (left < kChunkFraming) return {Fault::kPastEnd, offset, {}};
  const std::uint8_t* at = source.data() + offset;
  const std::uint32_t length = ReadBig32(at);
  if (length > kLargestValue) {
    // The type names the chunk where it is one: a damaged one may be any bytes.
    const bool named = std::all_of(at + 4, at + 8, [](std::uint8_t c) {
      return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    const std::string type = named ? std::string(reinterpret_cast<const char*>(at + 4), 4) : "";
    return {Fault::kChunkLength, offset,
            (named ? type + " of " : std::string()) + std::to_string(length) + " bytes"};
  }
  if (length > left - kChunkFraming) {
    return {Fault::kPastEnd, offset,
            std::to_string(length) + " bytes claimed, " + std::to_string(left - kChunkFraming) +
                " left"};
  }
  chunk.offset = offset;
  std::copy(at + 4, at + 8, chunk.type.letters);
  chunk.data = source.subspan(offset + 8, length);
  if (check_crc) {
    // libdeflate's CRC-32 is PNG's: the same polynomial, over type and data.
    const std::uint32_t crc = static_cast<std::uint32_t>(libdeflate_crc32(0, at + 4, 4 + length));
    if (crc != ReadBig32(at + 8 + length)) {
      return {Fault::kChunkCrc, offset, std::string(chunk.type.letters, 4)};
    }
  }
  return {};
}

std::optional<std::size_t> ClosingLength(std::span<const std::uint8_t> source, std::size_t offset) {
  const std::size_t left = source.size() - offset;
  if (left < kChunkFraming) return std::nullopt;
  const std::uint8_t* type = source.data() + offset + 4;
  // The CRC grows a byte at a time over the data, checked at every length.
  std::uint32_t crc = static_cast<std::uint32_t>(libdeflate_crc32(0, type, 4));
  const std::uint8_t* data = type + 4;
  for (std::size_t length = 0; length + kChunkFraming <= left; ++length) {
    if (crc == ReadBig32(data + length)) return length;
    crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, data + length, 1));
  }
  return std::nullopt;
}

}  // namespace FrameFormats::Png
