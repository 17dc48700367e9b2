// SPDX-License-Identifier: MIT
#include "frame_split/gif_blocks.h"

#include <algorithm>
#include <cstring>

#include "gif_format/gif_markers.h"

namespace FrameSplit {
namespace {

std::size_t ColourTableSize(std::uint8_t packed) {
  if ((packed & Gif::kColourTableFlag) == 0) return 0;
  return Gif::kBytesPerColour * (std::size_t{2} << (packed & Gif::kColourTableSizeMask));
}

// Offset just past the 00 that ends the sub-blocks starting at `at`, or
// kNoMatch when they run past the end.
std::size_t SkipSubBlocks(std::span<const std::uint8_t> source, std::size_t at) {
  while (at < source.size()) {
    const std::size_t length = source[at];
    if (length == 0) return at + 1;
    at += 1 + length;
  }
  return kNoMatch;
}

}  // namespace

std::size_t FindMarker(std::span<const std::uint8_t> source, std::size_t from,
                       std::span<const std::uint8_t> marker) {
  if (marker.empty() || source.size() < marker.size()) return kNoMatch;
  const std::size_t last_start = source.size() - marker.size();
  // memchr on the first byte keeps the scan linear for these short,
  // non-self-overlapping markers.
  while (from <= last_start) {
    const void* hit = std::memchr(source.data() + from, marker[0], last_start - from + 1);
    if (hit == nullptr) return kNoMatch;
    const auto at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - source.data());
    if (std::memcmp(source.data() + at, marker.data(), marker.size()) == 0) return at;
    from = at + 1;
  }
  return kNoMatch;
}

BlockWalk WalkBlocks(std::span<const std::uint8_t> source) {
  BlockWalk walk;
  const auto stop = [&](std::size_t offset, std::string reason) {
    walk.stop = WalkStop{offset, std::move(reason)};
    return std::move(walk);
  };

  const std::size_t screen_end = Gif::kHeaderSize + Gif::kLogicalScreenDescriptorSize;
  if (source.size() < screen_end ||
      !std::equal(Gif::kSignature.begin(), Gif::kSignature.end(), source.begin())) {
    return stop(0, "no GIF header and logical screen descriptor");
  }
  std::size_t at = screen_end + ColourTableSize(source[Gif::kScreenPackedOffset]);
  if (at > source.size()) return stop(0, "the global colour table runs past the end of the file");

  while (at < source.size()) {
    const std::size_t block = at;
    switch (source[block]) {
      case Gif::kTrailer:
        return walk;
      case Gif::kExtensionIntroducer:
        walk.extension_starts.push_back(block);
        at = block + 2 < source.size() ? SkipSubBlocks(source, block + 2) : kNoMatch;
        if (at == kNoMatch) return stop(block, "an extension block runs past the end of the file");
        break;
      case Gif::kImageSeparator: {
        const std::size_t packed = block + Gif::kImagePackedOffset;
        if (packed >= source.size()) {
          return stop(block, "an image descriptor runs past the end of the file");
        }
        const std::size_t data = block + 1 + Gif::kImageDescriptorSize +
                                 ColourTableSize(source[packed]) + Gif::kLzwMinimumCodeSizeLength;
        at = data <= source.size() ? SkipSubBlocks(source, data) : kNoMatch;
        if (at == kNoMatch) return stop(block, "an image runs past the end of the file");
        break;
      }
      default:
        return stop(block, "a byte that starts no GIF block");
    }
  }
  return stop(source.size(), "the file ends without a trailer");
}

std::vector<std::size_t> CountingMatches(std::span<const std::uint8_t> source,
                                         const BlockWalk& walk,
                                         std::span<const std::uint8_t> marker, std::size_t limit) {
  std::vector<std::size_t> matches;
  const std::size_t open_from = walk.stop ? walk.stop->offset : source.size();
  for (const std::size_t start : walk.extension_starts) {
    if (matches.size() >= limit || start >= open_from) break;
    if (source.size() - start >= marker.size() &&
        std::memcmp(source.data() + start, marker.data(), marker.size()) == 0) {
      matches.push_back(start);
    }
  }
  if (!walk.stop) return matches;
  for (std::size_t at = FindMarker(source, open_from, marker);
       at != kNoMatch && matches.size() < limit; at = FindMarker(source, at + 1, marker)) {
    matches.push_back(at);
  }
  return matches;
}

}  // namespace FrameSplit
