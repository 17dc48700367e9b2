// SPDX-License-Identifier: MIT
// make_format_corpus FOLDER apng|webp: writes small animations for the
// format fuzzers to start from: every dispose and blend op, a default image
// apart from the frames, lossy and lossless WebP with and without alpha.

#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/apng_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Webp(int width, int height, int frames, bool lossless, bool alpha) {
  WebPAnimEncoderOptions options;
  WebPAnimEncoderOptionsInit(&options);
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(width, height, &options);
  WebPConfig config;
  WebPConfigInit(&config);
  config.lossless = lossless;
  for (int k = 0; k < frames; ++k) {
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.width = width, picture.height = height, picture.use_argb = 1;
    WebPPictureAlloc(&picture);
    for (int i = 0; i < width * height; ++i) {
      const std::uint32_t a = alpha ? static_cast<std::uint32_t>((i * 40 + k * 90) & 255) : 255;
      picture.argb[i] = a << 24 | static_cast<std::uint32_t>((i * 7 + k * 60) & 0xFFFFFF);
    }
    WebPAnimEncoderAdd(encoder, &picture, k * 100, &config);
    WebPPictureFree(&picture);
  }
  WebPAnimEncoderAdd(encoder, nullptr, frames * 100, nullptr);
  WebPData data;
  WebPDataInit(&data);
  WebPAnimEncoderAssemble(encoder, &data);
  Bytes out(data.bytes, data.bytes + data.size);
  WebPDataClear(&data);
  WebPAnimEncoderDelete(encoder);
  return out;
}

std::vector<Bytes> Apngs() {
  std::vector<Bytes> files;
  for (int dispose = 0; dispose < 3; ++dispose) {
    for (int blend = 0; blend < 2; ++blend) {
      ApngTest::Animation animation;
      animation.width = 4, animation.height = 3;
      animation.frames = {ApngTest::Solid(0, 0, 4, 3, 0xFF0000FFu),
                          ApngTest::Solid(1, 1, 2, 1, 0x800000FFu),
                          ApngTest::Solid(3, 2, 1, 1, 0xFF00FF00u)};
      for (auto& frame : animation.frames) frame.dispose = dispose, frame.blend = blend;
      if (dispose == 2) animation.default_image = ApngTest::Solid(0, 0, 4, 3, 0xFFFFFFFFu).rgba;
      files.push_back(ApngTest::Encode(animation));
    }
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string format = argc == 3 ? argv[2] : "";
  if (format != "apng" && format != "webp") {
    std::fprintf(stderr, "usage: make_format_corpus FOLDER apng|webp\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  std::vector<Bytes> files;
  if (format == "apng") {
    files = Apngs();
  } else {
    files = {Webp(5, 3, 3, true, true), Webp(7, 4, 2, false, false), Webp(6, 6, 3, false, true),
             Webp(1, 1, 2, true, false)};
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::ofstream out(folder / ("start-" + std::to_string(i) + "." + format), std::ios::binary);
    out.write(reinterpret_cast<const char*>(files[i].data()),
              static_cast<std::streamsize>(files[i].size()));
  }
  return 0;
}
