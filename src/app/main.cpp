// mervane: the window that divides a dropped animated GIF into frame files.

#include <QApplication>
#include <QIcon>
#include <exception>

#include "main_window/form_main.h"
#include "toolkit/file_ops.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(Toolkit::kProgramName));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/mervane/mervane.png")));
  Toolkit::DialogMessageBoxes message_boxes;

  std::string app_path;
  try {
    app_path = Toolkit::AppPath();
  } catch (const Toolkit::PlatformError& failure) {
    message_boxes.MsgBox(nullptr, MainWindow::UnhandledErrorText(
                                      failure.number(), QString::fromUtf8(failure.what())));
    return 1;
  }
  const auto form = MainWindow::StartUp({app_path, &message_boxes, [] { Toolkit::End(); }});
  if (!form) return 1;
  form->show();
  return QApplication::exec();
}
