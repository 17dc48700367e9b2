// SPDX-License-Identifier: MIT
#pragma once

// Standalone files of composed frames: a full-frame GIF or an RGBA PNG.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/png_writer.h"

namespace FrameCompose {

// A GIF89a holding `canvas` with its colours exactly, never dithered or
// reduced, shown for `delay_cs` hundredths of a second. Pixels no frame
// covered are transparent. A picture of up to 256 colours (transparency
// counting as one) is one image over a global colour table. A picture with
// more is cut into rectangles of up to 256 colours each, halved until they
// fit, and where colours are mixed too finely for that, into layers of up to
// 255 colours over a small rectangle; every tile is an image with a local
// colour table at delay 0, drawn over the ones before, and the last carries
// the delay. Viewers then show the whole picture once the file is read.
// REQUIRES: canvas.pixels.size() == width * height, width and height 1..65535.
std::vector<std::uint8_t> EncodeFullFrameGif(const Canvas& canvas, int delay_cs);

// An 8-bit RGBA PNG of `canvas`, compressed with libdeflate. Throws
// std::runtime_error for a picture of no pixels. REQUIRES: as above.
std::vector<std::uint8_t> EncodePng(const Canvas& canvas);

// The same, for many pictures one after another: the encoder keeps its
// buffers and its compressor from one picture to the next (up to 64 MiB of
// them), so that a frame's memory is not given back to the system and
// faulted in again for the next. Use one per thread.
class FrameEncoder {
 public:
  FrameEncoder();
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;
  std::vector<std::uint8_t> FullFrameGif(const Canvas& canvas, int delay_cs);
  std::vector<std::uint8_t> Png(const Canvas& canvas);

 private:
  static constexpr std::size_t kMostKeptBuffer = std::size_t{64} << 20;
  void Release();
  struct Buffers;
  std::unique_ptr<Buffers> buffers_;
};

}  // namespace FrameCompose
