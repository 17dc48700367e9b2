// SPDX-License-Identifier: MIT
#pragma once

// RGBA PNG files, written around libdeflate: their chunks are few and simple.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "png_format/png_chunks.h"

struct libdeflate_compressor;

namespace FrameCompose {

// The extension of every PNG file written: frames, sheets and saved frames.
inline constexpr char kPngExtension[] = ".png";

// Appends a chunk of `type` holding `data` to `out`, with its length and
// CRC. REQUIRES: data.size() <= PngFormat::kLargestValue.
void PutPngChunk(std::vector<std::uint8_t>& out, PngFormat::ChunkType type,
                 std::span<const std::uint8_t> data);

// Writes 8-bit RGBA PNGs, one picture after another, keeping its
// compressor and buffers from one to the next.
class PngWriter {
 public:
  PngWriter();
  ~PngWriter();
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  // The PNG file of `canvas`. Throws std::runtime_error for a picture of no
  // pixels or data that cannot be compressed, std::bad_alloc when memory
  // runs out. REQUIRES: canvas.pixels.size() == width * height.
  std::vector<std::uint8_t> Write(const Canvas& canvas);

  // Gives back every buffer larger than `most_kept` bytes.
  void Release(std::size_t most_kept);

 private:
  std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor_;
  std::vector<std::uint8_t> rows_;
  // Room for the compressed rows, never cleared: only what libdeflate
  // writes is touched, mostly a small part of its bound, so most of a large
  // frame's pages are never faulted in, and a program ended mid-save (END)
  // has that many fewer to give back before it is gone.
  std::unique_ptr<std::uint8_t[]> packed_;
  std::size_t packed_room_ = 0;
};

}  // namespace FrameCompose
