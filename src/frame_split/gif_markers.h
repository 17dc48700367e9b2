#pragma once

// The fixed byte sequences the divider cuts at, named after the GIF89a
// block structure they belong to.

#include <array>
#include <cstdint>

namespace FrameSplit {

inline constexpr std::uint8_t kExtensionIntroducer = 0x21;  // '!'
inline constexpr std::uint8_t kApplicationExtensionLabel = 0xFF;
inline constexpr std::uint8_t kApplicationBlockSize = 0x0B;  // 8-byte identifier + 3-byte code
inline constexpr std::uint8_t kGraphicControlLabel = 0xF9;
inline constexpr std::uint8_t kGraphicControlBlockSize = 0x04;
inline constexpr std::uint8_t kBlockTerminator = 0x00;
inline constexpr std::uint8_t kTrailer = 0x3B;  // ';'

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

// Frame file names: prefix + number in this picture + extension.
inline constexpr char kFrameNumberPicture[] = "000";
inline constexpr char kFrameExtension[] = ".gif";

}  // namespace FrameSplit
