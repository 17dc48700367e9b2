// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the animated WebP reader, its exact cut and its
// composer. A refusal is an answer; a crash, a hang, a memory error, a cut
// that is not a still WebP or differs from the mux library's own extraction
// of the frame, a composer that disagrees with the reader on the frame
// count, or a composed frame that differs by one byte from libwebp's own
// animation decoder's is a finding.

#include <webp/demux.h>
#include <webp/mux.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "format_fuzz.h"
#include "frame_compose/frame_compose.h"
#include "frame_formats/format_sniff.h"
#include "frame_formats/webp_cut.h"

namespace {

// Frame `number` as webpmux -get frame extracts it: the whole container
// read, the frame taken and made the one image of a new file. Empty when
// the library refuses.
std::vector<std::uint8_t> MuxExtracted(std::span<const std::uint8_t> source, int number) {
  std::vector<std::uint8_t> out;
  const WebPData data{source.data(), source.size()};
  WebPMux* mux = WebPMuxCreate(&data, 0);
  WebPMux* single = WebPMuxNew();
  WebPMuxFrameInfo frame;
  WebPData assembled;
  WebPDataInit(&assembled);
  if (mux && single &&
      WebPMuxGetFrame(mux, static_cast<std::uint32_t>(number), &frame) == WEBP_MUX_OK) {
    if (WebPMuxSetImage(single, &frame.bitstream, 1) == WEBP_MUX_OK &&
        WebPMuxAssemble(single, &assembled) == WEBP_MUX_OK) {
      out.assign(assembled.bytes, assembled.bytes + assembled.size);
    }
    WebPDataClear(&frame.bitstream);
  }
  WebPDataClear(&assembled);
  WebPMuxDelete(single);
  WebPMuxDelete(mux);
  return out;
}

struct AnimDecoderDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

// libwebp's own animation decoder over `source`, or none when it refuses
// the file (it also asks the first frame's header of it, which the reader
// does not).
std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> AnimDecoder(
    std::span<const std::uint8_t> source) {
  const WebPData data{source.data(), source.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_RGBA;
  return std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter>(WebPAnimDecoderNew(&data, &options));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> source(data, size);
  const FrameFormats::FormatComposeOptions options = FormatFuzz::SmallBudgets();
  FrameFormats::WebpPlan plan;
  const FrameFormats::Status status = FrameFormats::ReadWebp(source, options.budgets, plan);
  if (status.ok()) {
    for (const FrameFormats::FrameRecord& record : plan.frames) {
      const auto cut = FrameFormats::WebpFrameFileBytes(source, plan, record.number);
      // The mux library refuses some files the demux library takes whole
      // (an alpha flag missing, say); where it takes them, it agrees.
      const auto extracted = MuxExtracted(source, record.number);
      if (FrameFormats::SniffFormat(cut) != FrameFormats::SourceFormat::kStillWebp ||
          (!extracted.empty() && cut != extracted)) {
        std::abort();
      }
    }
  }
  FrameFormats::AnimationRecord animation;
  int seen = 0;
  const auto reference = status.ok() ? AnimDecoder(source) : nullptr;
  const FrameFormats::FormatFrameSink checked = FormatFuzz::CheckedSink(animation, seen);
  const FrameFormats::FormatFrameSink sink = [&](const FrameFormats::FrameRecord& record,
                                                 const FrameCompose::Canvas& canvas) {
    checked(record, canvas);
    std::uint8_t* expected = nullptr;
    int timestamp = 0;
    // Where the decoder cannot decode a frame, the composer must not either.
    if (reference && (!WebPAnimDecoderGetNext(reference.get(), &expected, &timestamp) ||
                      std::memcmp(expected, canvas.pixels.data(), canvas.pixels.size() * 4) != 0)) {
      std::abort();
    }
    return true;
  };
  try {
    FrameFormats::ComposeWebp(source, "input", sink, animation, options);
    if (!status.ok() || seen != static_cast<int>(plan.frames.size())) std::abort();
  } catch (const FrameCompose::ComposeError&) {
    if (status.ok() && seen >= static_cast<int>(plan.frames.size())) std::abort();
    // A frame the composer cannot decode, the decoder cannot either.
    std::uint8_t* pixels = nullptr;
    int timestamp = 0;
    if (reference && WebPAnimDecoderGetNext(reference.get(), &pixels, &timestamp)) std::abort();
  }
  return 0;
}
