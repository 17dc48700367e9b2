// SPDX-License-Identifier: MIT
#pragma once

// What the readers of animated WebP and APNG share: the closed set of
// reasons a source is refused, the budgets checked before anything is
// allocated or decoded, and the facts each frame carries.

#include <cstddef>
#include <cstdint>
#include <string>

namespace FrameFormats {

// Why a source cannot be read. Closed: every refusal is one of these, so a
// caller can tell them apart without reading texts.
enum class Fault {
  kNone,
  kNotThisFormat,        // the bytes are not the format asked for
  kPastEnd,              // a chunk runs past the end of the file: cut short, or a lying length
  kChunkLength,          // a chunk's length is larger than the format allows
  kChunkCrc,             // a chunk's CRC does not match its bytes
  kBadHeader,            // the image header is malformed or holds values the format forbids
  kBadChunk,             // a chunk has the wrong size or a value the format forbids
  kChunkOrder,           // a chunk stands where the format does not allow it
  kSequence,             // an animation chunk's sequence number is out of order
  kZeroSizeFrame,        // a frame of no width or no height
  kFrameOutsideCanvas,   // a frame's region reaches past the canvas
  kFirstFrameNotCanvas,  // the default image is a frame but its region is not the canvas
  kFrameCountMismatch,   // the animation control's frame count and the frames disagree
  kNoFrames,             // no frame whose data are whole
  kCanvasTooLarge,       // the canvas is past the canvas budget
  kTooManyFrames,        // the frame count is past the frame budget
  kBadImageData,         // a frame's compressed image data cannot be decoded
  kLibraryRefused,       // the WebP library refused the container
  kOutOfMemory,          // memory ran out within the budgets
};

// The reason line for `fault`, in words a user can act on. Never null.
const char* FaultText(Fault fault);

// The outcome of reading: kNone, or a fault and the byte it was found at.
struct Status {
  Fault fault = Fault::kNone;
  std::size_t offset = 0;
  std::string detail;  // what was found, for the message; may be empty
  bool ok() const { return fault == Fault::kNone; }
  // FaultText, then the detail in parentheses when there is one.
  std::string Reason() const;
};

// Throws FrameSplit::DivideError naming `source_name`, the byte and the
// reason when `status` holds a fault; does nothing otherwise. For the cut.
void RequireCuttable(const Status& status, const std::string& source_name);
// The same with FrameCompose::ComposeError, before the first frame. For
// the composers.
void RequireComposable(const Status& status, const std::string& source_name);

// Canvas bytes at 4 bytes a pixel; the same limit as a GIF's screen.
inline constexpr std::size_t kLargestCanvasBytes = std::size_t{256} << 20;
// More frames than this are refused before any is read: each frame wanted
// is handed on as the whole canvas (and an APNG's may copy it to keep what
// lies under it), so the count bounds the work a small file can ask for.
inline constexpr int kMostFrames = 1 << 16;

// Limits checked from the headers, before anything is allocated for the
// pixels or decoded.
struct Budgets {
  std::size_t largest_canvas_bytes = kLargestCanvasBytes;
  int most_frames = kMostFrames;
};

// True when a canvas of `width` x `height` RGBA pixels fits `budgets`.
// Exact for any 32-bit sides. REQUIRES: nothing.
bool CanvasFits(std::uint64_t width, std::uint64_t height, const Budgets& budgets);

// How a frame's region is left before the next frame is drawn.
enum class Dispose { kNone, kBackground, kPrevious };
// How a frame's pixels meet the canvas under them.
enum class Blend { kSource, kOver };

const char* DisposeName(Dispose dispose);  // "none", "background", "previous"
const char* BlendName(Blend blend);        // "source", "over"

// What a frame says of itself, as stored: the facts a caller lists.
struct FrameRecord {
  int number = 0;  // 1-based, in play order
  int left = 0, top = 0, width = 0, height = 0;
  long long delay_ms = 0;  // rounded to the nearest millisecond
  Dispose dispose = Dispose::kNone;
  Blend blend = Blend::kOver;
  // APNG's delay as stored, num/den seconds (a den of 0 stands for 100);
  // both 0 for WebP, whose delays are whole milliseconds.
  int delay_num = 0, delay_den = 0;
};

// A run of bytes in the source.
struct ByteRange {
  std::size_t offset = 0, length = 0;
};

// The animation as a whole.
struct AnimationRecord {
  int canvas_width = 0, canvas_height = 0;
  int frame_count = 0;
  long long loop_count = 0;  // 0 = for ever
  long long total_delay_ms = 0;
};

}  // namespace FrameFormats
