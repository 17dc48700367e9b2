// SPDX-License-Identifier: MIT
#pragma once

// What the animated WebP and APNG fuzz targets share: small budgets, so
// that one input runs in milliseconds, and the invariants every accepted
// file must keep.

#include <cstdlib>

#include "frame_formats/format_compose.h"

namespace FormatFuzz {

// 512 x 512 at most, and few frames: a minute tries thousands of inputs.
inline FrameFormats::FormatComposeOptions SmallBudgets() {
  FrameFormats::FormatComposeOptions options;
  options.budgets.largest_canvas_bytes = std::size_t{1} << 20;
  options.budgets.most_frames = 64;
  return options;
}

// Every frame handed on lies on the canvas the animation gives, in order,
// on a canvas of that size.
inline FrameFormats::FormatFrameSink CheckedSink(const FrameFormats::AnimationRecord& animation,
                                                 int& seen) {
  return [&animation, &seen](const FrameFormats::FrameRecord& record,
                             const FrameCompose::Canvas& canvas) {
    if (record.number != ++seen || record.width <= 0 || record.height <= 0 ||
        record.left + record.width > animation.canvas_width ||
        record.top + record.height > animation.canvas_height ||
        canvas.width != animation.canvas_width || canvas.height != animation.canvas_height ||
        canvas.pixels.size() != static_cast<std::size_t>(canvas.width) * canvas.height) {
      std::abort();
    }
    return true;
  };
}

}  // namespace FormatFuzz
