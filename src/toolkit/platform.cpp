// SPDX-License-Identifier: MIT
#include "toolkit/platform.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

#include "toolkit/path_text.h"
#include "toolkit/platform_error.h"

namespace Toolkit {

void DialogMessageBoxes::MsgBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kProgramName), text, QMessageBox::Ok,
                  parent);
  box.exec();
}

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void OpenInFileManager(const std::string& folder) {
  QProcess process;
#if defined(_WIN32)
  process.setProgram(QStringLiteral("explorer.exe"));
  // Explorer reads its own command line: quote the folder, as it may hold blanks.
  process.setNativeArguments(QLatin1Char('"') + PathToText(folder) + QLatin1Char('"'));
#else
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    throw PlatformError("open the file manager for", folder, "xdg-open was not found on PATH",
                        ErrorNumber::kFileNotFound);
  }
  process.setProgram(opener);
  process.setArguments({PathToText(folder)});
#endif
  if (!process.startDetached()) {
    throw PlatformError("open the file manager for", folder, process.errorString().toStdString(),
                        ErrorNumber::kFileNotFound);
  }
}

void End() {
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace Toolkit
