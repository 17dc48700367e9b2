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
  return 0;
}
