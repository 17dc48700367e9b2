// SPDX-License-Identifier: MIT
// The drop-and-divide workflow of the main window: read the dropped file,
// divide it into the work folder, lay out the strip and paint its thumbnails.

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_files.h"
#include "frame_compose/save_frames.h"
#include "frame_split/frame_split.h"
#include "gif_format/gif_markers.h"
#include "main_window/flag_scope.h"
#include "main_window/form_main.h"
#include "main_window/guarded.h"
#include "main_window/strip_plan.h"
#include "main_window/window_progress.h"
#include "main_window/workflow_constants.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"
#include "toolkit/image_control.h"
#include "toolkit/path_text.h"
#include "toolkit/picture_box.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"
#include "toolkit/progress.h"
#include "toolkit/scroll_bar.h"

namespace MainWindow {
namespace {

FrameCompose::ComposeOptions ThumbnailOptions() {
  return WindowComposeOptions(kLargestThumbnailCanvas);
}

Toolkit::Picture PictureOf(const FrameCompose::Canvas& canvas) {
  return Toolkit::Picture(ImageOf(canvas));
}

// The part of `canvas` that the frame of `facts` covers, transparent
// elsewhere: a viewer would show its file on a background colour.
QImage PatchOf(const FrameCompose::Canvas& canvas, const FrameCompose::FrameFacts& facts) {
  QImage patch(canvas.width, canvas.height, QImage::Format_RGBA8888);
  patch.fill(Qt::transparent);
  QPainter painter(&patch);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  const QRect area(facts.left, facts.top, facts.width, facts.height);
  painter.drawImage(area.topLeft(), ImageOf(canvas), area);
  return patch;
}

// True when the frame's rectangle is the whole picture.
bool CoversScreen(const FrameCompose::FrameFacts& frame, const FrameCompose::Survey& screen) {
  return frame.left == 0 && frame.top == 0 && frame.width == screen.width &&
         frame.height == screen.height;
}

}  // namespace

QImage ImageOf(const FrameCompose::Canvas& canvas) {
  return QImage(reinterpret_cast<const uchar*>(canvas.pixels.data()), canvas.width, canvas.height,
                QImage::Format_RGBA8888)
      .copy();
}

FrameCompose::ComposeOptions WindowComposeOptions(std::size_t largest_canvas_bytes) {
  FrameCompose::ComposeOptions options;
  options.largest_canvas_bytes = largest_canvas_bytes;
  options.pump = [] { Toolkit::DoEvents(); };
  return options;
}

struct Form_main::ReadDrop {
  std::string source_path;
  std::shared_ptr<const DroppedAnimation> animation;
};

void Form_main::Refuse(const char* message, const QString& why) {
  QString text = QString::fromUtf8(message);
  if (!why.isEmpty()) text += QLatin1Char('\n') + why;
  Guarded("showing a refusal", [&] { services_.message_boxes->MsgBox(this, text); });
}

void Form_main::ClearStrip() {
  Strip()->Cls();
  frame_slots_.clear();
  last_drop_.shown = 0;
  selection_.Reset(0);
  UpdateMarks();
}

void Form_main::ResetAfterRefusal(const char* message, const QString& why) {
  ClearStrip();
  CountLabel()->setText(QString::fromUtf8(Toolkit::kProgramName));
  Refuse(message, why);
}

std::optional<Form_main::ReadDrop> Form_main::ReadAndPlan(const Toolkit::DropData& data) {
  // Read the source and plan its cut before anything changes: it may be one
  // of the work folder's own files, and a file that cannot be read or cut
  // must not cost the user the frames, the strip or the work folder of the
  // previous drop. A large file comes in while the window answers.
  if (data.files.empty()) {
    Refuse(kCantDivide, QString::fromUtf8(kWhyNoFile));
    return std::nullopt;
  }
  ReadDrop read{data.files.front(), nullptr};
  try {
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(
        Toolkit::ReadWholeFile(read.source_path, [] { Toolkit::DoEvents(); }));
    // Its format is told by its bytes, before anything changes.
    DropReading reading = DroppedAnimation::Read(read.source_path, std::move(bytes));
    if (!reading.animation) {
      Refuse(kCantDivide, reading.refusal);
      return std::nullopt;
    }
    read.animation = std::move(reading.animation);
  } catch (const std::exception& failure) {
    Refuse(kCantDivide, FailureText(failure));
    return std::nullopt;
  }
  return read;
}

QString Form_main::NameRefusal(const std::string& file_name, const std::string& base_name,
                               int frames, const std::string& extension) const {
  // The last frame's name is the longest.
  if (Toolkit::NameFits(FrameSplit::FrameFileName(OutputPrefix(base_name), frames, extension))) {
    return {};
  }
  return QString::fromUtf8(kWhyNameTooLong).arg(Toolkit::PathToText(file_name));
}

QString Form_main::DivisionFailure(const Toolkit::PlatformError& failure) const {
  if (failure.kind() == Toolkit::FailureKind::kDiskFull) {
    return QString::fromUtf8(kWhyDiskFull)
        .arg(QDir::toNativeSeparators(Toolkit::PathToText(WorkFolder())));
  }
  return QString::fromUtf8(failure.what());
}

void Form_main::OnFilesDropped(const Toolkit::DropData& Data) {
  // Only reachable through the event pump of a running drop: such a drop
  // would empty the work folder under the running division.
  if (busy_) return;
  const FlagScope busy(busy_);
  // Whatever the last drop's frames had open would act on this one's.
  CloseWhatTheLastDropOpened();
  // Emptying or writing through a link named like the work folder would
  // destroy whatever it points to: refuse the drop and touch nothing.
  if (const QString refusal = WorkFolderRefusal(); !refusal.isEmpty()) {
    Guarded("refusing the work folder", [&] { services_.message_boxes->MsgBox(this, refusal); });
    return;
  }
  std::optional<ReadDrop> read = ReadAndPlan(Data);
  if (!read) return;
  const std::string file_name = Toolkit::FileNameOf(read->source_path);
  const std::string base_name = read->animation->BaseName(file_name, kExtensionLength);
  const int frames = read->animation->FrameCount();
  if (const QString refusal =
          NameRefusal(file_name, base_name, frames, read->animation->Extension());
      !refusal.isEmpty()) {
    return Refuse(kCantDivide, refusal);
  }

  ClearStrip();
  std::optional<Refusal> refusal;
  {
    // Gone before a refusal's box opens.
    const ShownProgress shown(*ProgressStrip());
    refusal = DivideAndShow(Data, std::move(*read), file_name, base_name);
  }
  if (refusal) ResetAfterRefusal(refusal->message, refusal->why);
}

std::optional<Form_main::Refusal> Form_main::DivideAndShow(const Toolkit::DropData& data,
                                                           ReadDrop read,
                                                           const std::string& file_name,
                                                           const std::string& base_name) {
  const float progress_width = ProgressStrip()->Width();
  // The strip takes the picture's ratio from our own reading of the screen
  // and the first frame: nothing is decoded for it. A file that is no GIF
  // keeps the previous drop's picture, and so its ratio.
  const FrameCompose::Survey survey = read.animation->Survey(ThumbnailOptions());
  if (survey.width > 0 && survey.height > 0) {
    Measurer()->SetPicture(Toolkit::Picture::Placeholder(QSize(survey.width, survey.height)));
  }
  Preview()->SetPicture(Measurer()->GetPicture());

  // A file dropped from the work folder is the user's: it stays.
  if (Toolkit::SameFile(Toolkit::FolderOf(read.source_path), WorkFolder()) &&
      std::find(users_files_in_work_folder_.begin(), users_files_in_work_folder_.end(),
                read.source_path) == users_files_in_work_folder_.end()) {
    users_files_in_work_folder_.push_back(read.source_path);
  }
  ++drop_serial_;  // from here on, the last drop's frames are gone
  Guarded("emptying the work folder", [&] {
    try {
      Toolkit::KillEveryFile(WorkFolder(), users_files_in_work_folder_);
    } catch (const Toolkit::PlatformError& failure) {
      // A work folder with nothing in it, as at every first drop, is
      // already empty: nothing to log.
      if (failure.kind() != Toolkit::FailureKind::kNotFound) throw;
    }
  });
  int frame_count = 0;
  try {
    WindowProgress progress(*ProgressStrip());
    frame_count = read.animation->WriteFrames(OutputPrefix(base_name), progress);
  } catch (const Toolkit::PlatformError& failure) {
    return Refusal{kCantDivide, DivisionFailure(failure)};
  }
  last_drop_ = {read.source_path,          file_name, base_name,
                std::move(read.animation), survey,    frame_count};
  QStringList count_tips;
  if (data.files.size() > 1) {
    count_tips << QString::fromUtf8(kOtherFilesDropped)
                      .arg(data.files.size())
                      .arg(Toolkit::PathToText(file_name));
  }
  // Nothing else would tell frames lost to the damage from frames never there.
  if (const QString cut_short = last_drop_.animation->CutShort(); !cut_short.isEmpty()) {
    count_tips << cut_short;
  }
  CountLabel()->setToolTip(count_tips.join(QLatin1Char('\n')));
  if (frame_count >= kFrameLimit) {
    return Refusal{kTooManyFrames,
                   QString::fromUtf8(kWhyTooManyFrames).arg(frame_count).arg(kFrameLimit)};
  }
  ShowFrames(frame_count, progress_width, survey);
  return std::nullopt;
}

void Form_main::ShowFrames(int frame_count, float progress_width,
                           const FrameCompose::Survey& survey) {
  CountLabel()->setText(QString::number(frame_count) + QString::fromUtf8(kImagesSuffix));
  const StripPlan plan =
      PlanStrip(frame_count, Measurer()->ImageWidthHimetric(), Measurer()->ImageHeightHimetric(),
                Strip()->Height(), Viewport()->Width());
  Strip()->SetWidth(static_cast<float>(plan.strip_width));
  if (plan.scroll_max) StripScrollBar()->SetMax(*plan.scroll_max);
  if (plan.large_change) StripScrollBar()->SetLargeChange(*plan.large_change);
  if (plan.small_change) StripScrollBar()->SetSmallChange(*plan.small_change);
  patches_ = false;
  if (frame_count >= kFewestPainted) PaintStrip(plan, progress_width, survey);
  selection_.Reset(static_cast<int>(frame_slots_.size()));
  UpdateMarks();
  if (patches_) {
    // Said where the count is, before anyone opens the work folder.
    const QString others = CountLabel()->toolTip();
    CountLabel()->setToolTip((others.isEmpty() ? others : others + QLatin1Char('\n')) +
                             QString::fromUtf8(kPatchesTip));
  }
}

QString Form_main::ThumbnailTip(int number, const FrameCompose::FrameFacts* facts, int same_as,
                                const QString& unshown) const {
  const char* tip = facts == nullptr  ? kFrameTipWithoutDelay
                    : facts->complete ? kFrameTip
                                      : kIncompleteFrameTip;
  QString text = QString::fromUtf8(tip).arg(number);
  if (facts != nullptr) {
    text =
        text.arg(last_drop_.animation->DelayMs(*facts)) + last_drop_.animation->FormatFacts(number);
  }
  text += QString::fromUtf8(as_stored_ ? kTipAsStored : kTipAsItAppears);
  if (facts != nullptr && !CoversScreen(*facts, last_drop_.survey)) {
    text += QString::fromUtf8(kPatchTip)
                .arg(facts->width)
                .arg(facts->height)
                .arg(facts->left)
                .arg(facts->top);
  }
  if (same_as != 0) text += QString::fromUtf8(kSameAsTip).arg(same_as);
  if (!unshown.isEmpty()) text += QString::fromUtf8(kUnshownTip).arg(unshown);
  return text;
}

void Form_main::PaintSlot(const StripPlan& plan, std::size_t index, const Toolkit::Picture& picture,
                          const QString& tip, double progress_step) {
  const SlotPlan& slot = plan.places[index];
  const int number = static_cast<int>(index) + 1;
  const auto left = static_cast<float>(slot.thumbnail_left);
  const auto width = static_cast<float>(plan.thumbnail_width);
  Strip()->PaintPicture(picture, left, 0, width, plan.thumbnail_height);
  frame_slots_.emplace_back(left, 0, width, plan.thumbnail_height);
  Strip()->AddToolTip(left, 0, width, plan.thumbnail_height, tip);
  const auto x = static_cast<float>(slot.separator_x);
  Strip()->Line(x, 0, x, plan.thumbnail_height + kNumberBand);
  Strip()->CurrentX = left + kNumberIndent;
  Strip()->CurrentY = slot.number_top;
  Strip()->Print(QString::fromStdString(Toolkit::Format(number, FrameSplit::kFrameNumberPicture)));
  ProgressStrip()->Box(0, 0, static_cast<float>(number * progress_step), kProgressBoxHeight);
  Toolkit::DoEvents();
}

void Form_main::PaintStrip(const StripPlan& plan, float progress_width,
                           const FrameCompose::Survey& survey) {
  const double progress_step = static_cast<double>(progress_width) / plan.places.size();
  // Thumbnails show each frame as it appears, composed once per drop, or
  // as its file stores it; the frame files stay the exact cut.
  const std::size_t composed = as_stored_ ? 0 : PaintComposed(plan, survey, progress_step);
  PaintFrameByFrame(plan, composed, survey, progress_step);
}

std::size_t Form_main::PaintComposed(const StripPlan& plan, const FrameCompose::Survey& survey,
                                     double progress_step) {
  std::size_t painted = 0;
  FrameCompose::ComposeOptions options = ThumbnailOptions();
  options.survey = survey;
  FrameCompose::Canvas run;  // the picture of the run the last frame belongs to
  int run_first = 0;
  try {
    last_drop_.animation->Compose(
        [&](const FrameCompose::FrameFacts& frame, const FrameCompose::Canvas* canvas) {
          const bool same = run_first != 0 && FrameCompose::SamePicture(*canvas, run);
          if (!same) {
            run.width = canvas->width;
            run.height = canvas->height;
            run.pixels.assign(canvas->pixels.begin(), canvas->pixels.end());
            run_first = frame.number;
          }
          patches_ = patches_ || last_drop_.animation->IsPatch(frame, survey);
          const QString tip = ThumbnailTip(frame.number, &frame, same ? run_first : 0);
          PaintSlot(plan, painted++, PictureOf(*canvas), tip, progress_step);
          return painted < plan.places.size();
        },
        options);
  } catch (const FrameCompose::ComposeError&) {
    // The frames it could not compose are shown from their own files.
  }
  return painted;
}

void Form_main::PaintFrameByFrame(const StripPlan& plan, std::size_t first,
                                  const FrameCompose::Survey& survey, double progress_step) {
  const QSize screen(survey.width, survey.height);
  const bool too_large =
      static_cast<std::size_t>(screen.width()) * screen.height() * 4 > kLargestThumbnailCanvas;
  for (std::size_t index = first; index < plan.places.size(); ++index) {
    const int number = static_cast<int>(index) + 1;
    if (too_large) {
      PaintSlot(plan, index, Toolkit::Picture::Placeholder(screen),
                ThumbnailTip(number, nullptr, 0), progress_step);
      continue;
    }
    // Each frame file is composed on its own, as far as its bytes go, from
    // the bytes it was cut from: what it held when it was written.
    Toolkit::Picture picture;
    FrameCompose::FrameFacts facts;
    QString unshown = QString::fromUtf8(kNoPictureInFile);
    try {
      if (const auto frame =
              last_drop_.animation->StoredFrame(number, ThumbnailOptions(), &facts)) {
        picture = as_stored_ ? Toolkit::Picture(Toolkit::OverCheckerboard(PatchOf(*frame, facts)))
                             : PictureOf(*frame);
      }
    } catch (const std::exception& failure) {
      unshown = FailureText(failure);
    }
    const bool shown = !picture.IsNull();
    facts.number = number;  // its own file numbers it 1
    if (shown) patches_ = patches_ || last_drop_.animation->IsPatch(facts, survey);
    PaintSlot(plan, index, picture,
              ThumbnailTip(number, shown ? &facts : nullptr, 0, shown ? QString() : unshown),
              progress_step);
  }
}

}  // namespace MainWindow
