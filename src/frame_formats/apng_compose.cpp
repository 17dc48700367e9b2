// SPDX-License-Identifier: MIT
// APNG frames as they appear: each frame's own PNG, cut exactly, decoded by
// libpng and composed by the APNG rules.

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "frame_formats/apng_cut.h"
#include "frame_formats/format_compose.h"

namespace FrameFormats {
namespace {

using FrameCompose::Canvas;
using FrameCompose::ComposeError;

constexpr int kOpaque = 255;

// Decodes `file` (a frame's exact cut) into `pixels` as 8-bit RGBA, not
// premultiplied; false when libpng refuses it. A 16-bit image without
// gamma facts is taken as sRGB, as viewers show it, not as linear light.
bool DecodeFrame(const std::vector<std::uint8_t>& file, const FrameRecord& record,
                 std::vector<std::uint8_t>& pixels) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.flags = PNG_IMAGE_FLAG_16BIT_sRGB;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
  image.format = PNG_FORMAT_RGBA;
  if (image.width != static_cast<png_uint_32>(record.width) ||
      image.height != static_cast<png_uint_32>(record.height)) {
    png_image_free(&image);
    return false;
  }
  pixels.resize(PNG_IMAGE_SIZE(image));
  const bool read = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return read;
}

// Blends one source pixel over one canvas pixel, both RGBA bytes not
// premultiplied, as the APNG "over" op defines it.
void Over(const std::uint8_t* from, std::uint8_t* to) {
  const int alpha = from[3];
  if (alpha == kOpaque || to[3] == 0) {
    std::memcpy(to, from, 4);
    return;
  }
  if (alpha == 0) return;
  const int own = alpha * kOpaque, under = (kOpaque - alpha) * to[3];
  const int sum = own + under;
  for (int c = 0; c < 3; ++c)
    to[c] = static_cast<std::uint8_t>((from[c] * own + to[c] * under) / sum);
  to[3] = static_cast<std::uint8_t>(sum / kOpaque);
}

// Draws the frame's pixels into its region of `canvas`.
void Draw(const std::vector<std::uint8_t>& pixels, const FrameRecord& record, Canvas& canvas) {
  const std::size_t row_bytes = static_cast<std::size_t>(record.width) * 4;
  for (int y = 0; y < record.height; ++y) {
    const std::uint8_t* from = pixels.data() + static_cast<std::size_t>(y) * row_bytes;
    auto* to = reinterpret_cast<std::uint8_t*>(
        canvas.pixels.data() + static_cast<std::size_t>(record.top + y) * canvas.width +
        record.left);
    if (record.blend == Blend::kSource) {
      std::memcpy(to, from, row_bytes);
    } else {
      for (int x = 0; x < record.width; ++x) Over(from + 4 * x, to + 4 * x);
    }
  }
}

// Copies the frame's region out of `canvas` into `region`, or back in.
void CopyRegion(const FrameRecord& record, Canvas& canvas, std::vector<std::uint32_t>& region,
                bool back) {
  region.resize(static_cast<std::size_t>(record.width) * record.height);
  for (int y = 0; y < record.height; ++y) {
    std::uint32_t* row = canvas.pixels.data() +
                         static_cast<std::size_t>(record.top + y) * canvas.width + record.left;
    std::uint32_t* saved = region.data() + static_cast<std::size_t>(y) * record.width;
    back ? std::copy_n(saved, record.width, row) : std::copy_n(row, record.width, saved);
  }
}

void Clear(const FrameRecord& record, Canvas& canvas) {
  for (int y = 0; y < record.height; ++y) {
    std::fill_n(canvas.pixels.data() + static_cast<std::size_t>(record.top + y) * canvas.width +
                    record.left,
                record.width, 0u);
  }
}

}  // namespace

void ComposeApng(std::span<const std::uint8_t> source, const std::string& source_name,
                 const FormatFrameSink& sink, AnimationRecord& animation,
                 const FormatComposeOptions& options) {
  ApngPlan plan;
  RequireComposable(ReadApng(source, options.budgets, plan), source_name);
  animation = {plan.width, plan.height, static_cast<int>(plan.frames.size()), plan.plays, 0};
  for (const ApngFrame& frame : plan.frames) animation.total_delay_ms += frame.record.delay_ms;

  Canvas canvas;
  canvas.width = plan.width;
  canvas.height = plan.height;
  canvas.pixels.assign(static_cast<std::size_t>(plan.width) * static_cast<std::size_t>(plan.height),
                       0u);
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint32_t> saved;
  for (const ApngFrame& frame : plan.frames) {
    const FrameRecord& record = frame.record;
    if (options.pump) options.pump();
    if (!DecodeFrame(ApngFrameFileBytes(source, plan, record.number), record, pixels)) {
      throw ComposeError(source_name, record.number, frame.control_offset,
                         FaultText(Fault::kBadImageData));
    }
    const bool restore = record.dispose == Dispose::kPrevious && record.number > 1;
    if (restore) CopyRegion(record, canvas, saved, false);
    Draw(pixels, record, canvas);
    if (!sink(record, canvas)) return;
    if (restore) {
      CopyRegion(record, canvas, saved, true);
    } else if (record.dispose != Dispose::kNone) {
      Clear(record, canvas);
    }
  }
}

}  // namespace FrameFormats
