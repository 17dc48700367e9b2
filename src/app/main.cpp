// SPDX-License-Identifier: MIT
// mervane [FILE]: the window that divides a dropped animated GIF into frame
// files; a FILE given is divided as if it had been dropped.

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "main_window/form_main.h"
#include "toolkit/file_ops.h"
#include "toolkit/path_text.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"
#include "toolkit/single_instance.h"

namespace {

// Hands the first of `files` (or none: the window only comes to the front)
// to the window already open for `work_folder`; says so when it is refused
// or unanswered. Returns the exit status.
int HandOver(Toolkit::SingleInstance& instance, const std::vector<std::string>& files,
             const std::string& work_folder, Toolkit::MessageBoxes& boxes) {
  const std::string file = files.empty() ? std::string() : files.front();
  const std::optional<std::string> answer = instance.HandOver(file, MainWindow::kHandOverPatience);
  if (answer == MainWindow::kHandOverTaken) return 0;
  const QString text =
      answer ? QString::fromUtf8(MainWindow::kHandOverBusy).arg(Toolkit::PathToText(file))
             : QString::fromUtf8(MainWindow::kHandOverUnanswered)
                   .arg(Toolkit::PathToText(work_folder));
  boxes.MsgBox(nullptr, text);
  return 1;
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
    message_boxes.MsgBox(nullptr, MainWindow::UnhandledErrorText(
                                      failure.number(), QString::fromUtf8(failure.what())));
    return 1;
  }
  // An installed copy, under whatever prefix, finds the marker its install
  // put beside its folder, and keeps its work in the user's cache folder; a
  // portable copy keeps it beside itself.
  const bool installed =
      Toolkit::KindOf(app_path + Toolkit::PathSeparator() + MERVANE_INSTALLED_MARKER) ==
      Toolkit::EntryKind::kRegularFile;
  const auto form =
      MainWindow::StartUp({app_path, &message_boxes, [] { Toolkit::End(); }, installed});
  if (!form) return 1;
  const std::vector<std::string> files = Toolkit::ArgumentPaths(argc, argv);
  // One window per work folder: a second would empty the folder under the
  // first one's thumbnails. A later start hands its file over and ends.
  Toolkit::SingleInstance instance(form->WorkFolder());
  if (!instance.Owns()) return HandOver(instance, files, form->WorkFolder(), message_boxes);
  instance.Listen([&form](const std::string& path) -> std::string {
    return form->TakeHandOver(path) ? MainWindow::kHandOverTaken : MainWindow::kHandOverRefused;
  });
  form->show();
  // A file named on the command line ("Open with") is divided as if dropped.
  if (!files.empty()) {
    const Toolkit::DropData opened{{files.front()}};
    QTimer::singleShot(0, form.get(), [&form, opened] { form->Picture1_OLEDragDrop(opened); });
  }
  return QApplication::exec();
}
