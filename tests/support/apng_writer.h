// SPDX-License-Identifier: MIT
#pragma once

// Small APNG files for tests and fuzz seeds: 8-bit RGBA frames, one IDAT or
// fdAT each, with every field of fcTL chosen by the caller.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ApngTest {

using Bytes = std::vector<std::uint8_t>;

struct Frame {
  int left = 0, top = 0, width = 1, height = 1;
  int dispose = 0;  // 0 none, 1 background, 2 previous
  int blend = 0;    // 0 source, 1 over
  int delay_num = 1, delay_den = 10;
  Bytes rgba;  // width * height * 4 bytes
};

struct Animation {
  int width = 1, height = 1;
  // Empty: frame 1 is the default image. Else the default image's RGBA
  // pixels, shown only by viewers without animation.
  Bytes default_image;
  std::vector<Frame> frames;
  std::uint32_t plays = 0;
  // 16-bit samples: each byte given becomes a sample's high byte, over a
  // low byte that differs from it.
  bool sixteen_bit = false;
};

// The APNG file of `animation`.
Bytes Encode(const Animation& animation);

// A frame of one colour (RGBA bytes in memory order).
Frame Solid(int left, int top, int width, int height, std::uint32_t rgba);

// The offset of the `nth` (0-based) chunk of `type` in a PNG, or npos.
std::size_t FindChunk(const Bytes& png, const char* type, int nth = 0);
// Writes the CRC of the chunk at `offset` anew, after its bytes were changed.
void FixCrc(Bytes& png, std::size_t offset);
// Stores the big-endian `value` at `offset`.
void PutBig32(Bytes& bytes, std::size_t offset, std::uint32_t value);

}  // namespace ApngTest
