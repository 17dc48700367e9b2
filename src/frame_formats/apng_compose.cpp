// SPDX-License-Identifier: MIT
// APNG frames as they appear: each frame's own PNG, cut exactly, decoded by
// libpng and composed by the APNG rules.

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <vector>

#include "frame_formats/apng_cut.h"
#include "frame_formats/format_compose.h"
#include "frame_formats/png_chunks.h"

namespace FrameFormats {
namespace {

using FrameCompose::Canvas;
using FrameCompose::ComposeError;

constexpr int kOpaque = 255;

// Rows decoded between two calls of the caller's pump: about 64 K pixels.
constexpr std::size_t kPixelsBetweenPumps = std::size_t{1} << 16;

// The frame file's bytes, handed to libpng as it asks for them.
struct MemorySource {
  const std::vector<std::uint8_t>& file;
  std::size_t at = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (count > source->file.size() - source->at) png_error(png, "the frame file ends early");
  std::memcpy(out, source->file.data() + source->at, count);
  source->at += count;
}

void IgnoreWarning(png_structp, png_const_charp) {}

// libpng's read state, destroyed however decoding ends.
struct PngReadState {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  ~PngReadState() { png_destroy_read_struct(&png, &info, nullptr); }
};

// Decodes `file` (a frame's exact cut) into `pixels` as 8-bit RGBA, not
// premultiplied, row by row, calling `pump` now and then; false when
// libpng refuses it. 16-bit samples keep their high byte, as viewers show
// them. Only rows and the header are read: the frame file holds nothing
// after its data that matters.
bool DecodeFrame(const std::vector<std::uint8_t>& file, const FrameRecord& record,
                 std::vector<std::uint8_t>& pixels, const std::function<void()>& pump) {
  PngReadState state;  // made before setjmp, so that a longjmp skips no destructor
  if (!state.png || !state.info) return false;
  MemorySource source{file};
  const std::size_t row_bytes = static_cast<std::size_t>(record.width) * 4;
  pixels.resize(row_bytes * static_cast<std::size_t>(record.height));
  if (setjmp(png_jmpbuf(state.png))) return false;
  png_set_read_fn(state.png, &source, ReadFromMemory);
  png_set_user_limits(state.png, Png::kLargestValue, Png::kLargestValue);
  png_read_info(state.png, state.info);
  const int colour = png_get_color_type(state.png, state.info);
  const bool transparency = png_get_valid(state.png, state.info, PNG_INFO_tRNS) != 0;
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(state.png);
  if (png_get_bit_depth(state.png, state.info) < 8) png_set_expand(state.png);
  if (transparency) png_set_tRNS_to_alpha(state.png);
  png_set_strip_16(state.png);
  if ((colour & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(state.png);
  if ((colour & PNG_COLOR_MASK_ALPHA) == 0 && !transparency) {
    png_set_add_alpha(state.png, 0xFF, PNG_FILLER_AFTER);
  }
  const int passes = png_set_interlace_handling(state.png);
  png_read_update_info(state.png, state.info);
  if (png_get_image_width(state.png, state.info) != static_cast<png_uint_32>(record.width) ||
      png_get_image_height(state.png, state.info) != static_cast<png_uint_32>(record.height) ||
      png_get_rowbytes(state.png, state.info) != row_bytes) {
    return false;
  }
  const std::size_t rows_between_pumps =
      std::max<std::size_t>(1, kPixelsBetweenPumps / record.width);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < record.height; ++y) {
      png_read_row(state.png, pixels.data() + static_cast<std::size_t>(y) * row_bytes, nullptr);
      if (pump && (y + 1) % rows_between_pumps == 0) pump();
    }
  }
  return true;
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
    to[c] = static_cast<std::uint8_t>((from[c] * own + to[c] * under + sum / 2) / sum);
  to[3] = static_cast<std::uint8_t>((sum + kOpaque / 2) / kOpaque);
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
  ComposeApngPlan(source, plan, source_name, sink, options);
}

void ComposeApngPlan(std::span<const std::uint8_t> source, const ApngPlan& plan,
                     const std::string& source_name, const FormatFrameSink& sink,
                     const FormatComposeOptions& options) {
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
    if (!DecodeFrame(ApngFrameFileBytes(source, plan, record.number), record, pixels,
                     options.pump)) {
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
