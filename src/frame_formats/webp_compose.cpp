// SPDX-License-Identifier: MIT
// Animated WebP frames as they appear: each frame's bitstream decoded alone
// by libwebp into its own region of one canvas, by the rules of libwebp's
// animation decoder, so that a frame costs its own area, not the canvas's;
// and written back as lossless stills by libwebp's encoder.

#include <webp/decode.h>
#include <webp/encode.h>

#include <cstring>
#include <optional>
#include <stdexcept>

#include "frame_formats/format_compose.h"
#include "frame_formats/webp_cut.h"

namespace FrameFormats {
namespace {

// The encoder's picture and output, let go however encoding ends.
struct Encoding {
  WebPPicture picture;
  WebPMemoryWriter writer;
  Encoding() {
    WebPPictureInit(&picture);
    WebPMemoryWriterInit(&writer);
  }
  ~Encoding() {
    WebPPictureFree(&picture);
    WebPMemoryWriterClear(&writer);
  }
  Encoding(const Encoding&) = delete;
  Encoding& operator=(const Encoding&) = delete;
};

std::string EncoderReason(WebPEncodingError error) {
  switch (error) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
      return "not enough memory";
    case VP8_ENC_ERROR_BAD_DIMENSION:
      return "a side is longer than " + std::to_string(kLargestWebpSide) +
             " pixels, the most a WebP holds";
    default:
      return "the WebP encoder failed (error " + std::to_string(static_cast<int>(error)) + ")";
  }
}

// Bytes of one RGBA pixel, in memory order.
constexpr std::size_t kChannels = 4;
constexpr std::size_t kAlphaAt = 3;

// `over` drawn over `under`, neither premultiplied, in the integer
// arithmetic libwebp's animation decoder uses, so that the frames are its
// frames to the bit: the under pixel's weight is its alpha times
// (256 - over's alpha) / 256, and each colour is the weighted sum scaled by
// 2^24 / the new alpha. A transparent `over` leaves `under` as it was.
void BlendOver(std::uint8_t* over, const std::uint8_t* under) {
  const std::uint32_t over_alpha = over[kAlphaAt];
  if (over_alpha == 0) {
    std::memcpy(over, under, kChannels);
    return;
  }
  const std::uint32_t under_weight = (under[kAlphaAt] * (256 - over_alpha)) >> 8;
  const std::uint32_t alpha = over_alpha + under_weight;  // at most 255
  const std::uint32_t scale = (std::uint32_t{1} << 24) / alpha;
  for (std::size_t c = 0; c < kAlphaAt; ++c) {
    const std::uint32_t sum = over[c] * over_alpha + under[c] * under_weight;  // < 2^24 / scale
    over[c] = static_cast<std::uint8_t>((sum * scale) >> 24);
  }
  over[kAlphaAt] = static_cast<std::uint8_t>(alpha);
}

std::uint8_t* PixelAt(FrameCompose::Canvas& canvas, int x, int y) {
  return reinterpret_cast<std::uint8_t*>(
      canvas.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) +
      static_cast<std::size_t>(x));
}

bool Covers(const FrameRecord& frame, const FrameCompose::Canvas& canvas) {
  return frame.width == canvas.width && frame.height == canvas.height;
}

bool Inside(const FrameRecord& frame, int x, int y) {
  return x >= frame.left && x < frame.left + frame.width && y >= frame.top &&
         y < frame.top + frame.height;
}

// What drawing a frame needs to know of the one before it.
struct WebpCanvasState {
  std::optional<FrameRecord> previous;  // none before the first frame
  bool previous_afresh = false;         // it was drawn on a clear canvas, unblended
};

// Decodes `bitstream` (the frame's ALPH and VP8, or VP8L, chunks) and draws
// it at its region of `canvas`, blended or not by the rules above; `scratch`
// holds a decoded frame that is to be blended. False when libwebp cannot
// decode it.
bool DrawWebpFrame(std::span<const std::uint8_t> bitstream, const FrameRecord& frame,
                   bool has_alpha, WebpCanvasState& state, FrameCompose::Canvas& canvas,
                   std::vector<std::uint8_t>& scratch) {
  // A frame starts afresh (on a clear canvas, nothing blended) when it is
  // the first; when it covers the canvas and is opaque by its container's
  // word or replaces what is under it; or when the frame before it cleared
  // itself away and either covered the canvas or started afresh. The canvas
  // is then already clear outside this frame: the first frame finds it so,
  // a covering frame leaves nothing outside, and the last case's frame,
  // drawn on a clear canvas, was cleared away again. So drawing costs the
  // frame's own area in every case.
  const bool afresh = !state.previous ||
                      ((!has_alpha || frame.blend == Blend::kSource) && Covers(frame, canvas)) ||
                      (state.previous->dispose == Dispose::kBackground &&
                       (Covers(*state.previous, canvas) || state.previous_afresh));
  const int stride = canvas.width * static_cast<int>(kChannels);
  const std::size_t row_bytes = static_cast<std::size_t>(frame.width) * kChannels;
  const bool blends = !afresh && frame.blend == Blend::kOver;
  if (!blends) {
    // Decoded straight onto the canvas: every pixel of the region replaced.
    std::uint8_t* at = PixelAt(canvas, frame.left, frame.top);
    const std::size_t size =
        static_cast<std::size_t>(stride) * static_cast<std::size_t>(frame.height - 1) + row_bytes;
    if (!WebPDecodeRGBAInto(bitstream.data(), bitstream.size(), at, size, stride)) return false;
  } else {
    const std::size_t size = row_bytes * static_cast<std::size_t>(frame.height);
    if (scratch.size() < size) scratch.resize(size);
    if (!WebPDecodeRGBAInto(bitstream.data(), bitstream.size(), scratch.data(), size,
                            static_cast<int>(row_bytes))) {
      return false;
    }
    // Each decoded pixel is blended over the canvas under it, except where
    // the frame before was cleared to background: there it stands as decoded,
    // as the animation decoder leaves it.
    const FrameRecord* cleared =
        state.previous->dispose == Dispose::kBackground ? &*state.previous : nullptr;
    for (int y = 0; y < frame.height; ++y) {
      std::uint8_t* decoded = scratch.data() + static_cast<std::size_t>(y) * row_bytes;
      std::uint8_t* under = PixelAt(canvas, frame.left, frame.top + y);
      for (int x = 0; x < frame.width; ++x, decoded += kChannels, under += kChannels) {
        if (decoded[kAlphaAt] != 0xff &&
            !(cleared && Inside(*cleared, frame.left + x, frame.top + y))) {
          BlendOver(decoded, under);
        }
        std::memcpy(under, decoded, kChannels);
      }
    }
  }
  state.previous = frame;
  state.previous_afresh = afresh;
  return true;
}

// Clears the region of a frame whose dispose op is background, once it has
// been shown.
void DisposeWebpFrame(const FrameRecord& frame, FrameCompose::Canvas& canvas) {
  if (frame.dispose != Dispose::kBackground) return;
  for (int y = frame.top; y < frame.top + frame.height; ++y) {
    std::memset(PixelAt(canvas, frame.left, y), 0,
                static_cast<std::size_t>(frame.width) * kChannels);
  }
}

}  // namespace

void ComposeWebp(std::span<const std::uint8_t> source, const std::string& source_name,
                 const FormatFrameSink& sink, AnimationRecord& animation,
                 const FormatComposeOptions& options) {
  WebpPlan plan;
  RequireComposable(ReadWebp(source, options.budgets, plan), source_name);
  animation = {plan.width, plan.height, static_cast<int>(plan.frames.size()), plan.loop_count, 0};
  for (const FrameRecord& record : plan.frames) animation.total_delay_ms += record.delay_ms;
  ComposeWebpPlan(source, plan, source_name, sink, options);
}

void ComposeWebpPlan(std::span<const std::uint8_t> source, const WebpPlan& plan,
                     const std::string& source_name, const FormatFrameSink& sink,
                     const FormatComposeOptions& options) {
  FrameCompose::Canvas canvas;
  canvas.width = plan.width;
  canvas.height = plan.height;
  canvas.pixels.assign(static_cast<std::size_t>(plan.width) * static_cast<std::size_t>(plan.height),
                       0);
  WebpCanvasState state;
  std::vector<std::uint8_t> frame_pixels;  // grows to the largest frame that blends
  for (std::size_t i = 0; i < plan.frames.size(); ++i) {
    if (options.pump) options.pump();
    const FrameRecord& record = plan.frames[i];
    const WebpImage& image = plan.images[i];
    const std::span<const std::uint8_t> bitstream =
        source.subspan(image.decoded.offset, image.decoded.length);
    if (!DrawWebpFrame(bitstream, record, image.has_alpha, state, canvas, frame_pixels)) {
      throw FrameCompose::ComposeError(source_name, record.number, image.chunks.offset,
                                       FaultText(Fault::kBadImageData));
    }
    if (!sink(record, canvas)) return;
    DisposeWebpFrame(record, canvas);
  }
}

std::vector<std::uint8_t> EncodeLosslessWebp(const FrameCompose::Canvas& canvas) {
  WebPConfig config;
  if (!WebPConfigInit(&config)) throw std::runtime_error("the WebP encoder could not start");
  config.lossless = 1;
  config.exact = 1;  // keep the colours under transparent pixels too: the frame as it is
  Encoding encoding;
  WebPPicture& picture = encoding.picture;
  picture.use_argb = 1;
  picture.width = canvas.width;
  picture.height = canvas.height;
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &encoding.writer;
  if (canvas.width <= 0 || canvas.height <= 0 || canvas.width > kLargestWebpSide ||
      canvas.height > kLargestWebpSide) {
    throw std::runtime_error(EncoderReason(VP8_ENC_ERROR_BAD_DIMENSION));
  }
  // The canvas's pixels are R, G, B, A bytes in memory order.
  if (!WebPPictureImportRGBA(&picture, reinterpret_cast<const std::uint8_t*>(canvas.pixels.data()),
                             canvas.width * 4)) {
    throw std::runtime_error(EncoderReason(VP8_ENC_ERROR_OUT_OF_MEMORY));  // its one failure here
  }
  if (!WebPEncode(&config, &picture)) throw std::runtime_error(EncoderReason(picture.error_code));
  return {encoding.writer.mem, encoding.writer.mem + encoding.writer.size};
}

}  // namespace FrameFormats
