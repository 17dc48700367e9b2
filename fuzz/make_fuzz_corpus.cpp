// SPDX-License-Identifier: MIT
// make_fuzz_corpus FOLDER: writes small GIF streams for the fuzzer to start from.

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/gif_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_corpus FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  int index = 0;
  const auto put = [&](const GifTest::Bytes& bytes) {
    std::ofstream out(folder / ("start-" + std::to_string(index++) + ".gif"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  };
  for (const int frames : {1, 2, 5}) put(GifTest::Encode(GifTest::SolidFrames(frames, 3, 2)));
  GifTest::Animation still = GifTest::SolidFrames(1, 4, 4);
  still.looping = false;
  put(GifTest::Encode(still));
  const GifTest::Rgb palette[] = {{0x21, 0xF9, 0x04}, {1, 2, 3}};
  put(GifTest::Concat({GifTest::HeaderAndScreen(2, 2, palette),
                       GifTest::LoopingExtension(),
                       GifTest::GraphicControlExtension(3),
                       {0x00, 0x3B, 'x'}}));
  put(GifTest::Concat({GifTest::FromText("GIF89aNETSCAPE"), GifTest::GraphicControlExtension(1)}));
  // Marker bytes by chance: in a colour table, a comment, image data, after the trailer.
  const GifTest::Rgb markers[] = {{0x21, 0xF9, 0x04}, {0x21, 0xFF, 0x0B}};
  const GifTest::Bytes frames = GifTest::Encode(GifTest::SolidFrames(2, 2, 2));
  const GifTest::Bytes body(frames.begin() + 13 + 12, frames.end());  // past header and table
  put(GifTest::Concat({GifTest::HeaderAndScreen(2, 2, markers), body}));
  put(GifTest::Concat({GifTest::HeaderAndScreen(2, 2, markers),
                       GifTest::CommentExtension(GifTest::kChanceGce + GifTest::kChanceApp), body,
                       GifTest::FromText(GifTest::kChanceGce)}));
  GifTest::Bytes data_marker = frames;
  data_marker.insert(data_marker.end() - 2, {0x03, 0x21, 0xF9, 0x04});
  put(data_marker);
  put(GifTest::Bytes(frames.begin(), frames.end() - 5));
  // A frame that claims 65535 x 65535 pixels.
  put(GifTest::Concat(
      {GifTest::HeaderAndScreen(4, 4, markers),
       {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02, 0x01, 0x44, 0x00, 0x3B}}));
  // Small files that once cost minutes: 1 x 1 frames restoring the previous
  // picture of a large screen, a frame of 65535 rows on a small screen, a 0 x
  // 0 screen, and a picture of two finely mixed palettes.
  GifTest::Animation restore = GifTest::SolidFrames(10, 1, 1);
  restore.width = restore.height = 512;  // large enough to show, small enough to run often
  for (std::size_t i = 0; i < restore.frames.size(); ++i) {
    restore.frames[i].disposal = 3;
    restore.frames[i].left = static_cast<int>(i);
  }
  put(GifTest::Encode(restore));
  GifTest::Animation tall = GifTest::SolidFrames(1, 64, 64);
  GifTest::Bytes tall_file = GifTest::Encode(tall);
  const std::size_t descriptor = 13 + 12 + 19 + 8;  // header, table, looping, control
  tall_file[descriptor + 7] = tall_file[descriptor + 8] = 0xFF;
  put(tall_file);
  GifTest::Animation empty = GifTest::SolidFrames(2, 2, 2);
  empty.width = empty.height = 0;
  put(GifTest::Encode(empty));
  GifTest::Animation mixed = GifTest::SolidFrames(2, 32, 32);
  std::uint32_t seed = 1;
  for (GifTest::Frame& frame : mixed.frames) {
    for (int c = 0; c < 256; ++c) {
      frame.local_palette.push_back(
          {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(&frame - &mixed.frames[0]), 9});
    }
    for (std::uint8_t& index : frame.indices)
      index = static_cast<std::uint8_t>((seed *= 69069u) >> 24);
  }
  mixed.frames[1].transparent = 0;
  put(GifTest::Encode(mixed));
  return 0;
}
