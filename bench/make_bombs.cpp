// SPDX-License-Identifier: MIT
// make_bombs FOLDER: writes small GIF files whose cost once grew with the
// logical screen instead of with what their frames cover, and ordinary files
// of about the same sizes to time them against.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/gif_writer.h"

namespace {

using GifTest::Bytes;

std::vector<GifTest::Rgb> Colours(int seed) {
  std::vector<GifTest::Rgb> palette;
  for (int c = 0; c < 256; ++c) {
    palette.push_back({static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(seed * 97 + c / 2),
                       static_cast<std::uint8_t>(255 - c)});
  }
  return palette;
}

// An ordinary animation of at least `bytes`: 64 x 64 frames of busy pictures.
Bytes Ordinary(std::size_t bytes) {
  GifTest::Animation animation;
  animation.width = animation.height = 64;
  animation.palette = Colours(0);
  std::uint32_t seed = 7;
  Bytes file;
  // Frames are added in growing batches, so that large sizes cost few encodings.
  do {
    for (std::size_t batch = 0; batch < std::max<std::size_t>(1, (bytes - file.size()) / 4096);
         ++batch) {
      GifTest::Frame frame;
      frame.width = frame.height = 64;
      for (int i = 0; i < 64 * 64; ++i) {
        seed = seed * 69069u + 1;
        frame.indices.push_back(static_cast<std::uint8_t>((i % 64) / 4 * 16 + (seed >> 28)));
      }
      animation.frames.push_back(frame);
    }
    file = GifTest::Encode(animation);
  } while (file.size() < bytes);
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_bombs FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const auto put = [&](const std::string& name, const Bytes& bytes) {
    std::ofstream(folder / (name + ".gif"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    const Bytes ordinary = Ordinary(bytes.size());
    std::ofstream(folder / (name + "-ordinary.gif"), std::ios::binary)
        .write(reinterpret_cast<const char*>(ordinary.data()), static_cast<long>(ordinary.size()));
  };

  // 1 x 1 frames that restore the previous picture of an 8192 x 8192 screen.
  for (const int count : {10, 1000}) {
    GifTest::Animation restore = GifTest::SolidFrames(count, 1, 1);
    restore.width = restore.height = 8192;
    for (int i = 0; i < count; ++i) {
      restore.frames[i].disposal = 3;
      restore.frames[i].left = i % 8192;
    }
    put("restore-previous-" + std::to_string(count), GifTest::Encode(restore));
  }

  // One 65535 x 65535 frame on a 64 x 64 screen.
  const GifTest::Rgb two[] = {{0, 0, 0}, {255, 255, 255}};
  Bytes tall = GifTest::HeaderAndScreen(64, 64, two);
  const Bytes looping = GifTest::LoopingExtension();
  tall.insert(tall.end(), looping.begin(), looping.end());
  const Bytes control = GifTest::GraphicControlExtension(5);
  tall.insert(tall.end(), control.begin(), control.end());
  tall.insert(tall.end(), {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02});
  const Bytes data = GifTest::ConstantLzwSubBlocks(std::uint64_t{65535} * 65535, 1, 2);
  tall.insert(tall.end(), data.begin(), data.end());
  tall.insert(tall.end(), {0x00, 0x3B});
  put("rows-off-screen", tall);

  // 2048 x 2048: a striped picture, then another of other colours over it
  // through a fine checkerboard of transparency, then 1 x 1 frames.
  GifTest::Animation tiles;
  tiles.width = tiles.height = 2048;
  tiles.palette = Colours(1);
  for (int layer = 0; layer < 2; ++layer) {
    GifTest::Frame frame;
    frame.width = frame.height = 2048;
    if (layer == 1) frame.local_palette = Colours(2), frame.transparent = 0;
    for (int y = 0; y < 2048; ++y) {
      for (int x = 0; x < 2048; ++x) {
        const int stripe = ((layer == 0 ? x + y : x + 2048 - y) / 8) % 255 + 1;
        frame.indices.push_back(
            static_cast<std::uint8_t>(layer == 1 && (x + y) % 2 == 0 ? 0 : stripe));
      }
    }
    tiles.frames.push_back(frame);
  }
  for (int i = 0; i < 18; ++i) {
    GifTest::Frame dot;
    dot.indices = {static_cast<std::uint8_t>(i + 1)};
    dot.left = i;
    tiles.frames.push_back(dot);
  }
  put("many-colours", GifTest::Encode(tiles));

  // 127 frames of 64 x 64 on a 4096 x 4096 screen: the window's thumbnails.
  GifTest::Animation strip = GifTest::SolidFrames(127, 64, 64);
  strip.width = strip.height = 4096;
  for (int i = 0; i < 127; ++i) strip.frames[i].left = i * 32, strip.frames[i].disposal = 3;
  put("thumbnails-4096", GifTest::Encode(strip));
  return 0;
}
