// SPDX-License-Identifier: MIT
#include "frame_compose/frame_compose.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <utility>

#include "frame_compose/lzw_decoder.h"
#include "frame_compose/paced.h"
#include "gif_format/gif_markers.h"

namespace FrameCompose {
namespace {

// How many pixels a frame decodes between two calls of ComposeOptions::pump.
constexpr std::size_t kPixelsBetweenPumps = std::size_t{1} << 16;
// How many sub-blocks (255 bytes at most) of a skipped frame or an extension
// are passed between two.
constexpr std::size_t kBlocksBetweenPumps = 4096;
// How many indices a frame's rows are decoded into before the first rows
// are written over: strings the decoder wrote are copied from there.
constexpr std::size_t kWindowIndices = std::size_t{4} << 20;

// giflib reads through this, so that every failure can name its byte.
struct Reader {
  std::span<const std::uint8_t> data;
  std::size_t position = 0;
};

int ReadInput(GifFileType* gif, GifByteType* buffer, int wanted) {
  auto* reader = static_cast<Reader*>(gif->UserData);
  const std::size_t left = reader->data.size() - reader->position;
  const std::size_t count = std::min(left, static_cast<std::size_t>(std::max(wanted, 0)));
  if (count > 0) std::memcpy(buffer, reader->data.data() + reader->position, count);
  reader->position += count;
  return static_cast<int>(count);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

std::uint32_t Rgba(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  const std::uint8_t bytes[4] = {r, g, b, a};
  std::uint32_t pixel;
  std::memcpy(&pixel, bytes, sizeof pixel);
  return pixel;
}

class Composer {
 public:
  Composer(std::span<const std::uint8_t> source, const std::string& source_name,
           const FrameSink& sink, AnimationFacts& facts, const ComposeOptions& options)
      : name_(source_name), sink_(sink), options_(options), facts_(facts) {
    reader_.data = source;
  }

  void Run() {
    int error = 0;
    gif_.reset(DGifOpen(&reader_, ReadInput, &error));
    if (!gif_) Fail(0, reader_.position, error);
    facts_.screen_width = gif_->SWidth;
    facts_.screen_height = gif_->SHeight;
    facts_.global_colour_table = gif_->SColorMap != nullptr;
    facts_.background_index = gif_->SBackGroundColor;
    if (options_.pixels) {
      const std::size_t screen = static_cast<std::size_t>(gif_->SWidth) * gif_->SHeight;
      if (screen * sizeof(std::uint32_t) > options_.largest_canvas_bytes) {
        throw ComposeError(name_, 0, Gif::kHeaderSize,
                           "a logical screen of " + std::to_string(gif_->SWidth) + " x " +
                               std::to_string(gif_->SHeight) + " is too large to compose");
      }
      const Survey survey =
          options_.survey ? *options_.survey : SurveyFrames(reader_.data, options_);
      canvas_.width = survey.width;
      canvas_.height = survey.height;
      const std::size_t pixels = static_cast<std::size_t>(survey.width) * survey.height;
      Paced paced(options_.pump);
      paced.Assign(canvas_.pixels, pixels, std::uint32_t{0});
      if (const ColorMapObject* global = gif_->SColorMap; global != nullptr) {
        const int count = std::min(global->ColorCount, 256);
        for (int i = 0; i < count; ++i) {
          const GifColorType& c = global->Colors[i];
          canvas_.table.push_back(Rgba(c.Red, c.Green, c.Blue, 0xFF));
        }
        // The first index past the table stands for transparency, if there is one.
        canvas_.transparent_index = count < 256 ? count : -1;
        paced.Assign(canvas_.indices, pixels, static_cast<std::uint8_t>(std::max(count, 0) & 0xFF));
      }
    }
    for (;;) {
      const std::size_t record = reader_.position;
      // A file that stops between blocks has said all it has.
      if (record == reader_.data.size()) break;
      GifRecordType type = UNDEFINED_RECORD_TYPE;
      if (DGifGetRecordType(gif_.get(), &type) == GIF_ERROR) Fail(next_frame(), record);
      if (type == TERMINATE_RECORD_TYPE) break;
      if (type == EXTENSION_RECORD_TYPE) ReadExtension(record);
      if (type == IMAGE_DESC_RECORD_TYPE && !ReadImage(record)) break;
    }
  }

 private:
  int next_frame() const { return facts_.frame_count + 1; }

  ComposeError Failure(int frame, std::size_t offset, int error = 0) const {
    if (reader_.position == reader_.data.size() && offset < reader_.data.size()) {
      return ComposeError(name_, frame, offset, "the file ends inside this block (truncated?)");
    }
    const int code = error != 0 ? error : (gif_ ? gif_->Error : 0);
    const char* text = GifErrorString(code);
    return ComposeError(name_, frame, offset, text != nullptr ? text : "unreadable GIF data");
  }
  [[noreturn]] void Fail(int frame, std::size_t offset, int error = 0) {
    throw Failure(frame, offset, error);
  }
  // Damage inside a frame's image data: the frame is still handed on, as
  // far as its data reach, and reading ends after it.
  void Damaged(ComposeError error) {
    if (!damage_) damage_ = std::move(error);
  }

  void ReadExtension(std::size_t record) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif_.get(), &code, &block) == GIF_ERROR) Fail(next_frame(), record);
    bool looping = false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
      GraphicsControlBlock control{};
      if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
        control_ = control;
        if (!frame_start_) frame_start_ = record;
      }
    }
    if (code == APPLICATION_EXT_FUNC_CODE && block != nullptr &&
        block[0] == Gif::kApplicationBlockSize &&
        std::memcmp(block + 1, Gif::kLoopingApplication, Gif::kApplicationBlockSize) == 0) {
      looping = true;
    }
    for (std::size_t passed = 1; block != nullptr; ++passed) {
      if (DGifGetExtensionNext(gif_.get(), &block) == GIF_ERROR) Fail(next_frame(), record);
      if (looping && block != nullptr && block[0] >= 3 && block[1] == Gif::kLoopSubBlockId) {
        facts_.loop_count = block[2] | (block[3] << 8);
      }
      if (options_.pump && passed % kBlocksBetweenPumps == 0) options_.pump();
    }
  }

  // Returns false when the sink wants no more frames.
  bool ReadImage(std::size_t record) {
    if (DGifGetImageDesc(gif_.get()) == GIF_ERROR) {
      // Cut off after the descriptor's ten bytes: the frame is there, with no data.
      constexpr std::size_t kDescriptorLength = 10;
      if (reader_.position != reader_.data.size() ||
          reader_.position < record + kDescriptorLength) {
        Fail(next_frame(), record);
      }
      Damaged(Failure(next_frame(), record));
    }
    const GifImageDesc& desc = gif_->Image;
    FrameFacts frame;
    frame.number = next_frame();
    frame.offset = frame_start_.value_or(record);
    frame.left = desc.Left, frame.top = desc.Top, frame.width = desc.Width,
    frame.height = desc.Height;
    frame.delay_cs = control_ ? control_->DelayTime : 0;
    frame.disposal = control_ ? control_->DisposalMode : 0;
    if (control_ && control_->TransparentColor != NO_TRANSPARENT_COLOR) {
      frame.transparent_index = control_->TransparentColor;
    }
    frame.local_colour_table = desc.ColorMap != nullptr;
    frame.interlaced = desc.Interlace;
    const ColorMapObject* colours = desc.ColorMap != nullptr ? desc.ColorMap : gif_->SColorMap;
    frame.colour_table_size = colours != nullptr ? colours->ColorCount : 0;

    if (options_.pixels) {
      if (colours == nullptr) {
        throw ComposeError(name_, frame.number, record, "the frame has no colour table");
      }
      if (frame.number == 1) StartCanvas(frame);
      if (desc.ColorMap != nullptr) StopIndexing();
      if (frame.disposal == Gif::kDisposalRestorePrevious) SavePrevious(VisiblePart(frame));
      DrawImage(frame, *colours, record);
    } else {
      SkipImage(frame.number, record);
    }
    frame.length = reader_.position - frame.offset;
    ++facts_.frame_count;
    facts_.total_delay_cs += frame.delay_cs;
    control_.reset();
    frame_start_.reset();

    frame.complete = !damage_;

    const bool more = sink_(frame, options_.pixels ? &canvas_ : nullptr);
    if (damage_) throw *damage_;
    if (options_.pixels) Dispose(frame);
    return more;
  }

  void SkipImage(int number, std::size_t record) {
    if (damage_) return;
    int code_size = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif_.get(), &code_size, &block) == GIF_ERROR)
      return Damaged(Failure(number, record));
    for (std::size_t skipped = 1; block != nullptr; ++skipped) {
      if (DGifGetCodeNext(gif_.get(), &block) == GIF_ERROR) return Damaged(Failure(number, record));
      if (options_.pump && skipped % kBlocksBetweenPumps == 0) options_.pump();
    }
  }

  // What lies beneath the first frame. A first frame with no transparent
  // colour, in a file with a global colour table, starts on the logical
  // screen's background colour, opaque; any other on transparency. The
  // background index names an entry of the global table, the screen's own,
  // so a local table on the first frame changes nothing. It is the one
  // colour the file itself gives for the screen where no frame lies;
  // viewers differ here (browsers show transparency, some programs white),
  // and no fixed colour of ours would be truer to the file.
  void StartCanvas(const FrameFacts& first) {
    const ColorMapObject* global = gif_->SColorMap;
    if (first.transparent_index || global == nullptr || global->ColorCount <= 0) {
      if (canvas_.transparent_index < 0) StopIndexing();  // no index for transparency
      return;
    }
    const int background = std::min(gif_->SBackGroundColor, global->ColorCount - 1);
    const GifColorType& c = global->Colors[background];
    Paced paced(options_.pump);
    paced.Fill(canvas_.pixels, Rgba(c.Red, c.Green, c.Blue, 0xFF));
    paced.Fill(canvas_.indices, static_cast<std::uint8_t>(background));
  }

  // From here on the picture is known by its colours only.
  void StopIndexing() {
    canvas_.indices.clear();
    previous_indices_.clear();
  }

  // The part of the canvas a frame covers: columns x0 .. x1-1, rows y0 .. y1-1.
  struct Area {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
    std::size_t Width() const { return static_cast<std::size_t>(x1 - x0); }
  };
  // Row by row: a frame may claim any size up to 65535 x 65535, and only
  // what reaches the screen is kept. Decoding stops after the last row that
  // reaches the canvas, and a frame that reaches none is not decoded at all.
  void DrawImage(const FrameFacts& frame, const ColorMapObject& colours, std::size_t record) {
    const Area area = VisiblePart(frame);
    if (area.Empty() || damage_) return SkipImage(frame.number, record);
    UseColours(frame, colours);
    PlanRows(frame, area);
    const std::optional<int> min_code_size = ReadImageData(frame.number, record);
    if (!min_code_size) return;
    // Rows are decoded one after the other into a window of many, from
    // which the decoder copies strings it has written before.
    const std::size_t width = static_cast<std::size_t>(frame.width);
    const std::size_t window_rows =
        std::min(rows_.size(), std::max<std::size_t>(1, kWindowIndices / width));
    window_.resize(window_rows * width);
    const auto decoder = std::make_unique<LzwDecoder>(data_, *min_code_size);
    std::size_t since_pump = 0;
    for (std::size_t at = 0; at < rows_.size(); ++at) {
      if (options_.pump && (since_pump += width) >= kPixelsBetweenPumps) {
        since_pump = 0;
        options_.pump();
      }
      GifPixelType* const row = window_.data() + at % window_rows * width;
      if (!decoder->Read(row, width)) {
        return Damaged(ComposeError(
            name_, frame.number, record,
            "the image data ends or is damaged before row " + std::to_string(rows_[at])));
      }
      PaintRow(frame, area, frame.top + rows_[at], row);
    }
  }

  // The frame's colours as the canvas's pixels and indices.
  void UseColours(const FrameFacts& frame, const ColorMapObject& colours) {
    lookup_.fill(0);  // indices past the table stay transparent black
    const int count = std::min(colours.ColorCount, 256);
    for (int i = 0; i < count; ++i) {
      const GifColorType& c = colours.Colors[i];
      lookup_[static_cast<std::size_t>(i)] = Rgba(c.Red, c.Green, c.Blue, 0xFF);
    }
    transparent_ = frame.transparent_index.value_or(-1);
    // Indices past the table show transparency, as their colour does.
    for (int i = 0; i < 256; ++i) {
      index_of_[static_cast<std::size_t>(i)] =
          static_cast<std::uint8_t>(i < count ? i : std::max(canvas_.transparent_index, 0));
    }
  }

  // The frame's rows in the order its data holds them, up to the last that
  // reaches `area`.
  void PlanRows(const FrameFacts& frame, const Area& area) {
    rows_.clear();
    std::size_t rows_needed = 0;
    const std::size_t passes = frame.interlaced ? Gif::kInterlacePassStart.size() : 1;
    for (std::size_t pass = 0; pass < passes; ++pass) {
      const int start = frame.interlaced ? Gif::kInterlacePassStart[pass] : 0;
      const int step = frame.interlaced ? Gif::kInterlacePassStep[pass] : 1;
      for (int row = start; row < frame.height; row += step) {
        rows_.push_back(row);
        const int y = frame.top + row;
        if (y >= area.y0 && y < area.y1) rows_needed = rows_.size();
      }
    }
    rows_.resize(rows_needed);
  }

  // Gathers the frame's LZW bytes into data_ and returns their minimum code
  // size; nothing, the damage noted, when there is nothing to decode. What
  // the sub-blocks hold up to any damage is decoded all the same.
  std::optional<int> ReadImageData(int number, std::size_t record) {
    int min_code_size = 0;
    GifByteType* block = nullptr;
    data_.clear();
    if (DGifGetCode(gif_.get(), &min_code_size, &block) == GIF_ERROR) {
      Damaged(Failure(number, record));
      return std::nullopt;
    }
    while (block != nullptr) {
      data_.insert(data_.end(), block + 1, block + 1 + block[0]);
      if (DGifGetCodeNext(gif_.get(), &block) == GIF_ERROR) {
        Damaged(Failure(number, record));
        break;
      }
    }
    if (min_code_size < 1 || min_code_size >= LzwDecoder::kMostBits) {
      Damaged(ComposeError(name_, number, record, "impossible LZW minimum code size"));
      return std::nullopt;
    }
    return min_code_size;
  }

  // Draws the decoded `row` of the frame on canvas row `y`, where it lies
  // on the canvas and is not transparent.
  void PaintRow(const FrameFacts& frame, const Area& area, int y, const GifPixelType* row) {
    if (y < 0 || y >= canvas_.height) return;
    const std::size_t start = static_cast<std::size_t>(y) * canvas_.width;
    std::uint32_t* target = canvas_.pixels.data() + start;
    if (canvas_.indices.empty()) {
      for (int x = area.x0; x < area.x1; ++x) {
        const GifPixelType index = row[x - frame.left];
        if (index != transparent_) target[x] = lookup_[index];
      }
      return;
    }
    std::uint8_t* indices = canvas_.indices.data() + start;
    for (int x = area.x0; x < area.x1; ++x) {
      const GifPixelType index = row[x - frame.left];
      if (index == transparent_) continue;
      target[x] = lookup_[index];
      indices[x] = index_of_[index];
    }
  }

  Area VisiblePart(const FrameFacts& frame) const {
    return {std::max(frame.left, 0), std::max(frame.top, 0),
            std::min(frame.left + frame.width, canvas_.width),
            std::min(frame.top + frame.height, canvas_.height)};
  }

  // "Restore to previous" needs back only what the frame covers: saving
  // that, not the whole screen, keeps a small frame on a large screen cheap.
  void SavePrevious(const Area& area) {
    saved_ = area;
    previous_.clear();
    previous_indices_.clear();
    // Room at once: growing would copy what is saved, in one piece.
    if (!area.Empty()) {
      const std::size_t saved = area.Width() * static_cast<std::size_t>(area.y1 - area.y0);
      previous_.reserve(saved);
      if (!canvas_.indices.empty()) previous_indices_.reserve(saved);
    }
    Paced paced(options_.pump);
    for (int y = area.y0; y < area.y1 && !area.Empty(); ++y) {
      paced.Did(area.Width());
      const std::size_t start = static_cast<std::size_t>(y) * canvas_.width + area.x0;
      previous_.insert(previous_.end(), canvas_.pixels.begin() + start,
                       canvas_.pixels.begin() + start + area.Width());
      if (!canvas_.indices.empty()) {
        previous_indices_.insert(previous_indices_.end(), canvas_.indices.begin() + start,
                                 canvas_.indices.begin() + start + area.Width());
      }
    }
  }
  void RestorePrevious() {
    const Area& area = saved_;
    Paced paced(options_.pump);
    for (int y = area.y0; y < area.y1 && !area.Empty(); ++y) {
      paced.Did(area.Width());
      const std::size_t start = static_cast<std::size_t>(y) * canvas_.width + area.x0;
      const std::size_t saved = static_cast<std::size_t>(y - area.y0) * area.Width();
      std::copy_n(previous_.begin() + saved, area.Width(), canvas_.pixels.begin() + start);
      if (!canvas_.indices.empty()) {
        std::copy_n(previous_indices_.begin() + saved, area.Width(),
                    canvas_.indices.begin() + start);
      }
    }
  }

  void Dispose(const FrameFacts& frame) {
    if (frame.disposal == Gif::kDisposalRestorePrevious) {
      RestorePrevious();
    } else if (frame.disposal == Gif::kDisposalRestoreBackground) {
      if (canvas_.transparent_index < 0) StopIndexing();
      const Area area = VisiblePart(frame);
      Paced paced(options_.pump);
      for (int y = area.y0; y < area.y1 && !area.Empty(); ++y) {
        paced.Did(area.Width());
        const std::size_t start = static_cast<std::size_t>(y) * canvas_.width;
        std::fill(canvas_.pixels.begin() + start + area.x0,
                  canvas_.pixels.begin() + start + area.x1, 0u);
        if (!canvas_.indices.empty()) {
          std::fill(canvas_.indices.begin() + start + area.x0,
                    canvas_.indices.begin() + start + area.x1,
                    static_cast<std::uint8_t>(canvas_.transparent_index));
        }
      }
    }
  }

  Reader reader_;
  std::string name_;
  const FrameSink& sink_;
  ComposeOptions options_;
  std::unique_ptr<GifFileType, GifCloser> gif_;
  AnimationFacts& facts_;
  Canvas canvas_;
  std::vector<std::uint32_t> previous_;  // the saved area, row by row
  std::vector<std::uint8_t> previous_indices_;
  Area saved_;
  std::array<std::uint32_t, 256> lookup_{};   // a frame's index to its colour
  std::array<std::uint8_t, 256> index_of_{};  // a frame's index to the canvas's
  int transparent_ = -1;                      // the frame's transparent index, or -1
  std::vector<GifPixelType> window_;          // the rows a frame decodes into
  std::vector<std::uint8_t> data_;            // a frame's LZW bytes, sub-blocks joined
  std::vector<int> rows_;                     // the order in which a frame's rows arrive
  std::optional<GraphicsControlBlock> control_;
  std::optional<ComposeError> damage_;
  std::optional<std::size_t> frame_start_;
};

}  // namespace

ComposeError::ComposeError(const std::string& source_name, int frame, std::size_t offset,
                           const std::string& reason)
    : std::runtime_error(source_name + ": " +
                         (frame > 0 ? "frame " + std::to_string(frame) + ", " : std::string()) +
                         "byte " + std::to_string(offset) + ": " + reason),
      frame_(frame),
      offset_(offset) {}

bool SamePicture(const Canvas& a, const Canvas& b, const std::function<void()>& pump) {
  return a.width == b.width && a.height == b.height && Paced(pump).Equal(a.pixels, b.pixels);
}

Survey SurveyFrames(std::span<const std::uint8_t> source, const ComposeOptions& options) {
  // The logical screen, grown to take in the first frame where it lies
  // beyond it (a 0 x 0 screen among them), unless the grown picture would
  // pass the budget. Later frames are clipped to that canvas: the rule of
  // the browser most people view GIFs in.
  ComposeOptions facts_only = options;
  facts_only.pixels = false;
  long long width = 0, height = 0;
  AnimationFacts animation;
  try {
    Compose(
        source, "",
        [&](const FrameFacts& frame, const Canvas*) {
          if (frame.number == 1) {
            width = frame.left + frame.width;
            height = frame.top + frame.height;
          }
          return true;
        },
        animation, facts_only);
  } catch (const ComposeError&) {
    // The frames read before the damage say what they can.
  }
  Survey survey{animation.frame_count, animation.screen_width, animation.screen_height};
  // No further than a GIF can say: a frame file holds the whole canvas.
  width = std::min<long long>(std::max<long long>(width, survey.width), kLargestGifSide);
  height = std::min<long long>(std::max<long long>(height, survey.height), kLargestGifSide);
  if (static_cast<unsigned long long>(width * height) * sizeof(std::uint32_t) <=
      options.largest_canvas_bytes) {
    survey.width = static_cast<int>(width);
    survey.height = static_cast<int>(height);
  }
  return survey;
}

void Compose(std::span<const std::uint8_t> source, const std::string& source_name,
             const FrameSink& sink, AnimationFacts& animation, const ComposeOptions& options) {
  animation = {};
  Composer(source, source_name, sink, animation, options).Run();
}

std::optional<Canvas> ComposeFrame(std::span<const std::uint8_t> source,
                                   const std::string& source_name, int number,
                                   const ComposeOptions& options, FrameFacts* facts) {
  std::optional<Canvas> frame;
  AnimationFacts animation;
  try {
    Compose(
        source, source_name,
        [&](const FrameFacts& read, const Canvas* canvas) {
          if (read.number < number) return true;
          frame = *canvas;
          if (facts != nullptr) *facts = read;
          return false;
        },
        animation, options);
  } catch (const ComposeError&) {
    // Damage past the first frame only ends the file; the frame may be in hand.
    if (animation.frame_count == 0) throw;
  }
  return frame;
}

}  // namespace FrameCompose
