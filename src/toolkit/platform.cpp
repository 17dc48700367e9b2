// SPDX-License-Identifier: MIT
#include "toolkit/platform.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "toolkit/file_ops.h"
#include "toolkit/path_text.h"
#include "toolkit/platform_error.h"

namespace Toolkit {

void DialogMessageBoxes::MsgBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kProgramName), text, QMessageBox::Ok,
                  parent);
  box.exec();
}

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

namespace {

// How long a failing opener has to say so; one still running then is left alone.
constexpr int kOpenerWatchMilliseconds = 5000;

// Starts `program` and watches it; owned by the event loop, it deletes
// itself once the program ends (never killing a file manager still open).
void StartWatched(QObject* context, const QString& program, const QStringList& arguments,
                  const QString& native_arguments, OpenFailed failed) {
  auto* process = new QProcess(QCoreApplication::instance());
  process->setProgram(program);
  process->setArguments(arguments);
#if defined(_WIN32)
  if (!native_arguments.isEmpty()) process->setNativeArguments(native_arguments);
#else
  Q_UNUSED(native_arguments);
#endif
  process->setProcessChannelMode(QProcess::SeparateChannels);
  process->setStandardOutputFile(QProcess::nullDevice());
  auto watching = std::make_shared<bool>(true);
  QTimer::singleShot(kOpenerWatchMilliseconds, process, [watching] { *watching = false; });
  const QPointer<QObject> alive(context);
  const auto report = [alive, failed](const std::string& reason) {
    if (alive && failed) failed(reason);
  };
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, report](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) {
                       report(process->errorString().toStdString());
                       process->deleteLater();
                     }
                   });
  QObject::connect(
      process, &QProcess::finished, process,
      [process, report, watching, program](int code, QProcess::ExitStatus status) {
  // Explorer ends with status 1 when it has opened the folder: only a
  // failure to start counts there.
#if !defined(_WIN32)
        if (*watching && (status != QProcess::NormalExit || code != 0)) {
          const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
          const QString name = QFileInfo(program).fileName();
          report((said.isEmpty() ? QStringLiteral("%1 ended with status %2").arg(name).arg(code)
                                 : said.section(QLatin1Char('\n'), 0, 0))
                     .toStdString());
        }
#else
        Q_UNUSED(code);
        Q_UNUSED(status);
#endif
        process->deleteLater();
      });
  process->start();
}

#if !defined(_WIN32)
// Windows starts Explorer itself; elsewhere the desktop's own opener.
QString Opener(const std::string& path) {
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    throw PlatformError("open the file manager for", path, "xdg-open was not found on PATH",
                        ErrorNumber::kFileNotFound);
  }
  return opener;
}
#endif

}  // namespace

void OpenInFileManager(QObject* context, const std::string& folder, OpenFailed failed) {
#if defined(_WIN32)
  // Explorer reads its own command line: quote the folder, as it may hold blanks.
  StartWatched(context, QStringLiteral("explorer.exe"), {},
               QLatin1Char('"') + PathToText(folder) + QLatin1Char('"'), std::move(failed));
#else
  StartWatched(context, Opener(folder), {PathToText(folder)}, {}, std::move(failed));
#endif
}

void ShowInFileManager(QObject* context, const std::string& path, OpenFailed failed) {
#if defined(_WIN32)
  StartWatched(context, QStringLiteral("explorer.exe"), {},
               QStringLiteral("/select,\"") + PathToText(path) + QLatin1Char('"'),
               std::move(failed));
#else
  const QString folder = QFileInfo(PathToText(path)).absolutePath();
  StartWatched(context, Opener(path), {folder}, {}, std::move(failed));
#endif
}

void CopyImage(const QImage& image) { QGuiApplication::clipboard()->setImage(image); }

std::string PicturesFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
  return PathFromText(folder);
}

void End() {
  RemoveUnfinishedFiles();
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace Toolkit
