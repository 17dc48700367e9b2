// SPDX-License-Identifier: MIT
#include "support/format_inputs.h"

#include <webp/encode.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "frame_compose/frame_files.h"
#include "support/apng_writer.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace FormatTest {
namespace {

constexpr char kImg2Webp[] = "/usr/bin/img2webp";

// Frame `index`'s colour, RGBA in memory order: its red tells it apart.
std::uint32_t ColourOf(int index) {
  const auto red = static_cast<std::uint32_t>((index * 2) & 0xFF);
  const auto green = static_cast<std::uint32_t>((255 - index) & 0xFF);
  return red | (green << 8) | (0x40u << 16) | (0xFFu << 24);
}

std::uint32_t Little32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// `webp` less its last ANMF chunk, the RIFF size made to match: the
// encoders write a single frame as a still WebP, never as an animation of one.
void DropLastFrame(std::vector<std::uint8_t>& webp) {
  std::size_t at = 12, last = 0;
  while (at + 8 <= webp.size()) {
    if (std::equal(webp.begin() + static_cast<long>(at), webp.begin() + static_cast<long>(at) + 4,
                   "ANMF")) {
      last = at;
    }
    at += 8 + ((Little32(webp, at + 4) + 1) & ~1u);
  }
  webp.erase(webp.begin() + static_cast<long>(last), webp.end());
  const auto riff = static_cast<std::uint32_t>(webp.size() - 8);
  for (int i = 0; i < 4; ++i) webp[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* fourcc,
              const std::vector<std::uint8_t>& data) {
  out.insert(out.end(), fourcc, fourcc + 4);
  PutLittle(out, static_cast<std::uint32_t>(data.size()), 4);
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() & 1) out.push_back(0);
}

}  // namespace

const char* ExtensionOf(Kind kind) { return kind == Kind::kWebp ? ".webp" : ".png"; }
const char* NameOf(Kind kind) { return kind == Kind::kWebp ? "WebP" : "APNG"; }

bool WriteAnimation(Kind kind, const std::string& path, int frames, int width, int height,
                    std::string* why) {
  if (kind == Kind::kApng) {
    ApngTest::Animation apng;
    apng.width = width;
    apng.height = height;
    for (int i = 0; i < frames; ++i) {
      apng.frames.push_back(ApngTest::Solid(0, 0, width, height, ColourOf(i)));
    }
    GifTest::WriteBytes(path, ApngTest::Encode(apng));
    return true;
  }
  if (!std::filesystem::exists(kImg2Webp)) {
    if (why) *why = "img2webp is missing";
    return false;
  }
  GifTest::TempDir pictures;
  std::vector<std::string> argv = {kImg2Webp, "-lossless"};
  const int encoded = frames == 1 ? 2 : frames;
  for (int i = 0; i < encoded; ++i) {
    FrameCompose::Canvas canvas;
    canvas.width = width;
    canvas.height = height;
    canvas.pixels.assign(static_cast<std::size_t>(width) * height, ColourOf(i));
    const std::string png = pictures.File("f" + std::to_string(1000 + i) + ".png");
    GifTest::WriteBytes(png, FrameCompose::EncodePng(canvas));
    argv.insert(argv.end(), {"-d", "100", png});
  }
  argv.insert(argv.end(), {"-o", path});
  const GifTest::ProcessResult made = GifTest::RunProcess(argv);
  if (made.exit_code != 0) {
    if (why) *why = "img2webp: " + made.err;
    return false;
  }
  if (encoded != frames) {
    std::vector<std::uint8_t> webp = GifTest::ReadBytes(path);
    DropLastFrame(webp);
    GifTest::WriteBytes(path, webp);
  }
  return true;
}

bool WriteSparseWebp(const std::string& path, int frames, int width, int height, std::string* why) {
  // Encoded here, not by cwebp, which a Windows build cannot run.
  const std::uint32_t colour = ColourOf(1);
  std::uint8_t* encoded = nullptr;
  const std::size_t size =
      WebPEncodeLosslessRGBA(reinterpret_cast<const std::uint8_t*>(&colour), 1, 1, 4, &encoded);
  const std::vector<std::uint8_t> still(encoded, encoded + size);
  WebPFree(encoded);
  if (still.size() < 20) {
    if (why) *why = "the WebP encoder failed";
    return false;
  }
  const std::vector<std::uint8_t> image(still.begin() + 12, still.end());  // its VP8L chunk
  std::vector<std::uint8_t> body = {'W', 'E', 'B', 'P'}, extended = {0x12, 0, 0, 0};
  PutLittle(extended, static_cast<std::uint32_t>(width - 1), 3);
  PutLittle(extended, static_cast<std::uint32_t>(height - 1), 3);
  PutChunk(body, "VP8X", extended);
  PutChunk(body, "ANIM", {0, 0, 0, 0, 0, 0});
  for (int k = 0; k < frames; ++k) {
    std::vector<std::uint8_t> frame;
    PutLittle(frame, static_cast<std::uint32_t>(k % (width / 2)), 3);  // x / 2
    PutLittle(frame, 0, 3);
    PutLittle(frame, 0, 3);  // width - 1
    PutLittle(frame, 0, 3);  // height - 1
    PutLittle(frame, 100, 3);
    frame.push_back(0);
    frame.insert(frame.end(), image.begin(), image.end());
    PutChunk(body, "ANMF", frame);
  }
  std::vector<std::uint8_t> file = {'R', 'I', 'F', 'F'};
  PutLittle(file, static_cast<std::uint32_t>(body.size()), 4);
  file.insert(file.end(), body.begin(), body.end());
  GifTest::WriteBytes(path, file);
  return true;
}

}  // namespace FormatTest
