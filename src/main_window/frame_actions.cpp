// SPDX-License-Identifier: MIT
// Frames out of the strip: dragged as files, copied, saved one by one or all
// as they appear, shown in the file manager; and files opened by a dialog.

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QWheelEvent>
#include <algorithm>
#include <climits>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_files.h"
#include "frame_compose/save_frames.h"
#include "frame_split/frame_split.h"
#include "gif_format/gif_markers.h"
#include "main_window/dividing_scope.h"
#include "main_window/form_main.h"
#include "main_window/guarded.h"
#include "main_window/workflow_constants.h"
#include "toolkit/conversions.h"
#include "toolkit/drop_data.h"
#include "toolkit/file_ops.h"
#include "toolkit/path_text.h"
#include "toolkit/picture_box.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"
#include "toolkit/scroll_bar.h"
#include "toolkit/units.h"

namespace MainWindow {
namespace {

constexpr int kWheelNotch = 120;  // eighths of a degree: one notch of a wheel

QString Native(const std::string& path) {
  return QDir::toNativeSeparators(Toolkit::PathToText(path));
}

}  // namespace

int Form_main::FrameAt(QPoint pixels) const {
  const QPointF twips(Toolkit::PixelsToTwips(pixels.x()), Toolkit::PixelsToTwips(pixels.y()));
  for (std::size_t i = 0; i < frame_slots_.size(); ++i) {
    if (frame_slots_[i].contains(twips)) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::string Form_main::FrameFile(int number) const {
  return FrameSplit::FrameFileName(OutputPrefix(last_drop_.base_name), number);
}

QImage Form_main::FrameAsItAppears(int number, QString* why,
                                   std::size_t largest_canvas_bytes) const {
  QString reason = QString::fromUtf8(kFrameNotInFile).arg(number);
  QImage frame;
  if (last_drop_.bytes) {
    try {
      const std::optional<FrameCompose::Canvas> canvas =
          FrameCompose::ComposeFrame(*last_drop_.bytes, last_drop_.source_path, number,
                                     WindowComposeOptions(largest_canvas_bytes));
      if (canvas) {
        frame = ImageOf(*canvas);
      }
    } catch (const FrameCompose::ComposeError& failure) {
      reason = QString::fromUtf8(failure.what());
    }
  }
  if (frame.isNull() && why != nullptr) *why = reason;
  return frame;
}

void Form_main::CopyFrame(int number) {
  QString why;
  const QImage frame = FrameAsItAppears(number, &why);
  if (frame.isNull()) {
    services_.message_boxes->MsgBox(this, QString::fromUtf8(kCopyFrameFailed).arg(number).arg(why));
    return;
  }
  Toolkit::CopyImage(frame);
}

std::string Form_main::SavedFrameName(const std::string& folder, int number, bool png) const {
  return FrameSplit::FrameFileName(folder + Toolkit::PathSeparator() + last_drop_.base_name, number,
                                   png ? kPngExtension : FrameSplit::kFrameExtension);
}

FrameCompose::SaveReport Form_main::SaveLastDrop(FrameCompose::SaveRequest request) {
  const DividingScope busy(dividing_);
  ProgressStrip()->setVisible(true);
  struct HideProgress {
    Toolkit::PictureBox* progress;
    ~HideProgress() {
      progress->Cls();
      progress->setVisible(false);
    }
  } hide{ProgressStrip()};
  const std::vector<std::uint8_t>& bytes = *last_drop_.bytes;
  request.survey = FrameCompose::SurveyFrames(bytes, WindowComposeOptions(kLargestSavedCanvas));
  const int frames = std::min(request.survey->frames, request.last.value_or(INT_MAX));
  const float step = ProgressStrip()->Width() / static_cast<float>(std::max(frames, 1));
  request.after_frame = [&](int number) {
    ProgressStrip()->Box(0, 0, static_cast<float>(number) * step, kProgressBoxHeight);
    Toolkit::DoEvents();
  };
  request.pump = [] { Toolkit::DoEvents(); };
  // The dropped file is never written over, whatever a dialog allowed.
  request.keep = last_drop_.source_path;
  return FrameCompose::SaveFramesAsTheyAppear(bytes, last_drop_.source_path, request);
}

void Form_main::SaveFramesAsTheyAppear(const std::string& folder, bool png) {
  if (dividing_ || !last_drop_.bytes) return;
  const QString shown_folder = Native(folder);
  QString outcome;
  try {
    FrameCompose::SaveRequest request;
    request.kind = png ? FrameCompose::FileKind::kPng : FrameCompose::FileKind::kFullFrameGif;
    request.path_of = [&](int number) { return SavedFrameName(folder, number, png); };
    const FrameCompose::SaveReport report = SaveLastDrop(std::move(request));
    outcome = QString::fromUtf8(kSaved).arg(report.written).arg(shown_folder);
    if (report.damage) {
      outcome += QString::fromUtf8(kSavedDamaged)
                     .arg(report.damage->frame())
                     .arg(QString::fromUtf8(report.damage->what()));
    }
    last_save_folder_ = folder;  // a folder that took the frames is worth starting in again
  } catch (const std::exception& failure) {
    outcome = QString::fromUtf8(kSaveFailed).arg(shown_folder, QString::fromUtf8(failure.what()));
  }
  Guarded([&] { services_.message_boxes->MsgBox(this, outcome); });
}

void Form_main::SaveFrameAs(int number, const std::string& path) {
  if (dividing_ || !last_drop_.bytes) return;
  const auto failed = [&](const QString& why) {
    services_.message_boxes->MsgBox(this,
                                    QString::fromUtf8(kSaveFrameFailed).arg(Native(path), why));
  };
  try {
    FrameCompose::SaveRequest request;
    const bool gif = Toolkit::PathToText(path).endsWith(QLatin1String(FrameSplit::kFrameExtension),
                                                        Qt::CaseInsensitive);
    request.kind = gif ? FrameCompose::FileKind::kFullFrameGif : FrameCompose::FileKind::kPng;
    request.path_of = [&](int) { return path; };
    request.wanted = [number](int wanted) { return wanted == number; };
    request.last = number;
    if (SaveLastDrop(std::move(request)).written == 0) {
      return failed(QString::fromUtf8(kFrameNotInFile).arg(number));
    }
    last_save_folder_ = Toolkit::FolderOf(path);
  } catch (const Toolkit::PlatformError& failure) {
    failed(QString::fromStdString(failure.reason()));
  } catch (const std::exception& failure) {
    failed(QString::fromUtf8(failure.what()));
  }
}

QString SavePathFor(const QString& chosen, const QString& filter) {
  const QLatin1String extension(
      filter == QString::fromUtf8(kGifFilter) ? FrameSplit::kFrameExtension : kPngExtension);
  return chosen.endsWith(extension, Qt::CaseInsensitive) ? chosen : chosen + extension;
}

void Form_main::ShowFrameInFolder(int number) {
  const std::string file = FrameFile(number);
  const auto failed = [this, file](const std::string& reason) {
    services_.message_boxes->MsgBox(
        this,
        QString::fromUtf8(kCannotOpenWorkFolder).arg(Native(file), QString::fromStdString(reason)));
  };
  try {
    Toolkit::ShowInFileManager(this, file, failed);
  } catch (const Toolkit::PlatformError& failure) {
    failed(failure.reason());
  }
}

void Form_main::OpenFile() {
  if (Busy()) return;
  const QString chosen = QFileDialog::getOpenFileName(this, QString::fromUtf8(kOpen), {},
                                                      QString::fromUtf8(kGifFilesFilter));
  if (!chosen.isEmpty()) OnFilesDropped({{Toolkit::PathFromText(chosen)}});
}

bool Form_main::MayReplace(const std::vector<std::string>& paths, const QString& folder) {
  const auto there = std::count_if(paths.begin(), paths.end(), [](const std::string& path) {
    return Toolkit::KindOf(path) != Toolkit::EntryKind::kNothing;
  });
  if (there == 0) return true;
  QMessageBox ask(QMessageBox::Question, QString::fromUtf8(Toolkit::kProgramName),
                  QString::fromUtf8(kReplaceQuestion).arg(there).arg(folder), QMessageBox::Cancel,
                  this);
  QPushButton* replace = ask.addButton(QString::fromUtf8(kReplace), QMessageBox::AcceptRole);
  ask.setDefaultButton(QMessageBox::Cancel);
  ask.exec();
  return ask.clickedButton() == replace;
}

void Form_main::SaveFramesDialog() {
  if (!last_drop_.bytes) return;
  const std::string start =
      last_save_folder_.empty() ? Toolkit::PicturesFolder() : last_save_folder_;
  const QString folder = QFileDialog::getExistingDirectory(
      this, QString::fromUtf8(kSaveAsTheyAppear), Toolkit::PathToText(start));
  if (folder.isEmpty()) return;
  QMessageBox ask(
      QMessageBox::Question, QString::fromUtf8(Toolkit::kProgramName),
      QString::fromUtf8(kSaveFormatQuestion).arg(Toolkit::PathToText(last_drop_.file_name)),
      QMessageBox::Cancel, this);
  QPushButton* gif = ask.addButton(QString::fromUtf8(kGifFilesButton), QMessageBox::AcceptRole);
  QPushButton* png = ask.addButton(QString::fromUtf8(kPngFilesButton), QMessageBox::AcceptRole);
  ask.setDefaultButton(gif);
  ask.exec();
  if (ask.clickedButton() != gif && ask.clickedButton() != png) return;
  const bool as_png = ask.clickedButton() == png;
  const std::string target = Toolkit::PathFromText(folder);
  std::vector<std::string> names;
  for (int number = 1; number <= last_drop_.frames; ++number) {
    names.push_back(SavedFrameName(target, number, as_png));
  }
  if (!MayReplace(names, QDir::toNativeSeparators(folder))) return;
  SaveFramesAsTheyAppear(target, as_png);
}

void Form_main::contextMenuEvent(QContextMenuEvent* event) {
  const QWidget* over = childAt(event->pos());
  if (over != Strip() && over != Viewport()) return;
  const int number = over == Strip() ? FrameAt(Strip()->mapFrom(this, event->pos())) : 0;
  const bool idle = !Busy();
  QMenu menu(this);
  QAction* copy = nullptr;
  QAction* save_one = nullptr;
  QAction* show = nullptr;
  if (number > 0) {
    copy = menu.addAction(QString::fromUtf8(kCopyFrame).arg(number));
    save_one = menu.addAction(QString::fromUtf8(kSaveFrameAs).arg(number));
    show = menu.addAction(QString::fromUtf8(kShowFrame).arg(number));
    for (QAction* action : {copy, save_one, show}) action->setEnabled(idle);
    menu.addSeparator();
  }
  QAction* save = menu.addAction(QString::fromUtf8(kSaveAsTheyAppear));
  save->setEnabled(last_drop_.bytes != nullptr && idle);
  QAction* open = menu.addAction(QString::fromUtf8(kOpen));
  open->setShortcut(QKeySequence::Open);
  open->setEnabled(idle);
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen == nullptr) return;
  if (chosen == copy) return CopyFrame(number);
  if (chosen == show) return ShowFrameInFolder(number);
  if (chosen == open) return OpenFile();
  if (chosen == save) return SaveFramesDialog();
  if (chosen == save_one) SaveFrameDialog(number);
}

void Form_main::SaveFrameDialog(int number) {
  const std::string start =
      last_save_folder_.empty() ? Toolkit::PicturesFolder() : last_save_folder_;
  QString filter = QString::fromUtf8(kPngFilter);
  const QString path = QFileDialog::getSaveFileName(
      this, QString::fromUtf8(kSaveFrameAs).arg(number),
      Toolkit::PathToText(SavedFrameName(start, number, true)),
      QString::fromUtf8(kPngFilter) + QStringLiteral(";;") + QString::fromUtf8(kGifFilter),
      &filter);
  if (path.isEmpty()) return;
  SaveFrameAs(number, Toolkit::PathFromText(SavePathFor(path, filter)));
}

void Form_main::DragFrameOut(int number) {
  const std::string file = FrameFile(number);
  if (Toolkit::KindOf(file) != Toolkit::EntryKind::kRegularFile) {
    services_.message_boxes->MsgBox(
        this, QString::fromUtf8(kFrameFileGone).arg(number).arg(Native(file)));
    return;
  }
  Toolkit::DragFileOut(Strip(), file, {});
}

bool Form_main::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Strip() && watched != Viewport()) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Wheel: {
      // One notch moves as an arrow of the scroll bar does; fine-grained
      // wheels add up to notches.
      const QPoint turn = static_cast<QWheelEvent*>(event)->angleDelta();
      wheel_rest_ += turn.y() != 0 ? turn.y() : turn.x();
      const int notches = wheel_rest_ / kWheelNotch;
      wheel_rest_ -= notches * kWheelNotch;
      Toolkit::ScrollBar* bar = StripScrollBar();
      if (notches != 0) bar->SetValue(bar->Value() - notches * bar->SmallChange());
      return true;
    }
    case QEvent::KeyPress:
      // The scroll bar's own keys: arrows, pages, Home and End.
      if (StripScrollBar()->MoveByKey(static_cast<QKeyEvent*>(event)->key())) return true;
      break;
    case QEvent::MouseButtonPress: {
      // A press the strip leaves alone reaches the viewport too: only a
      // press there directly may forget the pressed frame.
      const auto* press = static_cast<QMouseEvent*>(event);
      pressed_frame_ = watched == Strip() && press->button() == Qt::LeftButton && !Busy()
                           ? FrameAt(press->position().toPoint())
                           : 0;
      press_at_ = press->position().toPoint();
      if (pressed_frame_ != 0) return true;  // taken here, so it goes no further
      break;
    }
    case QEvent::MouseMove: {
      const auto* move = static_cast<QMouseEvent*>(event);
      if (pressed_frame_ == 0 || !(move->buttons() & Qt::LeftButton) ||
          (move->position().toPoint() - press_at_).manhattanLength() <
              QApplication::startDragDistance()) {
        break;
      }
      DragFrameOut(std::exchange(pressed_frame_, 0));
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace MainWindow
