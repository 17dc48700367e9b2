// SPDX-License-Identifier: MIT
#include "frame_formats/still_decode.h"

#include "frame_formats/format_compose.h"

#include <png.h>
#include <webp/decode.h>

#include <cstring>
#include <memory>

namespace FrameFormats {
namespace {

using FrameCompose::Canvas;
using FrameCompose::ComposeError;

constexpr std::size_t kRgbaBytes = 4;

// libpng's simplified reader, freed however decoding ends.
struct PngImage {
  png_image image{};
  PngImage() { image.version = PNG_IMAGE_VERSION; }
  ~PngImage() { png_image_free(&image); }
};

struct WebpFree {
  void operator()(std::uint8_t* pixels) const { WebPFree(pixels); }
};

// A canvas of `width` x `height`, after the budget has allowed it.
Canvas Sized(int width, int height, const Budgets& budgets, const std::string& file_name,
             int number) {
  if (width <= 0 || height <= 0) {
    throw ComposeError(file_name, number, 0, FaultText(Fault::kZeroSizeFrame));
  }
  if (!CanvasFits(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), budgets)) {
    throw ComposeError(file_name, number, 0, FaultText(Fault::kCanvasTooLarge));
  }
  Canvas canvas;
  canvas.width = width;
  canvas.height = height;
  canvas.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  return canvas;
}

Canvas DecodeWebp(std::span<const std::uint8_t> file, const std::string& file_name, int number,
                  const Budgets& budgets) {
  int width = 0, height = 0;
  if (!WebPGetInfo(file.data(), file.size(), &width, &height)) {
    throw ComposeError(file_name, number, 0, FaultText(Fault::kBadImageData));
  }
  Canvas canvas = Sized(width, height, budgets, file_name, number);
  const std::unique_ptr<std::uint8_t, WebpFree> pixels(
      WebPDecodeRGBA(file.data(), file.size(), &width, &height));
  if (!pixels || width != canvas.width || height != canvas.height) {
    throw ComposeError(file_name, number, 0, FaultText(Fault::kBadImageData));
  }
  std::memcpy(canvas.pixels.data(), pixels.get(), canvas.pixels.size() * kRgbaBytes);
  return canvas;
}

Canvas DecodePng(std::span<const std::uint8_t> file, const std::string& file_name, int number,
                 const Budgets& budgets) {
  PngImage png;
  if (!png_image_begin_read_from_memory(&png.image, file.data(), file.size())) {
    throw ComposeError(file_name, number, 0, png.image.message);
  }
  // A side past an int's range is no picture anyone can be shown.
  const auto side = [](png_uint_32 value) {
    return value > 0x7FFFFFFFu ? 0 : static_cast<int>(value);
  };
  Canvas canvas = Sized(side(png.image.width), side(png.image.height), budgets, file_name, number);
  // Decoded as the composer decodes the frame, not by the simplified
  // reader, which takes 16-bit samples for linear light and would show the
  // frame alone in other colours than the frame as it appears.
  std::vector<std::uint8_t> rgba;
  const std::string refused = DecodeApngFrameFile(file, canvas.width, canvas.height, rgba);
  if (!refused.empty()) throw ComposeError(file_name, number, 0, refused);
  std::memcpy(canvas.pixels.data(), rgba.data(), canvas.pixels.size() * kRgbaBytes);
  return canvas;
}

}  // namespace

Canvas DecodeStill(SourceFormat format, std::span<const std::uint8_t> file,
                   const std::string& file_name, int number, const Budgets& budgets) {
  const bool webp = format == SourceFormat::kAnimatedWebp || format == SourceFormat::kStillWebp;
  return webp ? DecodeWebp(file, file_name, number, budgets)
              : DecodePng(file, file_name, number, budgets);
}

}  // namespace FrameFormats
