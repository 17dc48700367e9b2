// SPDX-License-Identifier: MIT
// drag_source LOG FILE... | drag_source LOG --text TEXT: a small window at
// (600, 400) that starts a real drag of the FILEs as file URLs (or of TEXT
// as plain text) whenever it is pressed, as a file manager would, and stays
// open afterwards, as a file manager does. After each drag it appends
// "accepted" or "refused" to LOG.

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

#include "e2e/helper_windows.h"

namespace {

class Source : public QWidget {
 public:
  Source(QString log, QMimeData* (*make)(const QStringList&), QStringList payload)
      : log_(std::move(log)), make_(make), payload_(std::move(payload)) {
    setWindowTitle(QStringLiteral("DragSource"));
    setGeometry(GifTest::kDragSourceWindow);
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
  QMimeData* (*make_)(const QStringList&);
  QStringList payload_;
};

QMimeData* FileData(const QStringList& paths) {
  auto* mime = new QMimeData;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  mime->setUrls(urls);
  return mime;
}

QMimeData* TextData(const QStringList& text) {
  auto* mime = new QMimeData;
  mime->setText(text.front());
  return mime;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 3) return 2;
  const bool text = QString::fromLocal8Bit(argv[2]) == QLatin1String("--text");
  if (text && argc != 4) return 2;
  QStringList payload;
  for (int i = text ? 3 : 2; i < argc; ++i) payload << QString::fromLocal8Bit(argv[i]);
  Source source(QString::fromLocal8Bit(argv[1]), text ? TextData : FileData, payload);
  source.show();
  return QApplication::exec();
}
