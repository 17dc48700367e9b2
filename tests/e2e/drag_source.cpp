// SPDX-License-Identifier: MIT
// drag_source FILE: a small window at (600, 400) that starts a real drag of
// FILE as a file URL when pressed, as a file manager would, then exits.

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class Source : public QWidget {
 public:
  explicit Source(QString path) : path_(std::move(path)) {
    setWindowTitle(QStringLiteral("DragSource"));
    setGeometry(600, 400, 120, 120);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(path_)});
    auto* drag = new QDrag(this);  // owned by this window
    drag->setMimeData(mime);
    const Qt::DropAction result = drag->exec(Qt::CopyAction);
    std::printf("drop %s\n", result == Qt::IgnoreAction ? "refused" : "accepted");
    std::fflush(stdout);
    QApplication::quit();
  }

 private:
  QString path_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) return 2;
  Source source(QString::fromLocal8Bit(argv[1]));
  source.show();
  return QApplication::exec();
}
