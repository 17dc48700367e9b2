// SPDX-License-Identifier: MIT
#include "frame_formats/format_sniff.h"

#include <algorithm>
#include <string_view>

#include "frame_formats/png_chunks.h"
#include "frame_formats/webp_chunks.h"

namespace FrameFormats {
namespace {

constexpr std::string_view kGifSignatures[] = {"GIF87a", "GIF89a"};
// VP8X's data: the flags byte comes first.
constexpr std::size_t kExtendedFlagsAt = Webp::kFileHeaderSize + Webp::kChunkHeaderSize;

bool IsGif(std::span<const std::uint8_t> source) {
  return std::any_of(std::begin(kGifSignatures), std::end(kGifSignatures), [&](auto signature) {
    return source.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), source.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
  });
}

// True when the chunks reach acTL before IDAT, or reach an IHDR or acTL
// that does not fit (a length past the end or past 2^31): the APNG reader,
// rather than "a PNG without animation", then says the header is damaged.
// Any other chunk that does not fit ends the walk with a plain PNG, as a
// file that reaches IDAT or IEND first is one.
bool HasAnimationControl(std::span<const std::uint8_t> source) {
  Png::Chunk chunk;
  std::size_t offset = Png::kSignatureSize;
  for (; Png::ReadChunk(source, offset, false, chunk).ok(); offset = chunk.end()) {
    if (chunk.type == Png::kAnimationControl) return true;
    if (chunk.type == Png::kImageData || chunk.type == Png::kImageEnd) return false;
  }
  constexpr std::size_t kTypeEnd = 8;  // past the length and the type
  if (source.size() - offset < kTypeEnd) return false;
  Png::ChunkType type;
  std::copy_n(source.data() + offset + 4, 4, type.letters);
  return type == Png::kImageHeader || type == Png::kAnimationControl;
}

}  // namespace

SourceFormat SniffFormat(std::span<const std::uint8_t> source) {
  if (IsGif(source)) return SourceFormat::kGif;
  if (Png::HasSignature(source)) {
    return HasAnimationControl(source) ? SourceFormat::kApng : SourceFormat::kPng;
  }
  if (source.size() >= Webp::kFileHeaderSize && Webp::Is(source.data(), Webp::kRiff) &&
      Webp::Is(source.data() + 8, Webp::kWebp)) {
    // Until VP8X's flags byte, nothing tells an animation from a still.
    if (source.size() <= kExtendedFlagsAt) return SourceFormat::kShortWebp;
    const bool animated = Webp::Is(source.data() + Webp::kFileHeaderSize, Webp::kExtended) &&
                          (source[kExtendedFlagsAt] & Webp::kAnimationFlag) != 0;
    return animated ? SourceFormat::kAnimatedWebp : SourceFormat::kStillWebp;
  }
  return SourceFormat::kUnknown;
}

const char* FormatName(SourceFormat format) {
  switch (format) {
    case SourceFormat::kGif:
      return "GIF";
    case SourceFormat::kAnimatedWebp:
      return "animated WebP";
    case SourceFormat::kStillWebp:
    case SourceFormat::kShortWebp:
      return "WebP";
    case SourceFormat::kApng:
      return "APNG";
    case SourceFormat::kPng:
      return "PNG";
    case SourceFormat::kUnknown:
      break;
  }
  return "unknown";
}

}  // namespace FrameFormats
