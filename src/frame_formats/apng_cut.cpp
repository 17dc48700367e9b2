// SPDX-License-Identifier: MIT
#include "frame_formats/apng_cut.h"

#include <algorithm>
#include <optional>
#include <string>

#include "frame_compose/png_writer.h"
#include "frame_formats/png_chunks.h"

namespace FrameFormats {
namespace {

constexpr std::size_t kAnimationControlSize = 8;
constexpr std::size_t kFrameControlSize = 26;
constexpr std::size_t kSequenceSize = 4;
// A delay's denominator of 0 stands for hundredths of a second.
constexpr int kDefaultDelayDenominator = 100;
constexpr int kPaletteColourType = 3;

// True for the bit depths PNG allows with `colour_type`.
bool ValidDepth(int colour_type, int depth) {
  switch (colour_type) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kPaletteColourType:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

Status ReadImageHeader(const Png::Chunk& chunk, ApngPlan& plan) {
  if (!(chunk.type == Png::kImageHeader) || chunk.data.size() != Png::kImageHeaderSize) {
    return {Fault::kBadHeader, chunk.offset, "IHDR must come first and hold 13 bytes"};
  }
  const std::uint8_t* data = chunk.data.data();
  const std::uint32_t width = Png::ReadBig32(data), height = Png::ReadBig32(data + 4);
  if (width == 0 || height == 0 || width > Png::kLargestValue || height > Png::kLargestValue ||
      !ValidDepth(data[9], data[8]) || data[10] != 0 || data[11] != 0 || data[12] > 1) {
    return {Fault::kBadHeader, chunk.offset, {}};
  }
  plan.width = static_cast<int>(width);
  plan.height = static_cast<int>(height);
  plan.header = {chunk.offset + 8, chunk.data.size()};
  return {};
}

long long DelayMs(int num, int den) {
  const long long denominator = den == 0 ? kDefaultDelayDenominator : den;
  return (num * 1000LL + denominator / 2) / denominator;
}

// Reads an fcTL's fields into `frame`, checking them against the canvas.
Status ReadFrameControl(const Png::Chunk& chunk, const ApngPlan& plan, ApngFrame& frame) {
  if (chunk.data.size() != kFrameControlSize) {
    return {Fault::kBadChunk, chunk.offset, "fcTL must hold 26 bytes"};
  }
  const std::uint8_t* data = chunk.data.data();
  const std::uint64_t width = Png::ReadBig32(data + 4), height = Png::ReadBig32(data + 8);
  const std::uint64_t left = Png::ReadBig32(data + 12), top = Png::ReadBig32(data + 16);
  if (width == 0 || height == 0) return {Fault::kZeroSizeFrame, chunk.offset, {}};
  if (left + width > static_cast<std::uint64_t>(plan.width) ||
      top + height > static_cast<std::uint64_t>(plan.height)) {
    return {Fault::kFrameOutsideCanvas, chunk.offset,
            std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(left) +
                "," + std::to_string(top) + " on " + std::to_string(plan.width) + "x" +
                std::to_string(plan.height)};
  }
  const int dispose = data[24], blend = data[25];
  if (dispose > 2 || blend > 1) {
    return {Fault::kBadChunk, chunk.offset, "unknown dispose or blend op"};
  }
  FrameRecord& record = frame.record;
  record.left = static_cast<int>(left);
  record.top = static_cast<int>(top);
  record.width = static_cast<int>(width);
  record.height = static_cast<int>(height);
  record.delay_num = Png::ReadBig16(data + 20);
  record.delay_den = Png::ReadBig16(data + 22);
  record.delay_ms = DelayMs(record.delay_num, record.delay_den);
  record.dispose = static_cast<Dispose>(dispose);
  record.blend = static_cast<Blend>(blend);
  frame.control_offset = chunk.offset;
  return {};
}

// The walk over the chunks after IHDR, one chunk at a time.
class ChunkReader {
 public:
  ChunkReader(const Budgets& budgets, int colour_type, ApngPlan& plan)
      : budgets_(budgets), colour_type_(colour_type), plan_(plan) {}

  // Takes in `chunk`. Sets `ended` at IEND.
  Status Take(const Png::Chunk& chunk, bool& ended) {
    const Png::ChunkType type = chunk.type;
    if (type == Png::kImageEnd) {
      ended = true;
      return Finish(chunk.offset);
    }
    if (idat_state_ == IdatState::kIn && !(type == Png::kImageData))
      idat_state_ = IdatState::kAfter;
    if (type == Png::kAnimationControl) return AnimationControl(chunk);
    if (type == Png::kPalette || type == Png::kTransparency) {
      if (idat_state_ != IdatState::kBefore)
        return {Fault::kChunkOrder, chunk.offset, "PLTE or tRNS after IDAT"};
      (type == Png::kPalette ? plan_.palette : plan_.transparency) =
          ByteRange{chunk.offset + 8, chunk.data.size()};
      return {};
    }
    if (type == Png::kFrameControl) return FrameControl(chunk);
    if (type == Png::kImageData) return ImageData(chunk);
    if (type == Png::kFrameData) return FrameData(chunk);
    return {};  // chunks the cut and the composer do without
  }

  // After a cut-short file: drops the frame whose data may go on.
  void Truncate() {
    if (open_ && !plan_.frames.empty()) plan_.frames.pop_back();
  }

 private:
  enum class IdatState { kBefore, kIn, kAfter };

  Status AnimationControl(const Png::Chunk& chunk) {
    if (idat_state_ != IdatState::kBefore || announced_ > 0) {
      return {Fault::kChunkOrder, chunk.offset, "acTL after IDAT or twice"};
    }
    if (chunk.data.size() != kAnimationControlSize) {
      return {Fault::kBadChunk, chunk.offset, "acTL must hold 8 bytes"};
    }
    const std::uint32_t count = Png::ReadBig32(chunk.data.data());
    if (count == 0 || count > Png::kLargestValue) {
      return {Fault::kBadChunk, chunk.offset, "acTL frame count " + std::to_string(count)};
    }
    if (count > static_cast<std::uint32_t>(budgets_.most_frames)) {
      return {Fault::kTooManyFrames, chunk.offset,
              std::to_string(count) + " frames, at most " + std::to_string(budgets_.most_frames)};
    }
    announced_ = count;
    plan_.plays = Png::ReadBig32(chunk.data.data() + 4);
    return {};
  }

  Status Sequence(const Png::Chunk& chunk) {
    if (chunk.data.size() < kSequenceSize)
      return {Fault::kBadChunk, chunk.offset, "no sequence number"};
    const std::uint32_t number = Png::ReadBig32(chunk.data.data());
    if (number != next_sequence_) {
      return {Fault::kSequence, chunk.offset,
              std::to_string(number) + " where " + std::to_string(next_sequence_) + " belongs"};
    }
    ++next_sequence_;
    return {};
  }

  Status CloseFrame(std::size_t offset) {
    if (open_ && plan_.frames.back().data.empty()) {
      return {Fault::kBadChunk, offset,
              "frame " + std::to_string(plan_.frames.size()) + " has no image data"};
    }
    open_ = false;
    return {};
  }

  Status FrameControl(const Png::Chunk& chunk) {
    if (announced_ == 0) return {Fault::kChunkOrder, chunk.offset, "fcTL before acTL"};
    if (idat_state_ == IdatState::kIn)
      return {Fault::kChunkOrder, chunk.offset, "fcTL among IDATs"};
    if (Status status = Sequence(chunk); !status.ok()) return status;
    if (Status status = CloseFrame(chunk.offset); !status.ok()) return status;
    if (plan_.frames.size() == announced_) {
      return {Fault::kFrameCountMismatch, chunk.offset,
              "acTL says " + std::to_string(announced_) + " frames, the file holds more"};
    }
    ApngFrame frame;
    if (Status status = ReadFrameControl(chunk, plan_, frame); !status.ok()) return status;
    if (idat_state_ == IdatState::kBefore) {
      if (!plan_.frames.empty()) return {Fault::kChunkOrder, chunk.offset, "two fcTLs before IDAT"};
      plan_.default_image_is_frame = true;
      const FrameRecord& record = frame.record;
      if (record.left != 0 || record.top != 0 || record.width != plan_.width ||
          record.height != plan_.height) {
        return {Fault::kFirstFrameNotCanvas, chunk.offset, {}};
      }
    }
    frame.record.number = static_cast<int>(plan_.frames.size()) + 1;
    plan_.frames.push_back(std::move(frame));
    open_ = true;
    return {};
  }

  Status ImageData(const Png::Chunk& chunk) {
    if (announced_ == 0) return {Fault::kNotThisFormat, chunk.offset, "a PNG without acTL"};
    if (idat_state_ == IdatState::kAfter) return {Fault::kChunkOrder, chunk.offset, "IDATs apart"};
    if (colour_type_ == kPaletteColourType && !plan_.palette) {
      return {Fault::kChunkOrder, chunk.offset, "a palette image without PLTE"};
    }
    idat_state_ = IdatState::kIn;
    if (plan_.default_image_is_frame && plan_.frames.size() == 1) {
      plan_.frames.back().data.push_back({chunk.offset + 8, chunk.data.size()});
    }
    return {};
  }

  Status FrameData(const Png::Chunk& chunk) {
    if (idat_state_ == IdatState::kBefore)
      return {Fault::kChunkOrder, chunk.offset, "fdAT before IDAT"};
    if (Status status = Sequence(chunk); !status.ok()) return status;
    if (!open_ || (plan_.default_image_is_frame && plan_.frames.size() == 1)) {
      return {Fault::kChunkOrder, chunk.offset, "fdAT without its fcTL"};
    }
    if (chunk.data.size() > kSequenceSize) {
      plan_.frames.back().data.push_back(
          {chunk.offset + 8 + kSequenceSize, chunk.data.size() - kSequenceSize});
    }
    return {};
  }

  Status Finish(std::size_t offset) {
    if (announced_ == 0 || idat_state_ == IdatState::kBefore) {
      return {announced_ == 0 ? Fault::kNotThisFormat : Fault::kChunkOrder, offset, "no IDAT"};
    }
    if (Status status = CloseFrame(offset); !status.ok()) return status;
    if (plan_.frames.size() != announced_) {
      return {Fault::kFrameCountMismatch, offset,
              "acTL says " + std::to_string(announced_) + " frames, the file holds " +
                  std::to_string(plan_.frames.size())};
    }
    return {};
  }

  const Budgets& budgets_;
  const int colour_type_;
  ApngPlan& plan_;
  std::uint32_t announced_ = 0;  // acTL's frame count; 0 before acTL
  std::uint64_t next_sequence_ = 0;
  IdatState idat_state_ = IdatState::kBefore;
  bool open_ = false;  // the last frame may still get data
};

}  // namespace

Status ReadApng(std::span<const std::uint8_t> source, const Budgets& budgets, ApngPlan& plan) {
  plan = {};
  if (!Png::HasSignature(source)) return {Fault::kNotThisFormat, 0, "no PNG signature"};
  Png::Chunk chunk;
  std::size_t offset = Png::kSignatureSize;
  if (Status status = Png::ReadChunk(source, offset, true, chunk); !status.ok()) {
    return {Fault::kBadHeader, offset,
            FaultText(status.fault) + (status.detail.empty() ? "" : ": " + status.detail)};
  }
  if (Status status = ReadImageHeader(chunk, plan); !status.ok()) return status;
  if (!CanvasFits(static_cast<std::uint32_t>(plan.width), static_cast<std::uint32_t>(plan.height),
                  budgets)) {
    return {Fault::kCanvasTooLarge, chunk.offset,
            std::to_string(plan.width) + "x" + std::to_string(plan.height)};
  }
  ChunkReader reader(budgets, chunk.data[9], plan);
  offset = chunk.end();
  std::optional<Status> lying;  // a chunk whose length alone was damaged
  for (bool ended = false; !ended; offset = chunk.end()) {
    Status status = Png::ReadChunk(source, offset, true, chunk);
    if ((status.fault == Fault::kPastEnd || status.fault == Fault::kChunkLength) && !lying) {
      // A length past the end (or past any chunk's), where a CRC that
      // checks out closes the chunk sooner, is damage in a file that goes
      // on, not a file cut short: the chunk is taken at that length. Once only, so that a
      // file of such chunks costs one pass over its bytes, not one each.
      if (const std::optional<std::size_t> length = Png::ClosingLength(source, offset)) {
        lying = Status{Fault::kChunkLength, offset,
                       std::to_string(Png::ReadBig32(source.data() + offset)) +
                           " bytes claimed; its CRC closes it after " + std::to_string(*length)};
        chunk.offset = offset;
        std::copy_n(source.data() + offset + 4, 4, chunk.type.letters);
        chunk.data = source.subspan(offset + 8, *length);
        status = {};
      }
    }
    // Damage within a chunk, as a file cut short, ends the frames that are
    // surely whole: as a damaged GIF, divided as far as it goes.
    if (status.fault == Fault::kPastEnd || status.fault == Fault::kChunkCrc ||
        status.fault == Fault::kChunkLength) {
      reader.Truncate();
      if (plan.frames.empty()) return status;
      plan.damage = std::move(status);
      plan.frames_lost = true;
      return {};
    }
    if (!status.ok()) return status;
    if (status = reader.Take(chunk, ended); !status.ok()) return status;
  }
  plan.damage = std::move(lying);
  return {};
}

ApngPlan PlanApngCuts(std::span<const std::uint8_t> source, const std::string& source_name,
                      const Budgets& budgets) {
  ApngPlan plan;
  RequireCuttable(ReadApng(source, budgets, plan), source_name);
  return plan;
}

namespace {

// The frame file of `frame`: its header, the source's tables, one IDAT for
// each of `image_data`, IEND.
std::vector<std::uint8_t> FrameFile(std::span<const std::uint8_t> source, const ApngPlan& plan,
                                    const ApngFrame& frame,
                                    std::span<const std::span<const std::uint8_t>> image_data) {
  std::size_t size = Png::kSignatureSize + 3 * Png::kChunkFraming + Png::kImageHeaderSize;
  for (const auto& data : image_data) size += Png::kChunkFraming + data.size();
  for (const auto& table : {plan.palette, plan.transparency}) {
    if (table) size += Png::kChunkFraming + table->length;
  }
  std::vector<std::uint8_t> out(source.begin(), source.begin() + Png::kSignatureSize);
  out.reserve(size);
  std::uint8_t header[Png::kImageHeaderSize];
  const auto put32 = [](std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  };
  put32(header, static_cast<std::uint32_t>(frame.record.width));
  put32(header + 4, static_cast<std::uint32_t>(frame.record.height));
  std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(plan.header.offset) + 8, 5, header + 8);
  FrameCompose::PutPngChunk(out, Png::kImageHeader, header);
  if (plan.palette)
    FrameCompose::PutPngChunk(out, Png::kPalette,
                              source.subspan(plan.palette->offset, plan.palette->length));
  if (plan.transparency) {
    FrameCompose::PutPngChunk(out, Png::kTransparency,
                              source.subspan(plan.transparency->offset, plan.transparency->length));
  }
  for (const auto& data : image_data) FrameCompose::PutPngChunk(out, Png::kImageData, data);
  FrameCompose::PutPngChunk(out, Png::kImageEnd, {});
  return out;
}

}  // namespace

std::vector<std::uint8_t> ApngFrameFileBytes(std::span<const std::uint8_t> source,
                                             const ApngPlan& plan, int number) {
  const ApngFrame& frame = plan.frames.at(static_cast<std::size_t>(number) - 1);
  std::vector<std::span<const std::uint8_t>> data;
  for (const ByteRange& range : frame.data)
    data.push_back(source.subspan(range.offset, range.length));
  return FrameFile(source, plan, frame, data);
}

std::vector<std::uint8_t> ApngFrameFileWithData(std::span<const std::uint8_t> source,
                                                const ApngPlan& plan, int number,
                                                std::span<const std::uint8_t> image_data) {
  const std::span<const std::uint8_t> data[] = {image_data};
  return FrameFile(source, plan, plan.frames.at(static_cast<std::size_t>(number) - 1), data);
}

}  // namespace FrameFormats
