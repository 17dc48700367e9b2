// SPDX-License-Identifier: MIT
#pragma once

// The animated WebP's blocks: VP8X (canvas and flags), ANIM (loop count
// and background) and one ANMF chunk per frame, holding the frame's
// region, duration, dispose and blend bits and its own bitstream (VP8 with
// an optional ALPH, or VP8L). The chunk headers are walked here, for the
// budgets and for reasons a user can act on; libwebp's demux library then
// checks the container and finds each frame's image, and its mux library
// writes each frame's file.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "frame_formats/format_status.h"

namespace FrameFormats {

// Where one frame's image lies in the source: its ALPH chunk, when it has
// one, and its VP8 or VP8L chunk, headers included, as the demux library
// finds them; and the image's own size.
struct WebpImage {
  ByteRange chunks;
  int width = 0, height = 0;
  bool alpha_chunk = false;  // `chunks` starts with ALPH
  // What the container says of the frame's alpha: an ALPH chunk, or the
  // VP8L header's alpha bit. Only a hint (the pixels may say otherwise),
  // but the composer's rule for frames that start afresh goes by it.
  bool has_alpha = false;
  // What libwebp decodes the frame from: `chunks` and the image chunk's
  // padding byte where the file has one, as the demux library hands a frame
  // to the decoder (the lossless decoder may read into that byte).
  ByteRange decoded;
};

struct WebpPlan {
  int width = 0, height = 0;  // the canvas
  long long loop_count = 0;   // 0 = for ever
  std::vector<FrameRecord> frames;
  std::vector<WebpImage> images;  // one per frame, in the same order
};

// Reads the container of `source` into `plan`: RIFF/WEBP, VP8X with the
// animation flag, ANIM before the first ANMF, every chunk within the file
// (kPastEnd: a truncated file is refused whole, as libwebp's demux library
// refuses it), every frame within the canvas, the canvas and the number of
// ANMF chunks within the budgets (checked before libwebp allocates anything
// for them); then where each frame's image lies, an ALPH chunk or none and
// then VP8 or VP8L, whose own size must be the frame header's (kBadChunk,
// naming the frame); then the demux library's own checks (kLibraryRefused,
// at the frame it refuses when it refuses one). Nothing is decoded. Returns
// kNotThisFormat for a file that is not an animated WebP. REQUIRES: nothing.
Status ReadWebp(std::span<const std::uint8_t> source, const Budgets& budgets, WebpPlan& plan);

// ReadWebp, throwing FrameSplit::DivideError naming `source_name`, the
// byte and the reason on any fault.
WebpPlan PlanWebpCuts(std::span<const std::uint8_t> source, const std::string& source_name,
                      const Budgets& budgets = {});

// The still WebP file of frame `number` (1-based) of `plan`: that frame's
// own bitstream (VP8 or VP8L, with its ALPH), unchanged, in a RIFF
// container of the frame's own size, exactly as libwebp's mux library
// writes a frame it extracts. Reads only that frame's chunks, so cutting
// every frame costs the file's size, however many frames it holds. Throws
// std::runtime_error when the library cannot (it ran out of memory).
// REQUIRES: plan was made by ReadWebp from this `source`, 1 <= number <=
// plan.frames.size().
std::vector<std::uint8_t> WebpFrameFileBytes(std::span<const std::uint8_t> source,
                                             const WebpPlan& plan, int number);

}  // namespace FrameFormats
