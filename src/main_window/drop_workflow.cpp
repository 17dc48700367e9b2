// SPDX-License-Identifier: MIT
// The drop-and-divide workflow of the main window: read the dropped file,
// divide it into the work folder, lay out the strip and paint its thumbnails.

#include <QDir>
#include <QImage>
#include <QLabel>
#include <algorithm>
#include <optional>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/save_frames.h"
#include "frame_split/frame_split.h"
#include "frame_split/gif_markers.h"
#include "frame_split/split_progress.h"
#include "main_window/form_main.h"
#include "main_window/guarded.h"
#include "main_window/strip_plan.h"
#include "main_window/workflow_constants.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"
#include "toolkit/image_control.h"
#include "toolkit/path_text.h"
#include "toolkit/picture_box.h"
#include "toolkit/platform.h"
#include "toolkit/scroll_bar.h"

namespace MainWindow {
namespace {

// The divider's view of the window: the progress strip and the event pump.
class WindowProgress final : public FrameSplit::SplitProgress {
 public:
  explicit WindowProgress(Toolkit::PictureBox& strip) : strip_(strip) {}
  float Width() override { return strip_.Width(); }
  void DrawBox(float right) override { strip_.Box(0, 0, right, kProgressBoxHeight); }
  void Clear() override { strip_.Cls(); }
  void DoEvents() override { Toolkit::DoEvents(); }

 private:
  Toolkit::PictureBox& strip_;
};

// Marks a drop as being worked on for as long as the handler runs.
class DividingScope {
 public:
  explicit DividingScope(bool& flag) : flag_(flag) { flag_ = true; }
  DividingScope(const DividingScope&) = delete;
  DividingScope& operator=(const DividingScope&) = delete;
  ~DividingScope() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace

void Form_main::ResetAfterRefusal(const char* message) {
  Strip()->Cls();
  frame_slots_.clear();
  Progress->setVisible(false);
  CountLabel()->setText(QString::fromUtf8(Toolkit::kProgramName));
  Guarded([&] { services_.message_boxes->MsgBox(this, QString::fromUtf8(message)); });
}

void Form_main::OnFilesDropped(const Toolkit::DropData& Data) {
  // Only reachable through the event pump of a running drop: such a drop
  // would empty the work folder under the running division.
  if (dividing_) return;
  const DividingScope dividing(dividing_);
  // Emptying or writing through a link named like the work folder would
  // destroy whatever it points to: refuse the drop and touch nothing.
  if (const QString refusal = WorkFolderRefusal(); !refusal.isEmpty()) {
    Guarded([&] { services_.message_boxes->MsgBox(this, refusal); });
    return;
  }

  // Read the source and plan its cut before anything changes: it may be one
  // of the work folder's own files, and a file that cannot be read or cut
  // (no looping signature, no header end, no frame) must not cost the user
  // the frames, the strip or the work folder of the previous drop.
  std::string source_path;
  Guarded([&] { source_path = Data.files.at(0); });
  std::vector<std::uint8_t> source_bytes;
  Guarded([&] { source_bytes = Toolkit::ReadWholeFile(source_path); });
  std::optional<FrameSplit::CutPlan> cut;
  if (!source_bytes.empty())
    Guarded([&] { cut = FrameSplit::PlanCuts(source_bytes, source_path); });
  if (!cut) {
    Guarded([&] { services_.message_boxes->MsgBox(this, QString::fromUtf8(kCantDivide)); });
    return;
  }

  Strip()->Cls();
  frame_slots_.clear();
  Progress->setVisible(true);
  const float progress_width = Progress->Width();
  // When the file is no picture, the measurer keeps the previous drop's
  // picture, and the strip takes that picture's ratio.
  // Only its size is wanted: a screen past the thumbnails' budget stays undecoded.
  Guarded([&] {
    Measurer()->SetPicture(Toolkit::LoadPicture(source_path, kLargestThumbnailCanvas));
  });
  Preview()->SetPicture(Measurer()->GetPicture());
  const std::string base_name = Toolkit::DropLastCharacters(
      Toolkit::Dir(source_path, Toolkit::kAttrNormal), kExtensionLength);

  int frame_count = 0;
  Guarded([&] { Toolkit::KillEveryFile(WorkFolder()); });
  Guarded([&] {
    WindowProgress progress(*Progress);
    frame_count = FrameSplit::WriteFrames(source_bytes, *cut, OutputPrefix(base_name), progress);
  });
  if (frame_count > 0) last_drop_ = {source_path, base_name};
  if (frame_count == 0) return ResetAfterRefusal(kCantDivide);
  if (frame_count >= kFrameLimit) return ResetAfterRefusal(kTooManyFrames);

  CountLabel()->setText(QString::number(frame_count) + QString::fromUtf8(kImagesSuffix));
  const StripPlan plan =
      PlanStrip(frame_count, Measurer()->ImageWidthHimetric(), Measurer()->ImageHeightHimetric(),
                Strip()->Height(), Viewport()->Width());
  Strip()->SetWidth(static_cast<float>(plan.strip_width));
  if (plan.scroll_max) HScroll1->SetMax(*plan.scroll_max);
  if (plan.large_change) HScroll1->SetLargeChange(*plan.large_change);
  if (plan.small_change) HScroll1->SetSmallChange(*plan.small_change);
  if (frame_count >= kFewestPainted) PaintStrip(plan, base_name, progress_width, source_bytes);
  Progress->Cls();
  Progress->setVisible(false);
}

void Form_main::PaintStrip(const StripPlan& plan, const std::string& base_name,
                           float progress_width, std::span<const std::uint8_t> source) {
  const double progress_step = static_cast<double>(progress_width) / plan.places.size();
  const float strip_bottom = plan.thumbnail_height + kNumberBand;
  std::size_t painted = 0;
  const auto paint_slot = [&](const Toolkit::Picture& picture, std::optional<int> delay_ms,
                              bool complete) {
    const SlotPlan& slot = plan.places[painted++];
    const int number = static_cast<int>(painted);
    const auto left = static_cast<float>(slot.thumbnail_left);
    const auto width = static_cast<float>(plan.thumbnail_width);
    Strip()->PaintPicture(picture, left, 0, width, plan.thumbnail_height);
    const char* tip = !delay_ms  ? kFrameTipWithoutDelay
                      : complete ? kFrameTip
                                 : kIncompleteFrameTip;
    frame_slots_.emplace_back(left, 0, width, plan.thumbnail_height);
    Strip()->AddToolTip(left, 0, width, plan.thumbnail_height,
                        delay_ms ? QString::fromUtf8(tip).arg(number).arg(*delay_ms)
                                 : QString::fromUtf8(tip).arg(number));
    const auto x = static_cast<float>(slot.separator_x);
    Strip()->Line(x, 0, x, strip_bottom);
    Strip()->CurrentX = left;
    Strip()->CurrentY = slot.number_top;
    Strip()->Print(
        QString::fromStdString(Toolkit::Format(number, FrameSplit::kFrameNumberPicture)));
    Progress->Box(0, 0, static_cast<float>(number * progress_step), kProgressBoxHeight);
    Toolkit::DoEvents();
  };

  // Thumbnails show each frame as it appears, composed once per drop; the
  // frame files stay the exact cut.
  FrameCompose::AnimationFacts animation;
  try {
    FrameCompose::ComposeOptions options;
    options.largest_canvas_bytes = kLargestThumbnailCanvas;
    options.pump = [] { Toolkit::DoEvents(); };  // a large frame must not freeze the window
    FrameCompose::Compose(
        source, last_drop_.source_path,
        [&](const FrameCompose::FrameFacts& frame, const FrameCompose::Canvas* canvas) {
          const QImage view(reinterpret_cast<const uchar*>(canvas->pixels.data()), canvas->width,
                            canvas->height, QImage::Format_RGBA8888);
          paint_slot(Toolkit::Picture(view.copy()), frame.delay_cs * 10, frame.complete);
          return painted < plan.places.size();
        },
        animation, options);
  } catch (const FrameCompose::ComposeError&) {
    // The frames it could not compose are shown from their own files below.
  }
  // A screen past the thumbnails' budget would cost the platform's decoder
  // as much again for every frame: such frames get a placeholder of their size.
  const QSize screen(animation.screen_width, animation.screen_height);
  const bool too_large =
      static_cast<std::size_t>(screen.width()) * screen.height() * 4 > kLargestThumbnailCanvas;
  while (painted < plan.places.size()) {
    Toolkit::Picture picture = Toolkit::Picture::TooLargeToDecode(screen);
    if (!too_large) {
      picture = {};
      Guarded([&] {
        picture = Toolkit::LoadPicture(
            FrameSplit::FrameFileName(OutputPrefix(base_name), static_cast<int>(painted) + 1));
      });
    }
    paint_slot(picture, std::nullopt, true);
  }
}

std::string Form_main::SavedFrameName(const std::string& folder, int number, bool png) const {
  return folder + Toolkit::PathSeparator() + last_drop_.base_name +
         Toolkit::Format(number, FrameSplit::kFrameNumberPicture) +
         (png ? kPngExtension : FrameSplit::kFrameExtension);
}

void Form_main::SaveFramesAsTheyAppear(const std::string& folder, bool png) {
  if (dividing_ || last_drop_.source_path.empty()) return;
  const DividingScope busy(dividing_);
  Progress->setVisible(true);
  const QString shown_folder = QDir::toNativeSeparators(Toolkit::PathToText(folder));
  QString outcome;
  try {
    const std::vector<std::uint8_t> bytes = Toolkit::ReadWholeFile(last_drop_.source_path);
    const float step =
        Progress->Width() / static_cast<float>(std::max(FrameCompose::CountFrames(bytes), 1));
    FrameCompose::SaveRequest request;
    request.kind = png ? FrameCompose::FileKind::kPng : FrameCompose::FileKind::kFullFrameGif;
    request.path_of = [&](int number) { return SavedFrameName(folder, number, png); };
    request.after_frame = [&](int number) {
      Progress->Box(0, 0, static_cast<float>(number) * step, kProgressBoxHeight);
      Toolkit::DoEvents();
    };
    request.pump = [] { Toolkit::DoEvents(); };
    request.keep = last_drop_.source_path;
    const FrameCompose::SaveReport report =
        FrameCompose::SaveFramesAsTheyAppear(bytes, last_drop_.source_path, request);
    outcome = QString::fromUtf8(kSaved).arg(report.written).arg(shown_folder);
    if (report.damage) {
      outcome += QString::fromUtf8(kSavedDamaged)
                     .arg(report.damage->frame())
                     .arg(QString::fromUtf8(report.damage->what()));
    }
  } catch (const std::exception& failure) {
    outcome = QString::fromUtf8(kSaveFailed).arg(shown_folder, QString::fromUtf8(failure.what()));
  }
  Progress->Cls();
  Progress->setVisible(false);
  Guarded([&] { services_.message_boxes->MsgBox(this, outcome); });
}

}  // namespace MainWindow
