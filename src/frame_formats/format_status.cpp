// SPDX-License-Identifier: MIT
#include "frame_formats/format_status.h"

#include "frame_compose/frame_compose.h"
#include "frame_split/frame_split.h"

namespace FrameFormats {

const char* FaultText(Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return "no fault";
    case Fault::kNotThisFormat:
      return "the file is not in the format read";
    case Fault::kPastEnd:
      return "a chunk runs past the end of the file";
    case Fault::kChunkLength:
      return "a chunk's length is too large";
    case Fault::kChunkCrc:
      return "a chunk's CRC does not match its bytes";
    case Fault::kBadHeader:
      return "the image header is damaged";
    case Fault::kBadChunk:
      return "a chunk is damaged";
    case Fault::kChunkOrder:
      return "a chunk is out of place";
    case Fault::kSequence:
      return "an animation chunk's sequence number is out of order";
    case Fault::kZeroSizeFrame:
      return "a frame has no pixels";
    case Fault::kFrameOutsideCanvas:
      return "a frame reaches outside the picture";
    case Fault::kFirstFrameNotCanvas:
      return "the first frame is the default image but does not cover the picture";
    case Fault::kFrameCountMismatch:
      return "the frame count disagrees with the frames";
    case Fault::kNoFrames:
      return "no frame is whole";
    case Fault::kCanvasTooLarge:
      return "the picture is too large";
    case Fault::kTooManyFrames:
      return "the animation has too many frames";
    case Fault::kBadImageData:
      return "a frame's image data are damaged";
    case Fault::kLibraryRefused:
      return "the WebP container is damaged";
    case Fault::kOutOfMemory:
      return "there is not enough memory";
  }
  return "unknown fault";
}

std::string Status::Reason() const {
  std::string reason = FaultText(fault);
  if (!detail.empty()) reason += " (" + detail + ")";
  return reason;
}

void RequireCuttable(const Status& status, const std::string& source_name) {
  if (status.ok()) return;
  // The number only sorts the failure for the window's boundary, which
  // shows the message alone for a source that cannot be cut.
  throw FrameSplit::DivideError(source_name, static_cast<std::int64_t>(status.offset),
                                status.Reason(), FrameSplit::DivideError::Kind::kDamaged);
}

void RequireComposable(const Status& status, const std::string& source_name) {
  if (!status.ok())
    throw FrameCompose::ComposeError(source_name, 0, status.offset, status.Reason());
}

bool CanvasFits(std::uint64_t width, std::uint64_t height, const Budgets& budgets) {
  // Sides are at most 32 bits, so the product of sides and 4 fits 66 bits
  // only when a side is 0; divide instead of multiplying.
  if (width == 0 || height == 0) return true;
  const std::uint64_t most_pixels = budgets.largest_canvas_bytes / 4;
  return width <= most_pixels / height;
}

const char* DisposeName(Dispose dispose) {
  switch (dispose) {
    case Dispose::kNone:
      return "none";
    case Dispose::kBackground:
      return "background";
    case Dispose::kPrevious:
      return "previous";
  }
  return "none";
}

const char* BlendName(Blend blend) { return blend == Blend::kSource ? "source" : "over"; }

}  // namespace FrameFormats
