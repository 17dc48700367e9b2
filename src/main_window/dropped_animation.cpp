// SPDX-License-Identifier: MIT
#include "main_window/dropped_animation.h"

#include <algorithm>
#include <cctype>

#include "frame_compose/frame_sets.h"
#include "gif_format/gif_markers.h"
#include "main_window/workflow_constants.h"
#include "png_format/png_chunks.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"

#if MERVANE_FRAME_FORMATS
#include "frame_formats/format_sniff.h"
#include "frame_formats/format_source.h"
#endif

namespace MainWindow {
namespace {

// Why a file that is neither a looping GIF nor an animated WebP or APNG
// is refused, from what it is.
QString NotDivisibleWhy(std::span<const std::uint8_t> bytes) {
  if (Gif::HasGifHeader(bytes)) return QString::fromUtf8(kWhyPlaysOnce);
  const auto& png = PngFormat::kSignature;
  if (bytes.size() >= png.size() && std::equal(png.begin(), png.end(), bytes.begin())) {
    return QString::fromUtf8(kWhyPng);
  }
  return QString::fromUtf8(kWhyNotGif);
}

#if MERVANE_FRAME_FORMATS
FrameFormats::FormatComposeOptions FormatOptions(const FrameCompose::ComposeOptions& options) {
  FrameFormats::FormatComposeOptions format;
  format.budgets.largest_canvas_bytes = options.largest_canvas_bytes;
  format.pump = options.pump;
  return format;
}
#endif

}  // namespace

DroppedAnimation::DroppedAnimation(std::string source_path, std::shared_ptr<const Bytes> bytes)
    : source_path_(std::move(source_path)), bytes_(std::move(bytes)) {}

DropReading DroppedAnimation::Read(const std::string& source_path,
                                   std::shared_ptr<const Bytes> bytes) {
  std::shared_ptr<DroppedAnimation> read(new DroppedAnimation(source_path, bytes));
#if MERVANE_FRAME_FORMATS
  using FrameFormats::SourceFormat;
  const SourceFormat format = FrameFormats::SniffFormat(*bytes);
  if (format == SourceFormat::kAnimatedWebp || format == SourceFormat::kApng) {
    try {
      read->format_ = std::make_shared<const FrameFormats::FormatSource>(
          format, std::span<const std::uint8_t>(*read->bytes_), source_path);
    } catch (const FrameSplit::DivideError& refused) {
      return {nullptr, QString::fromUtf8(kWhyFormatRefused)
                           .arg(QString::fromUtf8(FrameFormats::FormatName(format)),
                                QString::fromUtf8(refused.what()))};
    }
    return {std::move(read), {}};
  }
#endif
  // Everything else is divided, or refused, as a GIF always was.
  std::optional<FrameSplit::CutPlan> cut = FrameSplit::PlanCuts(*bytes, source_path);
  if (!cut) return {nullptr, NotDivisibleWhy(*bytes)};
  read->cut_ = std::move(*cut);
  return {std::move(read), {}};
}

std::string DroppedAnimation::Extension() const {
#if MERVANE_FRAME_FORMATS
  if (format_) return format_->Extension();
#endif
  return FrameSplit::kFrameExtension;
}

bool DroppedAnimation::HasOwnWholeFrames() const {
  if (Extension() == kPngExtension) return false;
#if MERVANE_FRAME_FORMATS
  // No WebP holds a side past kLargestWebpSide, though a WebP's canvas may
  // have one: its whole frames are then offered as PNGs alone.
  if (format_) {
    const FrameFormats::AnimationRecord& canvas = format_->Animation();
    return std::max(canvas.canvas_width, canvas.canvas_height) <= FrameFormats::kLargestWebpSide;
  }
#endif
  return true;
}

FrameCompose::Encoder DroppedAnimation::WholeFrameEncoder() const {
#if MERVANE_FRAME_FORMATS
  if (format_) return format_->WholeFrameEncoder();
#endif
  return {};
}

FrameCompose::SetJsonWriter DroppedAnimation::SetJson() const {
#if MERVANE_FRAME_FORMATS
  if (format_) {
    return [format = format_](const FrameCompose::SetFacts& set,
                              const std::optional<FrameCompose::SheetLayout>& sheet) {
      return format->Json(set, sheet);
    };
  }
#endif
  return {};
}

QString DroppedAnimation::FormatName() const {
#if MERVANE_FRAME_FORMATS
  if (format_) return QString::fromUtf8(format_->Name());
#endif
  return QString::fromUtf8(kGifFormatName);
}

std::string DroppedAnimation::BaseName(const std::string& file_name,
                                       std::size_t gif_extension_length) const {
#if MERVANE_FRAME_FORMATS
  if (format_) return format_->Stem(file_name);
#endif
  return Toolkit::DropLastCharacters(file_name, gif_extension_length);
}

int DroppedAnimation::FrameCount() const {
#if MERVANE_FRAME_FORMATS
  if (format_) return static_cast<int>(format_->Frames().size());
#endif
  return static_cast<int>(cut_.frame_starts.size());
}

FrameCompose::Survey DroppedAnimation::Survey(const FrameCompose::ComposeOptions& options) const {
#if MERVANE_FRAME_FORMATS
  if (format_) {
    return {FrameCount(), format_->Animation().canvas_width, format_->Animation().canvas_height};
  }
#endif
  return FrameCompose::SurveyFrames(*bytes_, options);
}

DroppedAnimation::Bytes DroppedAnimation::FrameFile(int number) const {
#if MERVANE_FRAME_FORMATS
  if (format_) return format_->FrameFile(number);
#endif
  return FrameSplit::FrameFileBytes(*bytes_, cut_, number);
}

int DroppedAnimation::WriteFrames(const std::string& prefix, Toolkit::Progress& progress,
                                  const std::function<bool(int)>& wanted) const {
  if (!format_) return FrameSplit::WriteFrames(*bytes_, cut_, prefix, progress, wanted);
  // As the GIF's frames are written: in order, the progress box after each
  // and the events let run, so that END is answered between two files.
  const int frames = FrameCount();
  const float step = progress.Width() / static_cast<float>(std::max(frames, 1));
  int written = 0;
  for (int number = 1; number <= frames; ++number) {
    if (!wanted || wanted(number)) {
      const Bytes file = FrameFile(number);
      Toolkit::WriteFileInPieces(FrameSplit::FrameFileName(prefix, number, Extension()), file, {},
                                 {});
      ++written;
    }
    progress.DrawBox(static_cast<float>(number) * step);
    progress.DoEvents();
  }
  progress.Clear();
  return written;
}

void DroppedAnimation::Compose(const FrameCompose::FrameSink& sink,
                               const FrameCompose::ComposeOptions& options) const {
  FrameCompose::AnimationFacts animation;
  if (const FrameSource frames = ComposedFrames(options)) return frames(sink, animation);
  FrameCompose::Compose(*bytes_, source_path_, sink, animation, options);
}

DroppedAnimation::FrameSource DroppedAnimation::ComposedFrames(
    const FrameCompose::ComposeOptions& options) const {
#if MERVANE_FRAME_FORMATS
  if (format_) {
    return [format = format_, composing = FormatOptions(options)](
               const FrameCompose::FrameSink& sink, FrameCompose::AnimationFacts& animation) {
      format->Compose(sink, animation, composing);
    };
  }
#endif
  (void)options;
  return {};
}

std::optional<FrameCompose::Canvas> DroppedAnimation::ComposeFrame(
    int number, const FrameCompose::ComposeOptions& options) const {
  if (!format_) return FrameCompose::ComposeFrame(*bytes_, source_path_, number, options);
  std::optional<FrameCompose::Canvas> frame;
  Compose(
      [&](const FrameCompose::FrameFacts& facts, const FrameCompose::Canvas* canvas) {
        if (facts.number != number) return true;
        frame = *canvas;
        return false;
      },
      options);
  return frame;
}

std::optional<FrameCompose::Canvas> DroppedAnimation::StoredFrame(
    int number, const FrameCompose::ComposeOptions& options,
    FrameCompose::FrameFacts* facts) const {
#if MERVANE_FRAME_FORMATS
  if (format_) {
    FrameFormats::Budgets budgets;
    budgets.largest_canvas_bytes = options.largest_canvas_bytes;
    // The picture it is placed on is the animation's: within the budget too.
    const FrameFormats::AnimationRecord& screen = format_->Animation();
    if (!FrameFormats::CanvasFits(static_cast<std::uint64_t>(screen.canvas_width),
                                  static_cast<std::uint64_t>(screen.canvas_height), budgets)) {
      throw FrameCompose::ComposeError(
          source_path_, number, 0, FrameFormats::FaultText(FrameFormats::Fault::kCanvasTooLarge));
    }
    const FrameCompose::Canvas patch = format_->StoredFrame(number, budgets);
    const FrameCompose::FrameFacts placed =
        FrameFormats::FactsOf(format_->Frames().at(static_cast<std::size_t>(number - 1)));
    // The patch at its place on a picture of the animation's size, as a
    // GIF frame file's patch is shown; the readers keep every frame's
    // region inside the canvas.
    FrameCompose::Canvas whole;
    whole.width = format_->Animation().canvas_width;
    whole.height = format_->Animation().canvas_height;
    whole.pixels.assign(static_cast<std::size_t>(whole.width) * whole.height, 0);
    const int width = std::min(patch.width, whole.width - placed.left);
    const int height = std::min(patch.height, whole.height - placed.top);
    for (int y = 0; width > 0 && y < height; ++y) {
      const auto from = patch.pixels.begin() + static_cast<std::ptrdiff_t>(y) * patch.width;
      std::copy(from, from + width,
                whole.pixels.begin() + static_cast<std::ptrdiff_t>(placed.top + y) * whole.width +
                    placed.left);
    }
    if (facts != nullptr) *facts = placed;
    return whole;
  }
#endif
  return FrameCompose::ComposeFrame(FrameFile(number), {}, 1, options, facts);
}

long long DroppedAnimation::DelayMs(const FrameCompose::FrameFacts& facts) const {
#if MERVANE_FRAME_FORMATS
  if (format_) return format_->Frames().at(static_cast<std::size_t>(facts.number - 1)).delay_ms;
#endif
  return static_cast<long long>(facts.delay_cs) * 10;
}

QString DroppedAnimation::FormatFacts(int number) const {
#if MERVANE_FRAME_FORMATS
  if (format_ && number >= 1 && number <= FrameCount()) {
    const FrameFormats::FrameRecord& record =
        format_->Frames()[static_cast<std::size_t>(number - 1)];
    QString facts = QString::fromUtf8(kFormatFactsTip)
                        .arg(QString::fromUtf8(FrameFormats::DisposeName(record.dispose)),
                             QString::fromUtf8(FrameFormats::BlendName(record.blend)));
    // An APNG stores its delay as a fraction, which milliseconds may round;
    // a denominator of 0 stands for 100.
    if (record.delay_den != 0 || record.delay_num != 0) {
      facts += QString::fromUtf8(kStoredDelayTip)
                   .arg(record.delay_num)
                   .arg(record.delay_den == 0 ? kApngDefaultDenominator : record.delay_den);
    }
    return facts;
  }
#endif
  (void)number;
  return {};
}

QString DroppedAnimation::CutShort() const {
#if MERVANE_FRAME_FORMATS
  if (format_ && format_->Damage()) {
    return QString::fromUtf8(format_->CutShort() ? kCutShortTip : kDamagedWholeTip)
        .arg(format_->Damage()->offset)
        .arg(QString::fromStdString(format_->Damage()->Reason()))
        .arg(FrameCount());
  }
#endif
  return {};
}

bool DroppedAnimation::IsPatch(const FrameCompose::FrameFacts& facts,
                               const FrameCompose::Survey& screen) const {
  const bool covers = facts.left == 0 && facts.top == 0 && facts.width == screen.width &&
                      facts.height == screen.height;
  if (!covers) return true;
#if MERVANE_FRAME_FORMATS
  if (format_) {
    // Drawn over the frames before by its alpha, its file alone may not be
    // the whole picture.
    return facts.number > 1 &&
           format_->Frames().at(static_cast<std::size_t>(facts.number - 1)).blend ==
               FrameFormats::Blend::kOver;
  }
#endif
  return facts.number > 1 && facts.transparent_index.has_value();
}

void DroppedAnimation::WriteJson(const std::vector<int>& numbers,
                                 const std::function<std::string(int number)>& path_of,
                                 const std::string& sidecar,
                                 const std::function<void()>& pump) const {
#if MERVANE_FRAME_FORMATS
  if (format_) {
    const std::string json = format_->Json(numbers, path_of);
    Toolkit::WriteFileInPieces(
        sidecar, std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()), {},
        {});
    return;
  }
#endif
  FrameCompose::SetFacts set = FrameCompose::ReadSetFacts(
      *bytes_, source_path_,
      [&numbers](int number) { return std::binary_search(numbers.begin(), numbers.end(), number); },
      nullptr, pump);
  FrameCompose::NameFiles(set, path_of);
  FrameCompose::WriteSetJson(sidecar, set);
}

}  // namespace MainWindow
