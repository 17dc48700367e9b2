// SPDX-License-Identifier: MIT
// Frames out of the strip: dragged as files, copied, shown in the file
// manager, and the dialogs that save them (FrameSaving writes the files);
// and files opened by a dialog.

#include <QApplication>
#include <QCommandLinkButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <numeric>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_files.h"
#include "frame_split/frame_split.h"
#include "gif_format/gif_markers.h"
#include "main_window/flag_scope.h"
#include "main_window/form_main.h"
#include "main_window/guarded.h"
#include "main_window/window_progress.h"
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

// `name` cut short in the middle when it is long, so that a box listing
// names stays narrower than the screen; its start and its end still show.
QString Shortened(const QString& name) {
  if (name.size() <= kLongestListedName) return name;
  const qsizetype half = kLongestListedName / 2;
  return name.left(half) + QChar(0x2026) + name.right(half);
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
  return FrameSplit::FrameFileName(
      OutputPrefix(last_drop_.base_name), number,
      last_drop_.animation ? last_drop_.animation->Extension() : FrameSplit::kFrameExtension);
}

QImage Form_main::FrameAsItAppears(int number, QString* why,
                                   std::size_t largest_canvas_bytes) const {
  QString reason = QString::fromUtf8(kFrameNotInFile).arg(number);
  QImage frame;
  if (last_drop_.animation) {
    try {
      const std::optional<FrameCompose::Canvas> canvas =
          last_drop_.animation->ComposeFrame(number, WindowComposeOptions(largest_canvas_bytes));
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

FrameSaving Form_main::Saving() const {
  return FrameSaving(
      {last_drop_.source_path, last_drop_.base_name, last_drop_.animation, last_drop_.survey});
}

void Form_main::WithProgressShown(const std::function<void(Toolkit::Progress&)>& work) {
  const FlagScope busy(busy_);
  const ShownProgress shown(*ProgressStrip());
  WindowProgress progress(*ProgressStrip());
  work(progress);
}

std::vector<int> Form_main::EveryFrame() const {
  std::vector<int> every(static_cast<std::size_t>(std::max(last_drop_.survey.frames, 0)));
  std::iota(every.begin(), every.end(), 1);
  return every;
}

void Form_main::SaveFramesAsTheyAppear(const std::string& folder, bool png) {
  SaveFrames(EveryFrame(), folder, png ? SaveKind::kPng : SaveKind::kWholeFrames);
}

void Form_main::SaveFrames(const std::vector<int>& numbers, const std::string& folder,
                           SaveKind kind) {
  if (busy_ || !last_drop_.animation || numbers.empty()) return;
  QString outcome;
  try {
    WithProgressShown([&](Toolkit::Progress& progress) {
      outcome = Saving().Save(numbers, folder, kind, progress);
    });
    last_save_folder_ = folder;  // a folder that took the frames is worth starting in again
  } catch (const std::exception& failure) {
    outcome =
        QString::fromUtf8(kSaveFailed).arg(Toolkit::PathToNativeText(folder), FailureText(failure));
  }
  Guarded("showing how a save went", [&] { services_.message_boxes->MsgBox(this, outcome); });
}

void Form_main::SaveFrameAs(int number, const std::string& path) {
  if (busy_ || !last_drop_.animation) return;
  const auto failed = [&](const QString& why) {
    services_.message_boxes->MsgBox(
        this, QString::fromUtf8(kSaveFrameFailed).arg(Toolkit::PathToNativeText(path), why));
  };
  try {
    bool saved = false;
    WithProgressShown(
        [&](Toolkit::Progress& progress) { saved = Saving().SaveFrameAs(number, path, progress); });
    if (!saved) return failed(QString::fromUtf8(kFrameNotInFile).arg(number));
    last_save_folder_ = Toolkit::FolderOf(path);
  } catch (const Toolkit::PlatformError& failure) {
    failed(QString::fromStdString(failure.reason()));
  } catch (const std::exception& failure) {
    failed(FailureText(failure));
  }
}

void Form_main::ShowFrameInFolder(int number) {
  const std::string file = FrameFile(number);
  const auto failed = [this, file](const std::string& reason) {
    services_.message_boxes->MsgBox(
        this, QString::fromUtf8(kCannotOpenWorkFolder)
                  .arg(Toolkit::PathToNativeText(file), QString::fromStdString(reason)));
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
                                                      QString::fromUtf8(kOpenFilter));
  if (!chosen.isEmpty()) OnFilesDropped({{Toolkit::PathFromText(chosen)}});
}

QString ReplaceQuestion(const QStringList& names, const QString& folder) {
  if (names.size() == 1)
    return QString::fromUtf8(kReplaceOne).arg(Shortened(names.front()), folder);
  QStringList listed;
  for (const QString& name : names.mid(0, kReplaceListed)) listed << Shortened(name);
  if (names.size() > kReplaceListed) {
    listed << QString::fromUtf8(kReplaceMore).arg(names.size() - kReplaceListed);
  }
  return QString::fromUtf8(kReplaceSome)
      .arg(names.size())
      .arg(folder, listed.join(QLatin1Char('\n')));
}

bool Form_main::MayReplace(const std::vector<std::string>& paths, const QString& folder) {
  QStringList there;
  for (const std::string& path : paths) {
    if (Toolkit::KindOf(path) != Toolkit::EntryKind::kNothing) {
      there << Toolkit::PathToText(Toolkit::FileNameOf(path));
    }
  }
  if (there.isEmpty()) return true;
  // Named, so that a file of the user's own that merely shares a name is
  // not replaced unseen.
  const QString text = ReplaceQuestion(there, folder);
  QMessageBox ask(QMessageBox::Question, QString::fromUtf8(Toolkit::kProgramName), text,
                  QMessageBox::Cancel, this);
  QPushButton* replace = ask.addButton(QString::fromUtf8(kReplace), QMessageBox::AcceptRole);
  ask.setDefaultButton(QMessageBox::Cancel);
  ask.exec();
  return ask.clickedButton() == replace;
}

std::string Form_main::SaveDialogsFolder() const {
  return last_save_folder_.empty() ? Toolkit::PicturesFolder() : last_save_folder_;
}

QString Form_main::AskForFolder(const QString& title) {
  // Qt's own dialog on every platform: it carries the title that says what
  // is saved, which some systems' folder pickers replace with their own.
  QFileDialog ask(this, title, Toolkit::PathToText(SaveDialogsFolder()));
  ask.setOption(QFileDialog::DontUseNativeDialog);
  ask.setOption(QFileDialog::ShowDirsOnly);
  ask.setFileMode(QFileDialog::Directory);
  ask.setAcceptMode(QFileDialog::AcceptOpen);
  ask.setLabelText(QFileDialog::Accept, QString::fromUtf8(kSaveHere));
  if (ask.exec() != QDialog::Accepted || ask.selectedFiles().isEmpty()) return {};
  return ask.selectedFiles().front();
}

std::optional<SaveKind> Form_main::AskForKind(const QString& question,
                                              std::span<const SaveKind> kinds) {
  struct Offer {
    SaveKind kind;
    const char *name, *explanation;
  };
  static constexpr Offer kOffers[] = {
      {SaveKind::kStoredGif, kStoredKind, kStoredKindExplained},  // %1: the stored format
      {SaveKind::kWholeFrames, kWholeKind, kWholeKindExplained},  // %1: the format
      {SaveKind::kPng, kPngKind, kPngKindExplained},
      {SaveKind::kSheet, kSheetKind, kSheetKindExplained},
  };
  QDialog ask(this);
  ask.setWindowTitle(QString::fromUtf8(Toolkit::kProgramName));
  auto* layout = new QVBoxLayout(&ask);
  auto* asked = new QLabel(question, &ask);
  asked->setWordWrap(true);
  layout->addWidget(asked);
  std::optional<SaveKind> chosen;
  for (const Offer& offer : kOffers) {
    if (std::find(kinds.begin(), kinds.end(), offer.kind) == kinds.end()) continue;
    const QString format = last_drop_.animation->FormatName();
    const bool named = offer.kind == SaveKind::kStoredGif || offer.kind == SaveKind::kWholeFrames;
    const QString name =
        named ? QString::fromUtf8(offer.name).arg(format) : QString::fromUtf8(offer.name);
    const QString explanation = offer.kind == SaveKind::kWholeFrames
                                    ? QString::fromUtf8(offer.explanation).arg(format)
                                    : QString::fromUtf8(offer.explanation);
    auto* button = new QCommandLinkButton(name, explanation, &ask);
    // Whole frames in the source's format first when on offer: they look
    // as the animation does.
    button->setDefault(offer.kind == SaveKind::kWholeFrames);
    connect(button, &QPushButton::clicked, &ask, [&ask, &chosen, kind = offer.kind] {
      chosen = kind;
      ask.accept();
    });
    layout->addWidget(button);
  }
  auto* note = new QLabel(QString::fromUtf8(kSaveKindNote), &ask);
  note->setWordWrap(true);
  layout->addWidget(note);
  auto* cancel = new QDialogButtonBox(QDialogButtonBox::Cancel, &ask);
  connect(cancel, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
  layout->addWidget(cancel);
  if (ask.exec() != QDialog::Accepted) return std::nullopt;
  return chosen;
}

void Form_main::SaveFramesDialog() {
  if (!last_drop_.animation) return;
  static constexpr SaveKind kWhole[] = {SaveKind::kWholeFrames, SaveKind::kPng};
  static constexpr SaveKind kPngOnly[] = {SaveKind::kPng};
  const DroppedAnimation& animation = *last_drop_.animation;
  const QString file = Toolkit::PathToText(last_drop_.file_name);
  const bool own = animation.HasOwnWholeFrames();
  AskAndSave(EveryFrame(),
             own ? QString::fromUtf8(kSaveFormatQuestion).arg(file, animation.FormatName())
                 : QString::fromUtf8(kSaveAsPngQuestion).arg(file),
             own ? std::span<const SaveKind>(kWhole) : std::span<const SaveKind>(kPngOnly));
}

void Form_main::SaveSelectionDialog(const std::vector<int>& numbers) {
  if (!last_drop_.animation) return;
  static constexpr SaveKind kEvery[] = {SaveKind::kStoredGif, SaveKind::kWholeFrames,
                                        SaveKind::kPng, SaveKind::kSheet};
  static constexpr SaveKind kNoOwn[] = {SaveKind::kStoredGif, SaveKind::kPng, SaveKind::kSheet};
  AskAndSave(numbers,
             QString::fromUtf8(kSaveKindQuestion)
                 .arg(numbers.size())
                 .arg(Toolkit::PathToText(last_drop_.file_name)),
             last_drop_.animation->HasOwnWholeFrames() ? std::span<const SaveKind>(kEvery)
                                                       : std::span<const SaveKind>(kNoOwn));
}

void Form_main::AskAndSave(const std::vector<int>& numbers, const QString& question,
                           std::span<const SaveKind> kinds) {
  const std::uint64_t serial = drop_serial_;
  const QString folder = AskForFolder(QString::fromUtf8(kSaveFramesTo).arg(numbers.size()));
  if (folder.isEmpty() || !StillTheSameDrop(serial)) return;
  const std::optional<SaveKind> kind = AskForKind(question, kinds);
  if (!kind || !StillTheSameDrop(serial)) return;
  const std::string target = Toolkit::PathFromText(folder);
  if (!MayReplace(Saving().SavedNames(numbers, target, *kind), QDir::toNativeSeparators(folder)) ||
      !StillTheSameDrop(serial)) {
    return;
  }
  SaveFrames(numbers, target, *kind);
}

void Form_main::SaveFrameDialog(int number) {
  const std::uint64_t serial = drop_serial_;
  if (!last_drop_.animation) return;
  const DroppedAnimation& animation = *last_drop_.animation;
  QString filter = QString::fromUtf8(kPngFilter);
  // An APNG's frame as it appears is a PNG alone.
  const QString own =
      animation.HasOwnWholeFrames()
          ? QStringLiteral(";;") +
                QString::fromUtf8(kWholeFilter)
                    .arg(animation.FormatName(), QString::fromStdString(animation.Extension()))
          : QString();
  const QString path = QFileDialog::getSaveFileName(
      this, QString::fromUtf8(kSaveFrameAs).arg(number),
      Toolkit::PathToText(Saving().SavedFrameName(SaveDialogsFolder(), number, kPngExtension)),
      QString::fromUtf8(kPngFilter) + own, &filter);
  if (path.isEmpty() || !StillTheSameDrop(serial)) return;
  SaveFrameAs(number, Toolkit::PathFromText(SavePathFor(path, filter, animation.Extension())));
}

std::vector<std::string> Form_main::FrameFilesThere(const std::vector<int>& numbers,
                                                    const char* gone) {
  std::vector<std::string> files;
  for (const int number : numbers) {
    files.push_back(FrameFile(number));
    if (Toolkit::KindOf(files.back()) != Toolkit::EntryKind::kRegularFile) {
      services_.message_boxes->MsgBox(
          this, QString::fromUtf8(gone).arg(number).arg(Toolkit::PathToNativeText(files.back())));
      return {};
    }
  }
  return files;
}

void Form_main::DragFramesOut(const std::vector<int>& numbers) {
  const std::vector<std::string> files = FrameFilesThere(numbers, kFrameFileGone);
  if (files.empty()) return;
  const FlagScope dragging(dragging_out_);
  Toolkit::DragFilesOut(Strip(), files, {});
}

void Form_main::CopyFrameFiles(const std::vector<int>& numbers) {
  const std::vector<std::string> files = FrameFilesThere(numbers, kCopiedFileGone);
  if (!files.empty()) Toolkit::CopyFiles(files);
}

}  // namespace MainWindow
