// SPDX-License-Identifier: MIT
// make_gif FRAMES PATH: writes a looping animation of FRAMES frames of
// 40 x 30, for end-to-end tests run from scripts.

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "support/gif_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_gif FRAMES PATH\n");
    return 2;
  }
  const GifTest::Bytes gif = GifTest::Encode(GifTest::SolidFrames(std::atoi(argv[1]), 40, 30));
  std::ofstream(argv[2], std::ios::binary)
      .write(reinterpret_cast<const char*>(gif.data()), static_cast<std::streamsize>(gif.size()));
  return 0;
}
