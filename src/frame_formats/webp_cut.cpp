// SPDX-License-Identifier: MIT
#include "frame_formats/webp_cut.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "frame_formats/format_sniff.h"
#include "frame_formats/webp_chunks.h"

namespace FrameFormats {
namespace {

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

struct MuxDeleter {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

void Put(std::vector<std::uint8_t>& out, Webp::FourCc fourcc) {
  for (const char letter : fourcc.letters) out.push_back(static_cast<std::uint8_t>(letter));
}
void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The size of the chunk at `at`, when its header and data lie before `end`.
std::optional<std::size_t> ChunkSize(std::span<const std::uint8_t> source, std::size_t at,
                                     std::size_t end) {
  if (at > end || end - at < Webp::kChunkHeaderSize) return std::nullopt;
  const std::size_t size = ReadLittle32(source.data() + at + 4);
  if (size > end - at - Webp::kChunkHeaderSize) return std::nullopt;
  return size;
}

std::string FrameText(int number) { return "frame " + std::to_string(number) + ": "; }
std::string SizeText(long long width, long long height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// Notes where each frame's image lies in its ANMF chunk's data (`frame_data`,
// each past the frame header): an ALPH chunk or none, then VP8 or VP8L, as
// the demux library takes them; the image's own size and alpha hint from
// its bitstream, as the demux library reads them. Walked here, since the
// demux library's iterator looks each frame up from the first, so that
// going through 65,536 frames with it took seconds. Refuses, naming the
// frame, a frame laid out otherwise or whose image is not the size its
// frame header gives: every caller (the listing, the cut, the composer)
// then sees one size.
Status FindImages(std::span<const std::uint8_t> source, std::size_t riff_end,
                  const std::vector<ByteRange>& frame_data, WebpPlan& plan) {
  plan.images.reserve(frame_data.size());
  for (std::size_t i = 0; i < frame_data.size(); ++i) {
    const ByteRange& data = frame_data[i];
    const FrameRecord& record = plan.frames[i];
    const std::size_t frame_at = data.offset - kFrameHeaderSize - Webp::kChunkHeaderSize;
    const std::size_t end = data.offset + data.length;
    std::size_t at = data.offset;
    WebpImage image;
    image.alpha_chunk = ChunkSize(source, at, end) && Webp::Is(source.data() + at, Webp::kAlpha);
    if (image.alpha_chunk) {
      const std::size_t size = *ChunkSize(source, at, end);
      at += Webp::kChunkHeaderSize + size + (size & 1);
    }
    const std::optional<std::size_t> size = ChunkSize(source, at, end);
    const bool lossless = size && Webp::Is(source.data() + at, Webp::kLossless);
    if (!size || !(lossless || Webp::Is(source.data() + at, Webp::kLossy))) {
      return {Fault::kBadChunk, frame_at,
              FrameText(record.number) + "its ANMF chunk holds no whole VP8 or VP8L image"};
    }
    if (lossless && image.alpha_chunk) {
      return {Fault::kBadChunk, frame_at,
              FrameText(record.number) + "an ALPH chunk before VP8L, which carries its own alpha"};
    }
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(source.data() + at, Webp::kChunkHeaderSize + *size, &features) !=
        VP8_STATUS_OK) {
      return {Fault::kBadImageData, at,
              FrameText(record.number) + "the header of its image cannot be read"};
    }
    if (features.width != record.width || features.height != record.height) {
      return {Fault::kBadChunk, frame_at,
              FrameText(record.number) + "its image is " +
                  SizeText(features.width, features.height) + ", its frame header says " +
                  SizeText(record.width, record.height)};
    }
    image.width = features.width;
    image.height = features.height;
    image.has_alpha = image.alpha_chunk || features.has_alpha;
    image.chunks = {data.offset, at + Webp::kChunkHeaderSize + *size - data.offset};
    const std::size_t padded_end = image.chunks.offset + image.chunks.length + (*size & 1);
    image.decoded = {data.offset, std::min(padded_end, riff_end) - data.offset};
    plan.images.push_back(image);
  }
  return {};
}

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

// True when the demux library takes the first `size` bytes of `source`,
// as much of a file as has come.
bool DemuxTakes(std::span<const std::uint8_t> source, std::size_t size) {
  const WebPData data{source.data(), size};
  return std::unique_ptr<WebPDemuxer, DemuxDeleter>(WebPDemuxPartial(&data, nullptr)) != nullptr;
}

// Where the demux library refuses a file it does not take whole: the first
// frame that, read with all before it, it refuses (found by halving, as
// reading up to frame k costs k frames), else the chunks before the first
// frame or after the last.
Status LocateRefusal(std::span<const std::uint8_t> source, const std::vector<ByteRange>& frame_data,
                     const WebpPlan& plan) {
  const auto frame_at = [&](std::size_t i) {
    return frame_data[i].offset - kFrameHeaderSize - Webp::kChunkHeaderSize;
  };
  const auto frame_end = [&](std::size_t i) {
    return frame_data[i].offset + frame_data[i].length + (frame_data[i].length & 1);
  };
  if (!DemuxTakes(source, frame_at(0))) {
    return {Fault::kLibraryRefused, 0, "before the first frame"};
  }
  std::size_t low = 0, high = frame_data.size();  // the first refused frame is in [low, high]
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (DemuxTakes(source, std::min(frame_end(middle), source.size()))) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == frame_data.size()) {
    return {Fault::kLibraryRefused, frame_end(low - 1), "after the last frame"};
  }
  // From the end of the last frame it takes: a chunk between two frames may be what it refuses.
  const std::string frame = "frame " + std::to_string(plan.frames[low].number);
  if (low == 0) return {Fault::kLibraryRefused, frame_at(0), frame};
  return {Fault::kLibraryRefused, frame_end(low - 1), frame + " or a chunk just before it"};
}

// The frame's image as the smallest still WebP file that holds it, for the
// mux library to read: the RIFF header, a VP8X with the alpha flag when an
// ALPH chunk comes first (the container allows ALPH only after one), then
// the image's chunks as they lie in the source, padded to an even size.
// The library reads the chunks from it and writes the frame's file itself.
std::vector<std::uint8_t> StillOf(std::span<const std::uint8_t> source, const WebpImage& image) {
  const std::span<const std::uint8_t> chunks =
      source.subspan(image.chunks.offset, image.chunks.length);
  const std::size_t extended = image.alpha_chunk ? Webp::kChunkHeaderSize + Webp::kExtendedSize : 0;
  const std::size_t padded = chunks.size() + (chunks.size() & 1);
  std::vector<std::uint8_t> still;
  still.reserve(Webp::kFileHeaderSize + extended + padded);
  Put(still, Webp::kRiff);
  PutLittle(still, static_cast<std::uint32_t>(Webp::kFileHeaderSize - 8 + extended + padded), 4);
  Put(still, Webp::kWebp);
  if (image.alpha_chunk) {
    Put(still, Webp::kExtended);
    PutLittle(still, Webp::kExtendedSize, 4);
    PutLittle(still, Webp::kAlphaFlag, 4);  // the flags, then three reserved bytes
    PutLittle(still, static_cast<std::uint32_t>(image.width - 1), 3);
    PutLittle(still, static_cast<std::uint32_t>(image.height - 1), 3);
  }
  for (const std::uint8_t byte : chunks) still.push_back(byte);
  if (padded != chunks.size()) still.push_back(0);
  return still;
}

// Walks the chunks after VP8X, checking each ANMF's region, and fills the
// frames of `plan` from the ANMF headers.
Status WalkChunks(std::span<const std::uint8_t> source, std::size_t end, const Budgets& budgets,
                  WebpPlan& plan, std::vector<ByteRange>& frame_data) {
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
      frame_data.push_back({offset + Webp::kChunkHeaderSize + kFrameHeaderSize,
                            static_cast<std::size_t>(size) - kFrameHeaderSize});
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
  if (riff_end < extended_at + Webp::kChunkHeaderSize + Webp::kExtendedSize) {
    return {Fault::kBadHeader, 4,
            "the RIFF size ends the file at byte " + std::to_string(riff_end) + ", inside VP8X"};
  }
  // libwebp's decoders take a VP8X of exactly its size and no other.
  if (const std::uint32_t size = ReadLittle32(source.data() + extended_at + 4);
      size != Webp::kExtendedSize) {
    return {
        Fault::kBadHeader, extended_at,
        "VP8X of " + std::to_string(size) + " bytes, not " + std::to_string(Webp::kExtendedSize)};
  }
  const std::uint8_t* extended = source.data() + extended_at + Webp::kChunkHeaderSize;
  plan.width = static_cast<int>(ReadLittle24(extended + 4) + 1);
  plan.height = static_cast<int>(ReadLittle24(extended + 7) + 1);
  if (!CanvasFits(static_cast<std::uint64_t>(plan.width), static_cast<std::uint64_t>(plan.height),
                  budgets)) {
    return {Fault::kCanvasTooLarge, extended_at,
            std::to_string(plan.width) + "x" + std::to_string(plan.height)};
  }
  std::vector<ByteRange> frame_data;  // each ANMF's data past its frame header
  if (Status status =
          WalkChunks(source, static_cast<std::size_t>(riff_end), budgets, plan, frame_data);
      !status.ok()) {
    return status;
  }
  if (Status status = FindImages(source, static_cast<std::size_t>(riff_end), frame_data, plan);
      !status.ok()) {
    return status;
  }
  const WebPData data{source.data(), source.size()};
  const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
  // Only the demux library reads the whole file: the mux library keeps its
  // frames in a list it walks to the end for each frame it adds, so reading
  // 65,536 frames with it took seconds; the cut hands it one frame at a time.
  if (!demux) return LocateRefusal(source, frame_data, plan);
  if (WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT) != plan.frames.size()) {
    return {Fault::kLibraryRefused, 0,
            "it finds " + std::to_string(WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT)) +
                " frames, not " + std::to_string(plan.frames.size())};
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

std::vector<std::uint8_t> WebpFrameFileBytes(std::span<const std::uint8_t> source,
                                             const WebpPlan& plan, int number) {
  // As libwebp's own tools extract a frame, but from the frame's chunks
  // alone: reading the whole container for each frame made cutting them
  // all cost the square of the frame count.
  const std::vector<std::uint8_t> still =
      StillOf(source, plan.images.at(static_cast<std::size_t>(number - 1)));
  const WebPData data{still.data(), still.size()};
  const std::unique_ptr<WebPMux, MuxDeleter> single(WebPMuxNew());
  if (!single) throw std::runtime_error("the WebP library could not start: out of memory");
  WebPData assembled;
  WebPDataInit(&assembled);
  if (WebPMuxSetImage(single.get(), &data, 0) != WEBP_MUX_OK ||
      WebPMuxAssemble(single.get(), &assembled) != WEBP_MUX_OK) {
    throw std::runtime_error("the WebP library could not write frame " + std::to_string(number));
  }
  std::vector<std::uint8_t> out(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  return out;
}

}  // namespace FrameFormats
