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
#include "toolkit/platform_internal.h"

namespace Toolkit {

void DialogMessageBoxes::MsgBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kProgramName), text, QMessageBox::Ok,
                  parent);
  box.exec();
}

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

// How long a failing opener has to say so; one still running then is left alone.
constexpr int kOpenerWatchMilliseconds = 5000;

void Internal::StartWatched(QObject* context, QProcess* process, bool status_counts,
                            OpenFailed failed) {
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
      [process, report, watching, status_counts](int code, QProcess::ExitStatus status) {
        if (status_counts && *watching && (status != QProcess::NormalExit || code != 0)) {
          const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
          const QString name = QFileInfo(process->program()).fileName();
          report((said.isEmpty() ? QStringLiteral("%1 ended with status %2").arg(name).arg(code)
                                 : said.section(QLatin1Char('\n'), 0, 0))
                     .toStdString());
        }
        process->deleteLater();
      });
  process->start();
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
