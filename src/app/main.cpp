// SPDX-License-Identifier: MIT
// mervane [FILE]: the window that divides a dropped animated GIF into frame
// files; a FILE given is divided as if it had been dropped.

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <exception>
#include <string>
#include <vector>

#include "main_window/form_main.h"
#include "toolkit/file_ops.h"
#include "toolkit/path_text.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(Toolkit::kProgramName));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/mervane/mervane-32.png")));
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
  form->show();
  // A file named on the command line ("Open with") is divided as if dropped.
  if (const std::vector<std::string> files = Toolkit::ArgumentPaths(argc, argv); !files.empty()) {
    const Toolkit::DropData opened{{files.front()}};
    QTimer::singleShot(0, form.get(), [&form, opened] { form->Picture1_OLEDragDrop(opened); });
  }
  return QApplication::exec();
}
