// SPDX-License-Identifier: MIT
// APNG frames as they appear: each frame's own PNG, cut exactly, decoded by
// libpng and composed by the APNG rules.

#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "frame_compose/save_frames.h"
#include "frame_formats/apng_cut.h"
#include "frame_formats/format_compose.h"
#include "frame_formats/png_chunks.h"

namespace FrameFormats {
namespace {

using FrameCompose::Canvas;
using FrameCompose::ComposeError;

constexpr int kOpaque = 255;
constexpr char kNoMemory[] = "not enough memory";
constexpr char kUnlikeItsControl[] = "its size is not its frame control's";

// Rows decoded between two calls of the caller's pump: about 64 K pixels.
constexpr std::size_t kPixelsBetweenPumps = std::size_t{1} << 16;

// The frame file's bytes, handed to libpng as it asks for them.
struct MemorySource {
  std::span<const std::uint8_t> file;
  std::size_t at = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (count > source->file.size() - source->at) png_error(png, "the frame file ends early");
  std::memcpy(out, source->file.data() + source->at, count);
  source->at += count;
}

// libpng's words for why it gave up, kept for the caller's reason rather
// than printed: a frame file is ours, and its faults are the source's.
struct PngMessages {
  std::string error;
};

[[noreturn]] void KeepError(png_structp png, png_const_charp message) {
  static_cast<PngMessages*>(png_get_error_ptr(png))->error = message;
  png_longjmp(png, 1);
}

// Warnings are about ancillary chunks a frame file does not hold, or
// things libpng copes with; the picture decoded is what matters.
void IgnoreWarning(png_structp, png_const_charp) {}

// libpng's read state, destroyed however decoding ends.
struct PngReadState {
  PngMessages messages;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &messages, KeepError, IgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  ~PngReadState() { png_destroy_read_struct(&png, &info, nullptr); }
};

// Decodes `file` (a frame's exact cut) into `pixels` as 8-bit RGBA, not
// premultiplied, row by row, calling `pump` now and then. Returns empty
// text, or why libpng refused it. 16-bit samples keep their high byte, as
// viewers show them. Only rows and the header are read: the frame file
// holds nothing after its data that matters.
// With `ours`, the file's CRCs and zlib check are those FrameInflater just
// wrote, over data already checked, and are not checked again.
std::string DecodeFrame(std::span<const std::uint8_t> file, const FrameRecord& record,
                        std::vector<std::uint8_t>& pixels, const std::function<void()>& pump,
                        bool ours = false) {
  PngReadState state;  // made before setjmp, so that a longjmp skips no destructor
  if (!state.png || !state.info) return kNoMemory;
  MemorySource source{file};
  const std::size_t row_bytes = static_cast<std::size_t>(record.width) * 4;
  pixels.resize(row_bytes * static_cast<std::size_t>(record.height));
  if (setjmp(png_jmpbuf(state.png))) return state.messages.error;
  png_set_read_fn(state.png, &source, ReadFromMemory);
  if (ours) {
    png_set_crc_action(state.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
    png_set_option(state.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  }
  png_set_user_limits(state.png, Png::kLargestValue, Png::kLargestValue);
  png_read_info(state.png, state.info);
  const int colour = png_get_color_type(state.png, state.info);
  const bool transparency = png_get_valid(state.png, state.info, PNG_INFO_tRNS) != 0;
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(state.png);
  if (png_get_bit_depth(state.png, state.info) < 8) png_set_expand(state.png);
  if (transparency) png_set_tRNS_to_alpha(state.png);
  png_set_strip_16(state.png);
  if ((colour & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(state.png);
  if ((colour & PNG_COLOR_MASK_ALPHA) == 0 && !transparency) {
    png_set_add_alpha(state.png, 0xFF, PNG_FILLER_AFTER);
  }
  const int passes = png_set_interlace_handling(state.png);
  png_read_update_info(state.png, state.info);
  if (png_get_image_width(state.png, state.info) != static_cast<png_uint_32>(record.width) ||
      png_get_image_height(state.png, state.info) != static_cast<png_uint_32>(record.height) ||
      png_get_rowbytes(state.png, state.info) != row_bytes) {
    return kUnlikeItsControl;
  }
  const std::size_t rows_between_pumps =
      std::max<std::size_t>(1, kPixelsBetweenPumps / record.width);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < record.height; ++y) {
      png_read_row(state.png, pixels.data() + static_cast<std::size_t>(y) * row_bytes, nullptr);
      if (pump && (y + 1) % rows_between_pumps == 0) pump();
    }
  }
  return {};
}

// A frame's image data inflated by libdeflate, in about a third of zlib's
// time, and handed to libpng as a stored zlib stream, which zlib only
// copies: libpng still unfilters and converts the rows. It declines (an
// empty file) wherever zlib and libdeflate could part: a stream declaring a
// window under 32 K (zlib holds it to that, libdeflate does not), data that
// do not inflate to exactly the rows the header calls for, an interlaced
// picture, or rows past kMostInflated. The frame's exact cut then goes to
// libpng as it is, so that on damaged data its verdict and words stand.
class FrameInflater {
 public:
  FrameInflater() : decompressor_(nullptr, libdeflate_free_decompressor) {}

  // The frame file of `frame` holding its rows in a stored stream, or
  // empty where the exact cut is to be decoded instead.
  std::vector<std::uint8_t> File(std::span<const std::uint8_t> source, const ApngPlan& plan,
                                 const ApngFrame& frame) {
    const std::uint8_t* header = source.data() + plan.header.offset;
    const int depth = header[8], colour = header[9], interlace = header[12];
    const std::size_t rows = RowsSize(frame.record, depth, colour);
    if (interlace != 0 || rows == 0) return {};
    packed_.clear();
    for (const ByteRange& range : frame.data) {
      packed_.insert(packed_.end(), source.begin() + static_cast<std::ptrdiff_t>(range.offset),
                     source.begin() + static_cast<std::ptrdiff_t>(range.offset + range.length));
    }
    if (packed_.size() < 2 || (packed_[0] >> 4) != kLargestWindowInfo) return {};
    if (!decompressor_) decompressor_.reset(libdeflate_alloc_decompressor());
    if (!decompressor_) return {};
    rows_.resize(rows);
    std::size_t in = 0, out = 0;
    if (libdeflate_zlib_decompress_ex(decompressor_.get(), packed_.data(), packed_.size(),
                                      rows_.data(), rows_.size(), &in,
                                      &out) != LIBDEFLATE_SUCCESS ||
        out != rows) {
      return {};
    }
    Store();
    return ApngFrameFileWithData(source, plan, frame.record.number, stored_);
  }

 private:
  // A zlib stream's CINFO for a 32 K window, and a header that says so
  // (fastest, no dictionary; its check bits make it a multiple of 31).
  static constexpr int kLargestWindowInfo = 7;
  static constexpr std::uint8_t kStoredHeader[2] = {0x78, 0x01};
  static constexpr std::size_t kMostStoredBlock = 65535;
  // Rows up to this size go through libdeflate (a 1920 x 1080 RGBA frame's
  // are 8 MiB): they are held three times over (inflated, stored, in the
  // file), and libdeflate inflates them in one call, between two pumps.
  static constexpr std::size_t kMostInflated = std::size_t{16} << 20;

  // The bytes of the frame's filtered rows, or 0 for an unknown colour
  // type or more than kMostInflated.
  static std::size_t RowsSize(const FrameRecord& record, int depth, int colour) {
    int channels = 0;
    switch (colour) {
      case 0:
      case 3:
        channels = 1;
        break;
      case 2:
        channels = 3;
        break;
      case 4:
        channels = 2;
        break;
      case 6:
        channels = 4;
        break;
      default:
        return 0;
    }
    // A side is at most 2^31 - 1 and a pixel 64 bits: a row's bits fit 64 bits.
    const std::size_t row = 1 + (static_cast<std::size_t>(record.width) * channels * depth + 7) / 8;
    const auto height = static_cast<std::size_t>(record.height);
    return row > kMostInflated / height ? 0 : row * height;
  }

  // `rows_` as a zlib stream of stored blocks, with its Adler-32.
  void Store() {
    stored_.assign(std::begin(kStoredHeader), std::end(kStoredHeader));
    stored_.reserve(rows_.size() + rows_.size() / kMostStoredBlock * 5 + 16);
    for (std::size_t at = 0; at < rows_.size();) {
      const std::size_t size = std::min(kMostStoredBlock, rows_.size() - at);
      const bool last = at + size == rows_.size();
      stored_.insert(stored_.end(),
                     {static_cast<std::uint8_t>(last ? 1 : 0), static_cast<std::uint8_t>(size),
                      static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(~size),
                      static_cast<std::uint8_t>(~size >> 8)});
      stored_.insert(stored_.end(), rows_.begin() + static_cast<std::ptrdiff_t>(at),
                     rows_.begin() + static_cast<std::ptrdiff_t>(at + size));
      at += size;
    }
    const auto adler =
        static_cast<std::uint32_t>(libdeflate_adler32(1, rows_.data(), rows_.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
      stored_.push_back(static_cast<std::uint8_t>(adler >> shift));
  }

  std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor_;
  std::vector<std::uint8_t> packed_, rows_, stored_;  // kept from frame to frame
};

// Each frame's image decoded, in play order. Decoding needs no canvas, so
// with more than one thread it runs on threads of its own, a few frames
// ahead of the composer; drawing stays in order on the caller's thread.
// At most two frames per decoding thread are held (one being decoded, one
// waiting), in buffers kept from frame to frame.
class DecodedFrames {
 public:
  struct Frame {
    std::vector<std::uint8_t> rgba;  // the frame's region, as DecodeFrame leaves it
    std::string failure;             // why it could not be decoded; empty when it was
  };

  DecodedFrames(std::span<const std::uint8_t> source, const ApngPlan& plan,
                const FormatComposeOptions& options)
      : source_(source),
        plan_(plan),
        pump_(options.pump),
        decoders_(Decoders(options.threads, plan)),
        slots_(std::max<std::size_t>(
            1,
            std::min<std::size_t>(2 * decoders_, Fitting(plan) - kBuffersDecoding * decoders_))) {
    try {
      for (std::size_t i = 0; i < decoders_; ++i) threads_.emplace_back([this] { Run(); });
    } catch (...) {
      Stop();
      throw;
    }
  }
  DecodedFrames(const DecodedFrames&) = delete;
  DecodedFrames& operator=(const DecodedFrames&) = delete;
  ~DecodedFrames() { Stop(); }

  // Frame `index` (0-based), decoded; valid until Release(index). Runs the
  // pump before it and, while it waits or decodes, now and then. REQUIRES:
  // frames are taken in order, each released before the next is taken.
  const Frame& Take(std::size_t index) {
    Slot& slot = slots_[index % slots_.size()];
    if (pump_) pump_();
    if (decoders_ == 0) {
      Decode(index, slot.frame, inflater_, pump_);
      return slot.frame;
    }
    std::unique_lock lock(mutex_);
    while (!changed_.wait_for(lock, kPumpEvery, [&] { return slot.done; })) {
      if (!pump_) continue;
      lock.unlock();
      pump_();
      lock.lock();
    }
    return slot.frame;
  }

  // Lets frame `index`'s buffer go to a frame further on.
  void Release(std::size_t index) {
    if (decoders_ == 0) return;
    {
      std::lock_guard lock(mutex_);
      slots_[index % slots_.size()].done = false;
      released_ = index + 1;
    }
    changed_.notify_all();
  }

 private:
  // How often the caller's events run while it waits on a decoder.
  static constexpr std::chrono::milliseconds kPumpEvery{20};

  struct Slot {
    Frame frame;
    bool done = false;  // decoded, not yet released
  };
  // Thrown on a decoding thread, between rows, once the composer has stopped.
  struct Stopped {};

  // Ends the decoding threads, a frame part decoded among them.
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // Besides its slot's pixels, a decoder holds the frame's data inflated
  // and rewrapped for libpng, each about as large.
  static constexpr std::size_t kBuffersDecoding = 2;

  // How many of the plan's largest frames' pixels kMostBytesInFlight
  // holds; at least kBuffersDecoding + 1, a decoder and its slot.
  static std::size_t Fitting(const ApngPlan& plan) {
    std::size_t largest = 1;
    for (const ApngFrame& frame : plan.frames) {
      largest = std::max(largest, static_cast<std::size_t>(frame.record.width) *
                                      static_cast<std::size_t>(frame.record.height) * 4);
    }
    return std::max(kBuffersDecoding + 1, FrameCompose::kMostBytesInFlight / largest);
  }

  // Threads besides the caller's: none for one thread in all or one frame,
  // and no more than leave each a slot within kMostBytesInFlight.
  static std::size_t Decoders(int threads, const ApngPlan& plan) {
    const unsigned all = threads > 0 ? static_cast<unsigned>(threads)
                                     : std::max(1u, std::thread::hardware_concurrency());
    const std::size_t frames = plan.frames.size();
    return std::min({static_cast<std::size_t>(all - 1), frames > 1 ? frames : std::size_t{0},
                     Fitting(plan) / (kBuffersDecoding + 1)});
  }

  void Decode(std::size_t index, Frame& frame, FrameInflater& inflater,
              const std::function<void()>& pump) const {
    const ApngFrame& source_frame = plan_.frames[index];
    const FrameRecord& record = source_frame.record;
    try {
      if (std::vector<std::uint8_t> file = inflater.File(source_, plan_, source_frame);
          !file.empty()) {
        frame.failure = DecodeFrame(file, record, frame.rgba, pump, true);
      } else {
        frame.failure = DecodeFrame(ApngFrameFileBytes(source_, plan_, record.number), record,
                                    frame.rgba, pump);
      }
    } catch (const std::bad_alloc&) {
      frame.failure = kNoMemory;
    }
  }

  void Run() {
    FrameInflater inflater;  // this thread's
    const std::function<void()> stopped = [this] {
      std::lock_guard lock(mutex_);
      if (stop_) throw Stopped{};
    };
    for (;;) {
      std::size_t index = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
          return stop_ || (next_ < plan_.frames.size() && next_ < released_ + slots_.size());
        });
        if (stop_) return;
        index = next_++;
      }
      Slot& slot = slots_[index % slots_.size()];
      try {
        Decode(index, slot.frame, inflater, stopped);
      } catch (const Stopped&) {
        return;
      }
      {
        std::lock_guard lock(mutex_);
        slot.done = true;
      }
      changed_.notify_all();
    }
  }

  const std::span<const std::uint8_t> source_;
  const ApngPlan& plan_;
  const std::function<void()>& pump_;
  const std::size_t decoders_;
  FrameInflater inflater_;  // the caller's thread's, with no decoders
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;      // the next frame a decoder takes
  std::size_t released_ = 0;  // frames the composer is done with
  bool stop_ = false;
  std::vector<std::thread> threads_;  // last: start once everything above is set up
};

// Blends one source pixel over one canvas pixel, both RGBA bytes not
// premultiplied, as the APNG "over" op defines it.
void Over(const std::uint8_t* from, std::uint8_t* to) {
  const int alpha = from[3];
  if (alpha == kOpaque || to[3] == 0) {
    std::memcpy(to, from, 4);
    return;
  }
  if (alpha == 0) return;
  const int own = alpha * kOpaque, under = (kOpaque - alpha) * to[3];
  const int sum = own + under;
  for (int c = 0; c < 3; ++c)
    to[c] = static_cast<std::uint8_t>((from[c] * own + to[c] * under + sum / 2) / sum);
  to[3] = static_cast<std::uint8_t>((sum + kOpaque / 2) / kOpaque);
}

// Draws the frame's pixels into its region of `canvas`.
void Draw(const std::vector<std::uint8_t>& pixels, const FrameRecord& record, Canvas& canvas) {
  const std::size_t row_bytes = static_cast<std::size_t>(record.width) * 4;
  for (int y = 0; y < record.height; ++y) {
    const std::uint8_t* from = pixels.data() + static_cast<std::size_t>(y) * row_bytes;
    auto* to = reinterpret_cast<std::uint8_t*>(
        canvas.pixels.data() + static_cast<std::size_t>(record.top + y) * canvas.width +
        record.left);
    if (record.blend == Blend::kSource) {
      std::memcpy(to, from, row_bytes);
    } else {
      for (int x = 0; x < record.width; ++x) Over(from + 4 * x, to + 4 * x);
    }
  }
}

// Copies the frame's region out of `canvas` into `region`, or back in.
void CopyRegion(const FrameRecord& record, Canvas& canvas, std::vector<std::uint32_t>& region,
                bool back) {
  region.resize(static_cast<std::size_t>(record.width) * record.height);
  for (int y = 0; y < record.height; ++y) {
    std::uint32_t* row = canvas.pixels.data() +
                         static_cast<std::size_t>(record.top + y) * canvas.width + record.left;
    std::uint32_t* saved = region.data() + static_cast<std::size_t>(y) * record.width;
    back ? std::copy_n(saved, record.width, row) : std::copy_n(row, record.width, saved);
  }
}

void Clear(const FrameRecord& record, Canvas& canvas) {
  for (int y = 0; y < record.height; ++y) {
    std::fill_n(canvas.pixels.data() + static_cast<std::size_t>(record.top + y) * canvas.width +
                    record.left,
                record.width, 0u);
  }
}

}  // namespace

std::string DecodeApngFrameFile(std::span<const std::uint8_t> file, int width, int height,
                                std::vector<std::uint8_t>& pixels) {
  FrameRecord size;
  size.width = width;
  size.height = height;
  return DecodeFrame(file, size, pixels, {});
}

void ComposeApng(std::span<const std::uint8_t> source, const std::string& source_name,
                 const FormatFrameSink& sink, AnimationRecord& animation,
                 const FormatComposeOptions& options) {
  ApngPlan plan;
  RequireComposable(ReadApng(source, options.budgets, plan), source_name);
  animation = {plan.width, plan.height, static_cast<int>(plan.frames.size()), plan.plays, 0};
  for (const ApngFrame& frame : plan.frames) animation.total_delay_ms += frame.record.delay_ms;
  ComposeApngPlan(source, plan, source_name, sink, options);
}

void ComposeApngPlan(std::span<const std::uint8_t> source, const ApngPlan& plan,
                     const std::string& source_name, const FormatFrameSink& sink,
                     const FormatComposeOptions& options) {
  Canvas canvas;
  canvas.width = plan.width;
  canvas.height = plan.height;
  canvas.pixels.assign(static_cast<std::size_t>(plan.width) * static_cast<std::size_t>(plan.height),
                       0u);
  std::vector<std::uint32_t> saved;
  DecodedFrames decoded(source, plan, options);
  for (std::size_t index = 0; index < plan.frames.size(); ++index) {
    const ApngFrame& frame = plan.frames[index];
    const FrameRecord& record = frame.record;
    const DecodedFrames::Frame& pixels = decoded.Take(index);
    if (!pixels.failure.empty()) {
      throw ComposeError(
          source_name, record.number, frame.control_offset,
          Status{Fault::kBadImageData, frame.control_offset, pixels.failure}.Reason());
    }
    const bool restore = record.dispose == Dispose::kPrevious && record.number > 1;
    if (restore) CopyRegion(record, canvas, saved, false);
    Draw(pixels.rgba, record, canvas);
    decoded.Release(index);
    if (!sink(record, canvas)) return;
    if (restore) {
      CopyRegion(record, canvas, saved, true);
    } else if (record.dispose != Dispose::kNone) {
      Clear(record, canvas);
    }
  }
}

}  // namespace FrameFormats
