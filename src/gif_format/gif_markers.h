// SPDX-License-Identifier: MIT
#pragma once

// GIF89a's blocks and fields, named as the format names them: the one
// vocabulary in which the divider cuts, the composer reads and the frame
// files are written.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace Gif {

inline constexpr std::uint8_t kExtensionIntroducer = 0x21;  // '!'
inline constexpr std::uint8_t kApplicationExtensionLabel = 0xFF;
inline constexpr std::uint8_t kApplicationBlockSize = 0x0B;  // 8-byte identifier + 3-byte code
inline constexpr std::uint8_t kGraphicControlLabel = 0xF9;
inline constexpr std::uint8_t kGraphicControlBlockSize = 0x04;
inline constexpr std::uint8_t kBlockTerminator = 0x00;
inline constexpr std::uint8_t kTrailer = 0x3B;         // ';'
inline constexpr std::uint8_t kImageSeparator = 0x2C;  // ','
inline constexpr std::size_t kMostSubBlockLength = 255;

// The stream's fixed start: "GIF" + version, then the logical screen
// descriptor, whose packed byte says whether a global colour table follows.
inline constexpr std::array<std::uint8_t, 3> kSignature = {'G', 'I', 'F'};
inline constexpr std::size_t kHeaderSize = 6;  // signature + version
inline constexpr std::array<std::array<std::uint8_t, 3>, 2> kVersions = {
    {{'8', '7', 'a'}, {'8', '9', 'a'}}};
inline constexpr std::array<std::uint8_t, 6> kGif89aHeader = {'G', 'I', 'F', '8', '9', 'a'};
inline constexpr std::size_t kLogicalScreenDescriptorSize = 7;  // width, height at kHeaderSize
inline constexpr std::size_t kScreenPackedOffset = 10;  // packed byte of the screen descriptor
// Image descriptor after its separator: left, top, width, height, packed.
inline constexpr std::size_t kImageDescriptorSize = 9;
inline constexpr std::size_t kImagePackedOffset = 9;  // from the separator
inline constexpr std::size_t kLzwMinimumCodeSizeLength = 1;
// Packed fields of both descriptors: table present, and its size as 2^(n+1) entries.
inline constexpr std::uint8_t kColourTableFlag = 0x80;
inline constexpr std::uint8_t kColourTableSizeMask = 0x07;
inline constexpr int kColourResolutionShift = 4;  // screen descriptor: bits per primary - 1
inline constexpr std::size_t kBytesPerColour = 3;
inline constexpr int kLzwMostBits = 12;  // codes are at most 12 bits wide

// Graphic control extension: its packed byte holds the disposal method
// (bits 2..4; 0 leaves it unspecified) and the transparency flag.
inline constexpr int kDisposalShift = 2;
inline constexpr int kDisposalLeave = 1;
inline constexpr int kDisposalRestoreBackground = 2;
inline constexpr int kDisposalRestorePrevious = 3;
inline constexpr std::uint8_t kTransparentColourFlag = 0x01;

// Interlaced rows arrive in four passes: every 8th from 0, every 8th from
// 4, every 4th from 2, every 2nd from 1.
inline constexpr std::array<int, 4> kInterlacePassStart = {0, 4, 2, 1};
inline constexpr std::array<int, 4> kInterlacePassStep = {8, 8, 4, 2};

// The looping application extension: "NETSCAPE2.0", then a sub-block whose
// first byte is 1 and whose next two give the loop count.
inline constexpr char kLoopingApplication[] = "NETSCAPE2.0";
inline constexpr std::uint8_t kLoopSubBlockId = 1;

// "NETSCAPE": its presence anywhere makes a file divisible.
inline constexpr std::array<std::uint8_t, 8> kLoopingSignature = {'N', 'E', 'T', 'S',
                                                                  'C', 'A', 'P', 'E'};
// Its first occurrence ends the header bytes copied into every frame file.
inline constexpr std::array<std::uint8_t, 3> kApplicationExtensionMarker = {
    kExtensionIntroducer, kApplicationExtensionLabel, kApplicationBlockSize};
// Every occurrence starts a frame.
inline constexpr std::array<std::uint8_t, 3> kGraphicControlExtensionMarker = {
    kExtensionIntroducer, kGraphicControlLabel, kGraphicControlBlockSize};
// Written last into every frame file.
inline constexpr std::array<std::uint8_t, 2> kFrameTail = {kBlockTerminator, kTrailer};

// True when `bytes` start with "GIF87a" or "GIF89a".
inline bool HasGifHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return false;
  const auto version = bytes.subspan(kSignature.size(), kHeaderSize - kSignature.size());
  const auto is = [&](const auto& expected) {
    return std::equal(expected.begin(), expected.end(), version.begin());
  };
  return std::equal(kSignature.begin(), kSignature.end(), bytes.begin()) &&
         (is(kVersions[0]) || is(kVersions[1]));
}

}  // namespace Gif
