// SPDX-License-Identifier: MIT
// drag_source LOG FILE | drag_source LOG --text TEXT: a small window at
// (600, 400) that starts a real drag of FILE as a file URL (or of TEXT as
// plain text) whenever it is pressed, as a file manager would, and stays
// open afterwards, as a file manager does. After each drag it appends
// "accepted" or "refused" to LOG.

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class Source : public QWidget {
 public:
  Source(QString log, QMimeData* (*make)(const QString&), QString payload)
      : log_(std::move(log)), make_(make), payload_(std::move(payload)) {
    setWindowTitle(QStringLiteral("DragSource"));
    setGeometry(600, 400, 120, 120);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);  // owned by this window
    drag->setMimeData(make_(payload_));
    const Qt::DropAction result = drag->exec(Qt::CopyAction);
    QFile log(log_);
    if (log.open(QIODevice::Append)) {
      log.write(result == Qt::IgnoreAction ? "refused\n" : "accepted\n");
    }
  }

 private:
  QString log_;
  QMimeData* (*make_)(const QString&);
  QString payload_;
};

QMimeData* FileData(const QString& path) {
  auto* mime = new QMimeData;
  mime->setUrls({QUrl::fromLocalFile(path)});
  return mime;
}

QMimeData* TextData(const QString& text) {
  auto* mime = new QMimeData;
  mime->setText(text);
  return mime;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const bool text = argc == 4 && QString::fromLocal8Bit(argv[2]) == QLatin1String("--text");
  if (argc != 3 && !text) return 2;
  Source source(QString::fromLocal8Bit(argv[1]), text ? TextData : FileData,
                QString::fromLocal8Bit(argv[argc - 1]));
  source.show();
  return QApplication::exec();
}
