#include "toolkit/drop_data.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace Toolkit {

DropData DropDataFrom(const QMimeData* mime) {
  DropData data;
  if (mime == nullptr || !mime->hasUrls()) return data;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    // The file name's own bytes, which need not be UTF-8: undo the URL's
    // percent-encoding rather than decode it into text.
    const QByteArray path =
        url.host().isEmpty()
            ? QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())
            : QFile::encodeName(url.toLocalFile());
    if (!path.isEmpty()) data.files.push_back(path.toStdString());
  }
  return data;
}

DropSite::DropSite(QWidget* widget, DropFilter filter)
    : QObject(widget), filter_(std::move(filter)) {
  widget->setAcceptDrops(true);
  widget->installEventFilter(this);
}

bool DropSite::eventFilter(QObject*, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* drag = static_cast<QDropEvent*>(event);
  DropData data = DropDataFrom(drag->mimeData());
  if (!data.files.empty() && type != QEvent::Drop) entered_ = data;
  if (data.files.empty()) data = entered_;
  if (type == QEvent::Drop) entered_ = {};
  if (!filter_(data, drag->position().toPoint())) {
    drag->ignore();
    return true;
  }
  drag->acceptProposedAction();
  if (type == QEvent::Drop) emit dropped(data);
  return true;
}

}  // namespace Toolkit
