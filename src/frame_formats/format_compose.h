// SPDX-License-Identifier: MIT
#pragma once

// Frames of an animated WebP or an APNG as a viewer shows them, streamed:
// one canvas (and, for APNG's dispose-to-previous, a copy of one frame's
// region), whatever the number of frames.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_formats/apng_cut.h"
#include "frame_formats/format_status.h"
#include "frame_formats/webp_cut.h"

namespace FrameFormats {

// Receives each frame in play order, composed on the whole canvas, as it
// stands before its own dispose op. The canvas (RGBA, not premultiplied;
// pixels no frame has covered are transparent black) is valid only during
// the call. Returns false to stop reading.
using FormatFrameSink =
    std::function<bool(const FrameRecord& record, const FrameCompose::Canvas& canvas)>;

// Decodes `file`, a PNG of `width` x `height` pixels (an APNG frame's
// exact cut), into `pixels` as 8-bit RGBA, not premultiplied, as the APNG
// composer decodes each frame: 16-bit samples keep their high byte, and no
// gamma is applied. Returns empty text, or why libpng refused it (a header
// of another size among the reasons). REQUIRES: 0 < width, height, and
// the budget has allowed width x height.
std::string DecodeApngFrameFile(std::span<const std::uint8_t> file, int width, int height,
                                std::vector<std::uint8_t>& pixels);

struct FormatComposeOptions {
  Budgets budgets;
  // Called before each frame is decoded and, for APNG, about every 64 K
  // pixels while it is, so that a caller with a window can let its events
  // run. It may throw to stop reading.
  std::function<void()> pump;
  // Threads in all, the caller's among them: with more than one, an APNG's
  // frames are decoded on the others, a few frames ahead of the caller's,
  // which draws them in order; the frames come out the same. 0: one per
  // core.
  int threads = 1;
};

// Reads `source` as an animated WebP (ReadWebp) and hands every frame to
// `sink`, filling `animation` before the first: each frame's bitstream
// decoded alone by libwebp and drawn on one canvas, pixel for pixel as
// libwebp's animation decoder composes it (its blend arithmetic, and its
// rule that a frame may start afresh on a clear canvas), so that a frame
// costs its own area and reading stops with the sink. The budgets are
// checked from the headers before anything is allocated. Throws FrameCompose::ComposeError (naming
// `source_name`, the frame and the byte) for a file ReadWebp refuses or a
// frame that cannot be decoded; frames handed on before stay handed on.
// REQUIRES: nothing.
void ComposeWebp(std::span<const std::uint8_t> source, const std::string& source_name,
                 const FormatFrameSink& sink, AnimationRecord& animation,
                 const FormatComposeOptions& options = {});

// Reads `source` as an APNG (ReadApng) and hands every frame to `sink`:
// each frame's image decoded by libpng from its exact cut
// (ApngFrameFileBytes), drawn at its place with its blend op (source
// replaces, over composes by alpha), then its dispose op applied before
// the next (none, background clears the region to transparent black,
// previous puts back the region as it was; previous on the first frame
// acts as background). A default image that is not a frame is not shown.
// A file cut short ends after its last whole frame. Throws as ComposeWebp,
// also for a frame whose image data libpng cannot decode.
// REQUIRES: nothing.
void ComposeApng(std::span<const std::uint8_t> source, const std::string& source_name,
                 const FormatFrameSink& sink, AnimationRecord& animation,
                 const FormatComposeOptions& options = {});

// ComposeWebp and ComposeApng over the plan a caller already read from
// `source`, so that its chunks are walked once: the budgets are those the
// plan was read with (`options.budgets` is not used), and the animation's
// facts are the plan's. Throw as ComposeWebp and ComposeApng do for a
// frame that cannot be decoded. REQUIRES: `plan` was made by ReadWebp or
// ReadApng from this `source`.
void ComposeWebpPlan(std::span<const std::uint8_t> source, const WebpPlan& plan,
                     const std::string& source_name, const FormatFrameSink& sink,
                     const FormatComposeOptions& options = {});
void ComposeApngPlan(std::span<const std::uint8_t> source, const ApngPlan& plan,
                     const std::string& source_name, const FormatFrameSink& sink,
                     const FormatComposeOptions& options = {});

// The longest side a WebP image may have.
inline constexpr int kLargestWebpSide = 16383;

// `canvas` as a lossless still WebP: every pixel's RGBA exactly, colours
// under transparent pixels included. Throws std::runtime_error with the
// reason when the encoder cannot (a side longer than kLargestWebpSide, no
// memory). Safe to call on several threads at once.
std::vector<std::uint8_t> EncodeLosslessWebp(const FrameCompose::Canvas& canvas);

}  // namespace FrameFormats
