// SPDX-License-Identifier: MIT
#pragma once

// A small GIF89a writer for tests: real LZW, so that decoders accept what it
// writes, and the raw pieces, so that tests can lay out odd byte streams.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace GifTest {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

struct Frame {
  int width = 1;
  int height = 1;
  std::vector<std::uint8_t> indices;  // width * height palette indices, row by row
  int left = 0;
  int top = 0;
  std::uint16_t delay = 10;  // hundredths of a second
  int disposal = 1;          // 0 unspecified, 1 leave, 2 background, 3 previous
  int transparent = -1;      // the transparent index, or -1 for none
  bool control = true;       // write a graphic control extension
  bool interlaced = false;
  std::vector<Rgb> local_palette;  // written as a local colour table when not empty
};

struct Animation {
  int width = 1;
  int height = 1;
  std::vector<Rgb> palette = {{0, 0, 0}, {255, 255, 255}};  // padded to a power of two
  bool looping = true;                                      // write the NETSCAPE extension
  std::vector<Frame> frames;
};

// The whole file: header, optional looping extension, one graphic control
// extension and image per frame, trailer.
Bytes Encode(const Animation& animation);

// An animation of `count` frames of `width` x `height`, each frame a solid
// colour that differs from its neighbours.
Animation SolidFrames(int count, int width, int height);

// Pieces, for hand-made layouts.
Bytes HeaderAndScreen(int width, int height,
                      std::span<const Rgb> palette);  // "GIF89a" ... colour table
Bytes LoopingExtension();                             // 21 FF 0B "NETSCAPE2.0" 03 01 00 00 00
Bytes GraphicControlExtension(std::uint16_t delay, int disposal = 1,
                              int transparent = -1);                // 21 F9 04 ... 00
Bytes CommentExtension(const std::string& text);                    // 21 FE, text in sub-blocks, 00
Bytes ImageDescriptorAndData(const Frame& frame, int colour_bits);  // 2C ... data ... 00
Bytes LzwSubBlocks(std::span<const std::uint8_t> indices, int min_code_size);  // without the 00
Bytes Trailer();                                                               // 3B

// LZW sub-blocks (without the terminator) of `count` copies of `index`: the
// longest strings any encoder would send, computed without the pixels, so
// that frames of billions of pixels take a few megabytes and no memory.
Bytes ConstantLzwSubBlocks(std::uint64_t count, std::uint8_t index, int min_code_size);
// A looping animation of `count` one-colour frames of frame_width x
// frame_height at the top left of a screen_width x screen_height screen,
// made without the pixels; frame i has colour i % `colours` (1 or 2).
Bytes ConstantFrames(int count, int frame_width, int frame_height, int screen_width,
                     int screen_height, int colours = 2);

Bytes Concat(std::initializer_list<Bytes> pieces);
Bytes FromText(const std::string& text);

// Marker bytes as they turn up by chance inside blocks.
inline const std::string kChanceGce = "\x21\xF9\x04";
inline const std::string kChanceApp = "\x21\xFF\x0B";

// Number of bits the palette needs, at least 1 (GIF tables hold 2^bits entries).
int ColourBits(std::size_t palette_size);

}  // namespace GifTest
