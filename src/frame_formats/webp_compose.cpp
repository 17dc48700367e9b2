// SPDX-License-Identifier: MIT
// Animated WebP frames as they appear, through libwebp's animation decoder,
// and written back as lossless stills by its encoder.

#include <webp/demux.h>
#include <webp/encode.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "frame_formats/format_compose.h"
#include "frame_formats/webp_cut.h"

namespace FrameFormats {
namespace {

struct DecoderDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

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
  WebPAnimDecoderOptions decoder_options;
  WebPAnimDecoderOptionsInit(&decoder_options);
  decoder_options.color_mode = MODE_RGBA;  // bytes R, G, B, A: the canvas's own order
  decoder_options.use_threads = 0;
  const WebPData data{source.data(), source.size()};
  const std::unique_ptr<WebPAnimDecoder, DecoderDeleter> decoder(
      WebPAnimDecoderNew(&data, &decoder_options));
  if (!decoder) {
    throw FrameCompose::ComposeError(source_name, 0, 0, FaultText(Fault::kOutOfMemory));
  }
  FrameCompose::Canvas canvas;
  canvas.width = plan.width;
  canvas.height = plan.height;
  canvas.pixels.resize(static_cast<std::size_t>(plan.width) *
                       static_cast<std::size_t>(plan.height));
  for (const FrameRecord& record : plan.frames) {
    if (options.pump) options.pump();
    std::uint8_t* pixels = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &pixels, &timestamp)) {
      throw FrameCompose::ComposeError(source_name, record.number, 0,
                                       FaultText(Fault::kBadImageData));
    }
    std::memcpy(canvas.pixels.data(), pixels, canvas.pixels.size() * sizeof(std::uint32_t));
    if (!sink(record, canvas)) return;
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
