// SPDX-License-Identifier: MIT
#include "frame_formats/webp_cut.h"

#include <webp/demux.h>
#include <webp/mux.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "frame_formats/format_sniff.h"
#include "frame_formats/webp_chunks.h"

namespace FrameFormats {
namespace {

// VP8X's data: flags, three reserved bytes, canvas width - 1 and height - 1
// in 24 bits each.
constexpr std::size_t kExtendedSize = 10;
// ANMF's data starts with X / 2, Y / 2, width - 1, height - 1 and the
// duration in 24 bits each, then the dispose and blend bits.
constexpr std::size_t kFrameHeaderSize = 16;
constexpr std::uint8_t kDisposeBit = 0x01;  // set: dispose to background
constexpr std::uint8_t kNoBlendBit = 0x02;  // set: the frame replaces what is under it

std::uint32_t ReadLittle24(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16;
}
std::uint32_t ReadLittle32(const std::uint8_t* at) {
  return ReadLittle24(at) | std::uint32_t{at[3]} << 24;
}

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct MuxDeleter {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

// Walks the chunks after VP8X, checking each ANMF's region, and fills the
// frames of `plan` from the ANMF headers.
Status WalkChunks(std::span<const std::uint8_t> source, std::size_t end, const Budgets& budgets,
                  WebpPlan& plan) {
  bool animation_seen = false;
  for (std::size_t offset = Webp::kFileHeaderSize; offset < end;) {
    if (end - offset < Webp::kChunkHeaderSize) return {Fault::kPastEnd, offset, {}};
    const std::uint8_t* at = source.data() + offset;
    const std::uint64_t size = ReadLittle32(at + 4);
    if (size > end - offset - Webp::kChunkHeaderSize) {
      return {Fault::kPastEnd, offset, std::to_string(size) + " bytes claimed"};
    }
    const std::uint8_t* data = at + Webp::kChunkHeaderSize;
    if (Webp::Is(at, Webp::kAnimation)) animation_seen = true;
    if (Webp::Is(at, Webp::kAnimationFrame)) {
      if (!animation_seen) return {Fault::kChunkOrder, offset, "ANMF before ANIM"};
      if (size < kFrameHeaderSize) return {Fault::kBadChunk, offset, "ANMF too short"};
      if (plan.frames.size() == static_cast<std::size_t>(budgets.most_frames)) {
        return {Fault::kTooManyFrames, offset,
                "more than " + std::to_string(budgets.most_frames) + " frames"};
      }
      FrameRecord record;
      const std::uint64_t left = 2ull * ReadLittle24(data), top = 2ull * ReadLittle24(data + 3);
      const std::uint64_t width = ReadLittle24(data + 6) + 1ull;
      const std::uint64_t height = ReadLittle24(data + 9) + 1ull;
      if (left + width > static_cast<std::uint64_t>(plan.width) ||
          top + height > static_cast<std::uint64_t>(plan.height)) {
        return {Fault::kFrameOutsideCanvas, offset,
                std::to_string(width) + "x" + std::to_string(height) + " at " +
                    std::to_string(left) + "," + std::to_string(top)};
      }
      record.number = static_cast<int>(plan.frames.size()) + 1;
      record.left = static_cast<int>(left);
      record.top = static_cast<int>(top);
      record.width = static_cast<int>(width);
      record.height = static_cast<int>(height);
      record.delay_ms = ReadLittle24(data + 12);
      record.dispose = (data[15] & kDisposeBit) ? Dispose::kBackground : Dispose::kNone;
      record.blend = (data[15] & kNoBlendBit) ? Blend::kSource : Blend::kOver;
      plan.frames.push_back(record);
    }
    offset += Webp::kChunkHeaderSize + size + (size & 1);  // chunks are padded to even sizes
  }
  if (!animation_seen) return {Fault::kChunkOrder, end, "no ANIM"};
  if (plan.frames.empty()) return {Fault::kNoFrames, end, {}};
  return {};
}

}  // namespace

Status ReadWebp(std::span<const std::uint8_t> source, const Budgets& budgets, WebpPlan& plan) {
  plan = {};
  if (SniffFormat(source) != SourceFormat::kAnimatedWebp) {
    return {Fault::kNotThisFormat, 0, "no animated WebP header"};
  }
  // The RIFF size counts from the form type on; bytes after it are not
  // the file's.
  const std::uint64_t riff_end = std::uint64_t{ReadLittle32(source.data() + 4)} + 8;
  if (riff_end > source.size()) {
    return {Fault::kPastEnd, 4, "the RIFF size claims " + std::to_string(riff_end) + " bytes"};
  }
  const std::size_t extended_at = Webp::kFileHeaderSize;
  if (ReadLittle32(source.data() + extended_at + 4) < kExtendedSize ||
      riff_end < extended_at + Webp::kChunkHeaderSize + kExtendedSize) {
    return {Fault::kBadHeader, extended_at, "VP8X too short"};
  }
  const std::uint8_t* extended = source.data() + extended_at + Webp::kChunkHeaderSize;
  plan.width = static_cast<int>(ReadLittle24(extended + 4) + 1);
  plan.height = static_cast<int>(ReadLittle24(extended + 7) + 1);
  if (!CanvasFits(static_cast<std::uint64_t>(plan.width), static_cast<std::uint64_t>(plan.height),
                  budgets)) {
    return {Fault::kCanvasTooLarge, extended_at,
            std::to_string(plan.width) + "x" + std::to_string(plan.height)};
  }
  if (Status status = WalkChunks(source, static_cast<std::size_t>(riff_end), budgets, plan);
      !status.ok()) {
    return status;
  }
  const WebPData data{source.data(), source.size()};
  const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
  const std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&data, 0));
  if (!demux || !mux || WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT) != plan.frames.size()) {
    return {Fault::kLibraryRefused, 0, {}};
  }
  plan.loop_count = WebPDemuxGetI(demux.get(), WEBP_FF_LOOP_COUNT);
  return {};
}

WebpPlan PlanWebpCuts(std::span<const std::uint8_t> source, const std::string& source_name,
                      const Budgets& budgets) {
  WebpPlan plan;
  RequireCuttable(ReadWebp(source, budgets, plan), source_name);
  return plan;
}

std::vector<std::uint8_t> WebpFrameFileBytes(std::span<const std::uint8_t> source, int number) {
  // As libwebp's own tools extract a frame: read the container without
  // copying it, take the frame, and make it the one image of a new file.
  const WebPData data{source.data(), source.size()};
  const std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&data, 0));
  const std::unique_ptr<WebPMux, MuxDeleter> single(WebPMuxNew());
  if (!mux || !single) throw std::runtime_error("the WebP library could not read the file");
  WebPMuxFrameInfo frame;
  if (WebPMuxGetFrame(mux.get(), static_cast<std::uint32_t>(number), &frame) != WEBP_MUX_OK) {
    throw std::runtime_error("the WebP library could not take frame " + std::to_string(number));
  }
  const WebPMuxError set = WebPMuxSetImage(single.get(), &frame.bitstream, 1);
  WebPDataClear(&frame.bitstream);
  WebPData assembled;
  WebPDataInit(&assembled);
  if (set != WEBP_MUX_OK || WebPMuxAssemble(single.get(), &assembled) != WEBP_MUX_OK) {
    throw std::runtime_error("the WebP library could not write frame " + std::to_string(number));
  }
  std::vector<std::uint8_t> out(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  return out;
}

}  // namespace FrameFormats
