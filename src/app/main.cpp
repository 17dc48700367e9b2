// SPDX-License-Identifier: MIT
// mervane [FILE]: the window that divides a dropped animated GIF into frame
// files; a FILE given is divided as if it had been dropped.

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main_window/form_main.h"
#include "main_window/workflow_constants.h"
#include "toolkit/file_ops.h"
#include "toolkit/path_text.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"
#include "toolkit/single_instance.h"

namespace {

// Hands the first of `files` (or none: the window only comes to the front)
// to the window already open for `work_folder`; says so when it is refused,
// unanswered, or a name that is still relative. Returns the exit status.
int HandOver(Toolkit::SingleInstance& instance, const std::vector<std::string>& files,
             const std::string& work_folder, Toolkit::MessageBoxes& boxes) {
  const std::string file = files.empty() ? std::string() : files.front();
  // Still relative: AbsolutePath found no current folder.
  if (!file.empty() && QDir::isRelativePath(Toolkit::PathToText(file))) {
    boxes.MsgBox(nullptr, QString::fromUtf8(MainWindow::kHandOverNoFolder)
                              .arg(QDir::toNativeSeparators(Toolkit::PathToText(file))));
    return 1;
  }
  const std::optional<std::string> answer = instance.HandOver(file, MainWindow::kHandOverPatience);
  if (answer == MainWindow::kHandOverTaken) return 0;
  const QString text =
      answer ? QString::fromUtf8(MainWindow::kHandOverBusy).arg(Toolkit::PathToText(file))
             : QString::fromUtf8(MainWindow::kHandOverUnanswered)
                   .arg(Toolkit::PathToText(work_folder));
  boxes.MsgBox(nullptr, text);
  return 1;
}

// The one-window lock of `work_folder`; none when no folder of the user's
// own can hold it, which a box then says: this window goes on without
// taking files from later starts rather than trust a place others reach.
std::unique_ptr<Toolkit::SingleInstance> TakeWorkFolder(const std::string& work_folder,
                                                        Toolkit::MessageBoxes& boxes) {
  std::optional<Toolkit::PlatformError> refusal;
  try {
    auto instance = std::make_unique<Toolkit::SingleInstance>(
        work_folder, Toolkit::UserCacheFolder(MainWindow::kCacheFolderName));
    if (!instance->Refusal()) return instance;
    refusal = instance->Refusal();
  } catch (const Toolkit::PlatformError& failure) {
    refusal = failure;
  }
  const auto native = [](const std::string& path) {
    return QDir::toNativeSeparators(Toolkit::PathToText(path));
  };
  boxes.MsgBox(nullptr, QString::fromUtf8(MainWindow::kNoSafeLockFolder)
                            .arg(native(work_folder), native(refusal->path()),
                                 QString::fromUtf8(refusal->reason())));
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(Toolkit::kProgramName));
  Toolkit::UseSystemUiFont();
  Toolkit::KeepDialogsOnScreen();
  Toolkit::LetBoxesCopyTheirText();
  QIcon icon;
  for (const int size : {16, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/mervane/mervane-%1.png").arg(size), QSize(size, size));
  }
  QApplication::setWindowIcon(icon);
  Toolkit::DialogMessageBoxes message_boxes;

  std::string app_path;
  try {
    app_path = Toolkit::AppPath();
  } catch (const Toolkit::PlatformError& failure) {
    message_boxes.MsgBox(nullptr,
                         MainWindow::UnhandledErrorText(MainWindow::ErrorNumberFor(failure.kind()),
                                                        QString::fromUtf8(failure.what())));
    return 1;
  }
  // An installed copy, under whatever prefix, finds the marker its install
  // put beside its folder, and keeps its work in the user's cache folder; a
  // portable copy keeps it beside itself.
  const bool installed =
      Toolkit::KindOf(app_path + Toolkit::PathSeparator() + MERVANE_INSTALLED_MARKER) ==
      Toolkit::EntryKind::kRegularFile;
  // END ends the process at once: the lock goes first, so that nothing of
  // it is left behind.
  std::unique_ptr<Toolkit::SingleInstance> instance;
  const auto form = MainWindow::StartUp({app_path, &message_boxes,
                                         [&instance] {
                                           instance.reset();
                                           Toolkit::End();
                                         },
                                         installed});
  if (!form) return 1;
  std::vector<std::string> files = Toolkit::ArgumentPaths(argc, argv);
  // A window that is handed a name reads it from its own current folder.
  for (std::string& file : files) file = Toolkit::AbsolutePath(file);
  // One window per work folder: a second would empty the folder under the
  // first one's thumbnails. A later start hands its file over and ends.
  instance = TakeWorkFolder(form->WorkFolder(), message_boxes);
  if (instance && !instance->Owns()) {
    return HandOver(*instance, files, form->WorkFolder(), message_boxes);
  }
  if (instance) {
    instance->Listen([&form](const std::string& path) -> std::string {
      return form->TakeHandOver(path) ? MainWindow::kHandOverTaken : MainWindow::kHandOverRefused;
    });
  }
  form->show();
  // A file named on the command line ("Open with") is divided as if dropped.
  if (!files.empty()) {
    const Toolkit::DropData opened{{files.front()}};
    QTimer::singleShot(0, form.get(), [&form, opened] { form->Picture1_OLEDragDrop(opened); });
  }
  return QApplication::exec();
}
