// SPDX-License-Identifier: MIT
#pragma once

// Frames as a viewer shows them: every frame of an animated GIF composed on
// the logical screen, with its disposal, transparency, local colour table and
// interlacing honoured. Decoding streams: one screen of pixels (and a copy of
// the area a "restore to previous" frame covers) whatever the number of
// frames, and only the rows of a frame that reach the screen are decoded.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace FrameCompose {

// What a frame says of itself, as stored in the source.
struct FrameFacts {
  int number = 0;          // 1-based, in source order
  std::size_t offset = 0;  // of its graphic control extension, or its image when it has none
  std::size_t length = 0;  // up to the end of its image data
  int left = 0, top = 0, width = 0, height = 0;
  int delay_cs = 0;  // hundredths of a second
  int disposal = 0;  // 0 unspecified, 1 leave, 2 restore background, 3 restore previous
  std::optional<int> transparent_index;
  bool local_colour_table = false;
  int colour_table_size = 0;  // entries of the table it uses, local or global; 0: none
  bool interlaced = false;
  // False for a frame whose image data end or are damaged part way: it is
  // handed on as far as its data reach, and reading ends after it.
  bool complete = true;
};

// What the animation says of itself as a whole.
struct AnimationFacts {
  int screen_width = 0, screen_height = 0;
  bool global_colour_table = false;
  int background_index = 0;       // as the logical screen descriptor gives it
  std::optional<int> loop_count;  // from the looping extension; 0 = for ever
  int frame_count = 0;
  long long total_delay_cs = 0;
};

// A composed picture: width * height pixels, row by row, each four bytes
// R, G, B, A in memory order. Pixels no frame has covered are transparent.
struct Canvas {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  // While every pixel so far came from the global colour table, the same
  // picture as indices into `table` (its colours, RGBA), with
  // `transparent_index` (or -1) for pixels no frame covers; else empty.
  // Saves mapping colours back to indices for a full-frame GIF.
  std::vector<std::uint8_t> indices;
  std::vector<std::uint32_t> table;
  int transparent_index = -1;
};

// True when `a` and `b` show the same picture: the same size and the same
// colour at every pixel. `pump` (empty: none) runs now and then while large
// pictures are compared, so that a window can go on answering.
bool SamePicture(const Canvas& a, const Canvas& b, const std::function<void()>& pump = {});

// A source that cannot be decoded further. `frame` is the frame being read
// (1-based; 0 before the first), `offset` the byte where reading failed.
class ComposeError : public std::runtime_error {
 public:
  ComposeError(const std::string& source_name, int frame, std::size_t offset,
               const std::string& reason);
  int frame() const noexcept { return frame_; }
  std::size_t offset() const noexcept { return offset_; }

 private:
  int frame_;
  std::size_t offset_;
};

// Receives each frame in order, composed (or null when pixels were not
// asked for), as it stands before its own disposal. The canvas is only valid
// during the call. Returns false to stop reading.
using FrameSink = std::function<bool(const FrameFacts& facts, const Canvas* canvas)>;

// A GIF's sizes and positions are 16-bit: no picture is wider or taller.
inline constexpr int kLargestGifSide = 65535;

// The number of frames of a source (those before any damage) and the size
// of the canvas they are composed on: see SurveyFrames.
struct Survey {
  int frames = 0;
  int width = 0, height = 0;
};

struct ComposeOptions {
  bool pixels = true;  // false: facts only, image data is skipped undecoded
  std::size_t largest_canvas_bytes = std::size_t{256} << 20;
  // Called now and then while a frame is decoded (about every 64 K pixels)
  // or a frame or an extension is passed over (about every megabyte),
  // so that a caller with a window to keep alive can let its events run.
  std::function<void()> pump;
  // SurveyFrames(source, these options), when the caller has made it
  // already: the blocks are then not walked a second time before decoding.
  std::optional<Survey> survey;
};

// What composing `source` gives, found without decoding any pixels: the
// number of frames (those before any damage) and the size of the canvas
// Compose composes them on with `options`.
Survey SurveyFrames(std::span<const std::uint8_t> source, const ComposeOptions& options = {});

// Reads `source` (bytes 0 .. L-1) as a GIF and hands every frame to `sink`,
// filling `animation` as reading goes (so it holds what was read also when
// reading fails). Frames are composed on the logical screen; where the
// first frame reaches beyond it, on the screen grown to take that frame in
// (at most kLargestGifSide either way, so that a GIF can hold it), when that
// fits `largest_canvas_bytes`. Later frames are clipped to the canvas. A file that ends at a block
// boundary without its trailer ends normally. Throws ComposeError for a file that is no GIF, a
// logical screen larger than `largest_canvas_bytes`, a frame without any
// colour table, or damaged or truncated data; frames handed on before stay
// handed on. A frame whose own image data are damaged or cut short is handed
// on first, marked incomplete, with the rows its data reach (the rest as the
// canvas had them), and the error follows. `source_name` only names the
// source in messages. REQUIRES: nothing.
void Compose(std::span<const std::uint8_t> source, const std::string& source_name,
             const FrameSink& sink, AnimationFacts& animation, const ComposeOptions& options = {});

// Frame `number` (1-based) of `source` as it appears, composed as Compose
// composes it, with `facts` filled in when given. Returns nothing when the
// source holds fewer frames, or is damaged before that frame is reached.
// Throws ComposeError where Compose would before the first frame (no GIF, a
// screen past the budget). A frame damaged part way comes back as far as
// its data reach, marked incomplete in `facts`.
std::optional<Canvas> ComposeFrame(std::span<const std::uint8_t> source,
                                   const std::string& source_name, int number,
                                   const ComposeOptions& options = {}, FrameFacts* facts = nullptr);

}  // namespace FrameCompose
