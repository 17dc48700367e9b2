// The drop-and-divide workflow of the main window.

#include <QLabel>
#include <exception>
#include <vector>

#include "frame_split/frame_split.h"
#include "frame_split/gif_markers.h"
#include "frame_split/split_progress.h"
#include "main_window/form_main.h"
#include "main_window/workflow_constants.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"
#include "toolkit/image_control.h"
#include "toolkit/picture_box.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"
#include "toolkit/scroll_bar.h"

namespace MainWindow {
namespace {

// Runs one step of the workflow. A step that fails is abandoned, whatever
// it built is released, and the workflow goes on with the next step; the
// values it was to set keep their empty start values (0, or no text).
template <typename Step>
void Guarded(Step&& step) noexcept {
  try {
    step();
  } catch (const std::exception&) {
  }
}

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

double Ratio(std::int32_t width, std::int32_t height) {
  if (height == 0) {
    throw Toolkit::PlatformError(
        "divide", "picture width by height", "Division by zero",
        width == 0 ? Toolkit::ErrorNumber::kOverflow : Toolkit::ErrorNumber::kDivisionByZero);
  }
  return static_cast<double>(width) / height;
}

}  // namespace

void Form_main::ResetAfterRefusal() {
  Guarded([&] { Picture1->Cls(); });
  Guarded([&] { Progress->setVisible(false); });
  Guarded([&] { Label1->setText(QString::fromUtf8(kIdleCaption)); });
}

void Form_main::Picture1_OLEDragDrop(const Toolkit::DropData& Data, std::int32_t&, std::int16_t,
                                     std::int16_t, float, float) {
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

  std::string source_path, file_name, base_name;
  std::int32_t picture_height = 0, picture_width = 0;
  double aspect_ratio = 0, thumbnail_width = 0, progress_step = 0, strip_width = 0;
  float progress_width = 0, strip_height = 0, viewport_width = 0;
  int frame_count = 0;
  std::vector<std::uint8_t> source_bytes;

  Guarded([&] { Picture1->Cls(); });
  Guarded([&] { Progress->setVisible(true); });
  Guarded([&] { progress_width = Progress->Width(); });
  Guarded([&] { source_path = Data.files.at(0); });
  Guarded([&] { Picture2->SetPicture(Toolkit::LoadPicture(source_path)); });
  Guarded([&] { file_name = Toolkit::Dir(source_path, Toolkit::kAttrNormal); });
  Guarded([&] { base_name = Toolkit::DropLastCharacters(file_name, kExtensionLength); });
  Guarded([&] { picture_height = Toolkit::CLng(Picture2->ImageHeightHimetric()); });
  Guarded([&] { picture_width = Toolkit::CLng(Picture2->ImageWidthHimetric()); });
  Guarded([&] { aspect_ratio = Ratio(picture_width, picture_height); });
  Guarded([&] { strip_height = Picture1->Height() - kNumberBand; });
  Guarded([&] { thumbnail_width = aspect_ratio * strip_height; });
  Guarded([&] { Image1->SetPicture(Picture2->GetPicture()); });
  // Read the source before the work folder is emptied: it may be one of the
  // work folder's own files, and a source that cannot be read must not cost
  // the user the frames of the previous drop.
  Guarded([&] { source_bytes = Toolkit::ReadWholeFile(source_path); });
  if (!source_bytes.empty()) {
    Guarded([&] { Toolkit::KillEveryFile(WorkFolder()); });
    Guarded([&] {
      WindowProgress progress(*Progress);
      frame_count =
          FrameSplit::SplitAnimation(source_bytes, source_path, OutputPrefix(base_name), progress);
    });
  }
  std::vector<std::uint8_t>().swap(source_bytes);

  if (frame_count == 0) {
    ResetAfterRefusal();
    Guarded([&] { services_.message_boxes->MsgBox(this, QString::fromUtf8(kCantDivide)); });
    return;
  }
  if (frame_count >= kFrameLimit) {
    ResetAfterRefusal();
    Guarded([&] { services_.message_boxes->MsgBox(this, QString::fromUtf8(kTooManyFrames)); });
    return;
  }

  Guarded([&] { progress_step = static_cast<double>(progress_width) / frame_count; });
  Guarded(
      [&] { Label1->setText(QString::number(frame_count) + QString::fromUtf8(kImagesSuffix)); });
  Guarded([&] { strip_width = (thumbnail_width + kSlotPadding) * frame_count + kSlotPadding; });
  Guarded([&] { viewport_width = Picture3->Width(); });
  Guarded([&] { Picture1->SetWidth(static_cast<float>(strip_width)); });
  // The range is 32-bit: a wide strip must scroll to its last frame.
  if (strip_width > viewport_width) {
    Guarded([&] {
      HScroll1->SetMax(Toolkit::CLng((strip_width - viewport_width) / kTwipsPerScrollUnit));
    });
    Guarded([&] {
      HScroll1->SetLargeChange(
          Toolkit::CLng((thumbnail_width + kSlotPadding) / kTwipsPerScrollUnit));
    });
    Guarded([&] {
      HScroll1->SetSmallChange(
          Toolkit::CLng(static_cast<double>(HScroll1->LargeChange()) / kSmallChangeDivisor));
    });
  } else {
    Guarded([&] { HScroll1->SetMax(0); });
  }

  if (frame_count >= kFewestPainted && frame_count < kFrameLimit) {
    for (int n = 1; n <= frame_count; ++n) {
      double thumbnail_left = 0;
      std::string frame_path;
      Guarded(
          [&] { thumbnail_left = (n - 1) * (thumbnail_width + kSlotPadding) + kThumbnailInset; });
      Guarded([&] { frame_path = FrameSplit::FrameFileName(OutputPrefix(base_name), n); });
      Guarded([&] {
        Picture1->PaintPicture(Toolkit::LoadPicture(frame_path), static_cast<float>(thumbnail_left),
                               0, static_cast<float>(thumbnail_width), strip_height);
      });
      Guarded([&] {
        const auto x = static_cast<float>(thumbnail_left - kThumbnailInset);
        Picture1->Line(x, 0, x, strip_height + kNumberBand);
      });
      Guarded([&] { Picture1->CurrentX = static_cast<float>(thumbnail_left); });
      Guarded([&] { Picture1->CurrentY = strip_height + kNumberGap; });
      Guarded([&] {
        Picture1->Print(
            QString::fromStdString(Toolkit::Format(n, FrameSplit::kFrameNumberPicture)));
      });
      Guarded(
          [&] { Progress->Box(0, 0, static_cast<float>(n * progress_step), kProgressBoxHeight); });
      Guarded([&] { Toolkit::DoEvents(); });
    }
  }
  Guarded([&] { Progress->Cls(); });
  Guarded([&] { Progress->setVisible(false); });
}

}  // namespace MainWindow
