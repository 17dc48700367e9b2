// SPDX-License-Identifier: MIT
#include "toolkit/platform.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
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

QPoint PlaceWithin(const QRect& frame, const QRect& available) {
  const auto along = [](int start, int length, int from, int room) {
    if (start + length > from + room) start = from + room - length;
    return std::max(start, from);
  };
  return {along(frame.x(), frame.width(), available.x(), available.width()),
          along(frame.y(), frame.height(), available.y(), available.height())};
}

namespace {

// Moves `dialog` onto the available area of the screen it is on (or, for
// one off every screen, its parent's).
void BringOnScreen(QWidget& dialog) {
  const QRect frame = dialog.frameGeometry();
  const QScreen* screen = QGuiApplication::screenAt(frame.center());
  if (screen == nullptr) screen = dialog.screen();
  if (screen == nullptr) return;
  const QPoint place = PlaceWithin(frame, screen->availableGeometry());
  if (place != frame.topLeft()) dialog.move(place);
}

// Watches every widget for a dialog being shown or resized.
class DialogPlacer final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Resize) && watched->isWidgetType()) {
      auto* widget = static_cast<QWidget*>(watched);
      // Qt places a dialog on showing it, and a box sizes itself then:
      // look once both are done and its frame is known.
      if (widget->isWindow() && qobject_cast<QDialog*>(widget) != nullptr) {
        QTimer::singleShot(0, widget, [widget] {
          if (widget->isVisible()) BringOnScreen(*widget);
        });
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// Watches every key for Copy pressed in a message box.
class BoxTextCopier final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
      if (const auto* box = qobject_cast<QMessageBox*>(static_cast<QWidget*>(watched)->window())) {
        QGuiApplication::clipboard()->setText(box->windowTitle() + QLatin1Char('\n') + box->text() +
                                              QLatin1Char('\n'));
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

void LetBoxesCopyTheirText() {
  QCoreApplication* application = QCoreApplication::instance();
  application->installEventFilter(new BoxTextCopier(application));
}

void KeepDialogsOnScreen() {
  QCoreApplication* application = QCoreApplication::instance();
  application->installEventFilter(new DialogPlacer(application));
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
