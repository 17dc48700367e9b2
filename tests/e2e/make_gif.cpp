// SPDX-License-Identifier: MIT
// make_gif FRAMES PATH: writes a looping animation of FRAMES frames of
// 40 x 30, for end-to-end tests run from scripts.
// make_gif --constant FRAMES WIDTH HEIGHT SCREEN_WIDTH SCREEN_HEIGHT PATH:
// one-colour frames of any size, made without their pixels.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "support/gif_writer.h"

int main(int argc, char** argv) {
  GifTest::Bytes gif;
  if (argc == 3) {
    gif = GifTest::Encode(GifTest::SolidFrames(std::atoi(argv[1]), 40, 30));
  } else if (argc == 8 && std::strcmp(argv[1], "--constant") == 0) {
    gif = GifTest::ConstantFrames(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                                  std::atoi(argv[5]), std::atoi(argv[6]));
  } else {
    std::fprintf(
        stderr,
        "usage: make_gif FRAMES PATH\n"
        "       make_gif --constant FRAMES WIDTH HEIGHT SCREEN_WIDTH SCREEN_HEIGHT PATH\n");
    return 2;
  }
  std::ofstream(argv[argc - 1], std::ios::binary)
      .write(reinterpret_cast<const char*>(gif.data()), static_cast<std::streamsize>(gif.size()));
  return 0;
}
