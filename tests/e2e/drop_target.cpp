// SPDX-License-Identifier: MIT
// drop_target FOLDER: a window at (600, 100) that takes dropped files as a
// file manager's folder would: it copies each into FOLDER under its own
// name, then prints its URL on a line of its own.

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <cstdio>

#include "e2e/helper_windows.h"

namespace {

class Target : public QWidget {
 public:
  explicit Target(QString folder) : folder_(std::move(folder)) {
    setWindowTitle(QStringLiteral("DropTarget"));
    setGeometry(GifTest::kDropTargetWindow);
    setAcceptDrops(true);
  }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
  void dropEvent(QDropEvent* event) override {
    for (const QUrl& url : event->mimeData()->urls()) {
      const QString from = url.toLocalFile();
      QFile source(from);
      if (!source.copy(folder_ + QLatin1Char('/') + QFileInfo(from).fileName())) {
        std::fprintf(stderr, "cannot copy %s: %s\n", qPrintable(from),
                     qPrintable(source.errorString()));
      }
      std::printf("%s\n", url.toEncoded().constData());
      std::fflush(stdout);
    }
    event->acceptProposedAction();
  }

 private:
  QString folder_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) return 2;
  Target target(QString::fromLocal8Bit(argv[1]));
  target.show();
  return QApplication::exec();
}
