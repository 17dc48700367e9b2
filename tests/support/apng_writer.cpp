// SPDX-License-Identifier: MIT
#include "support/apng_writer.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "frame_compose/frame_files.h"
#include "frame_formats/png_chunks.h"

namespace ApngTest {
namespace {

namespace Png = FrameFormats::Png;

void Put32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// zlib data of `rgba` as rows, each behind filter byte 0, in 8- or
// 16-bit samples.
Bytes Deflate(const Bytes& rgba, int width, int height, bool sixteen_bit) {
  Bytes rows;
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);
    for (std::size_t i = 0; i < row; ++i) {
      const std::uint8_t sample = rgba[static_cast<std::size_t>(y) * row + i];
      rows.push_back(sample);
      if (sixteen_bit) rows.push_back(static_cast<std::uint8_t>(~sample));
    }
  }
  const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
      libdeflate_alloc_compressor(6), libdeflate_free_compressor);
  Bytes out(libdeflate_zlib_compress_bound(compressor.get(), rows.size()));
  out.resize(
      libdeflate_zlib_compress(compressor.get(), rows.data(), rows.size(), out.data(), out.size()));
  return out;
}

}  // namespace

Bytes Encode(const Animation& animation) {
  Bytes out(PngFormat::kSignature.begin(), PngFormat::kSignature.end());
  Bytes header;
  Put32(header, static_cast<std::uint32_t>(animation.width));
  Put32(header, static_cast<std::uint32_t>(animation.height));
  header.insert(header.end(),
                {static_cast<std::uint8_t>(animation.sixteen_bit ? 16 : 8), 6, 0, 0, 0});
  FrameCompose::PutPngChunk(out, Png::kImageHeader, header);
  Bytes control;
  Put32(control, static_cast<std::uint32_t>(animation.frames.size()));
  Put32(control, animation.plays);
  FrameCompose::PutPngChunk(out, Png::kAnimationControl, control);
  std::uint32_t sequence = 0;
  if (!animation.default_image.empty()) {
    FrameCompose::PutPngChunk(
        out, Png::kImageData,
        Deflate(animation.default_image, animation.width, animation.height, animation.sixteen_bit));
  }
  for (std::size_t i = 0; i < animation.frames.size(); ++i) {
    const Frame& frame = animation.frames[i];
    Bytes fctl;
    Put32(fctl, sequence++);
    for (int value : {frame.width, frame.height, frame.left, frame.top}) {
      Put32(fctl, static_cast<std::uint32_t>(value));
    }
    fctl.insert(fctl.end(),
                {static_cast<std::uint8_t>(frame.delay_num >> 8),
                 static_cast<std::uint8_t>(frame.delay_num),
                 static_cast<std::uint8_t>(frame.delay_den >> 8),
                 static_cast<std::uint8_t>(frame.delay_den),
                 static_cast<std::uint8_t>(frame.dispose), static_cast<std::uint8_t>(frame.blend)});
    FrameCompose::PutPngChunk(out, Png::kFrameControl, fctl);
    const Bytes data = Deflate(frame.rgba, frame.width, frame.height, animation.sixteen_bit);
    if (i == 0 && animation.default_image.empty()) {
      FrameCompose::PutPngChunk(out, Png::kImageData, data);
    } else {
      Bytes fdat;
      Put32(fdat, sequence++);
      fdat.insert(fdat.end(), data.begin(), data.end());
      FrameCompose::PutPngChunk(out, Png::kFrameData, fdat);
    }
  }
  FrameCompose::PutPngChunk(out, Png::kImageEnd, {});
  return out;
}

Frame Solid(int left, int top, int width, int height, std::uint32_t rgba) {
  Frame frame;
  frame.left = left, frame.top = top, frame.width = width, frame.height = height;
  for (int i = 0; i < width * height; ++i) {
    frame.rgba.insert(frame.rgba.end(), reinterpret_cast<const std::uint8_t*>(&rgba),
                      reinterpret_cast<const std::uint8_t*>(&rgba) + 4);
  }
  return frame;
}

std::size_t FindChunk(const Bytes& png, const char* type, int nth) {
  Png::Chunk chunk;
  for (std::size_t at = Png::kSignatureSize; Png::ReadChunk(png, at, false, chunk).ok();
       at = chunk.end()) {
    if (std::memcmp(chunk.type.letters, type, 4) == 0 && nth-- == 0) return at;
  }
  return static_cast<std::size_t>(-1);
}

void FixCrc(Bytes& png, std::size_t offset) {
  const std::uint32_t length = Png::ReadBig32(png.data() + offset);
  PutBig32(png, offset + 8 + length,
           static_cast<std::uint32_t>(libdeflate_crc32(0, png.data() + offset + 4, 4 + length)));
}

void PutBig32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

}  // namespace ApngTest
