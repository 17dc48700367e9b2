// SPDX-License-Identifier: MIT
#include "frame_compose/frame_files.h"

#include "frame_compose/colour_tables.h"
#include "frame_compose/full_frame_gif.h"

namespace FrameCompose {

struct FrameEncoder::Buffers {
  PngWriter png;
  std::vector<std::uint8_t> codes;  // the GIF writer's scratch space
};

FrameEncoder::FrameEncoder() : buffers_(std::make_unique<Buffers>()) {}
FrameEncoder::~FrameEncoder() = default;

void FrameEncoder::Release() {
  // One huge picture does not hold its memory for the encoder's lifetime.
  if (buffers_->codes.capacity() > kMostKeptBuffer) buffers_->codes = {};
  buffers_->png.Release(kMostKeptBuffer);
}

std::vector<std::uint8_t> FrameEncoder::FullFrameGif(const Canvas& canvas, int delay_cs) {
  std::vector<std::uint8_t> file = EncodeGif(IndexColours(canvas), delay_cs, buffers_->codes);
  Release();
  return file;
}

std::vector<std::uint8_t> FrameEncoder::Png(const Canvas& canvas) {
  std::vector<std::uint8_t> file = buffers_->png.Write(canvas);
  Release();
  return file;
}

std::vector<std::uint8_t> EncodeFullFrameGif(const Canvas& canvas, int delay_cs) {
  return FrameEncoder().FullFrameGif(canvas, delay_cs);
}

std::vector<std::uint8_t> EncodePng(const Canvas& canvas) { return FrameEncoder().Png(canvas); }

}  // namespace FrameCompose
