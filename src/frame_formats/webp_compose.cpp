// SPDX-License-Identifier: MIT
// Animated WebP frames as they appear, through libwebp's animation decoder.

#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "frame_formats/format_compose.h"
#include "frame_formats/webp_cut.h"

namespace FrameFormats {
namespace {

struct DecoderDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

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

}  // namespace FrameFormats
