#include "toolkit/drop_data.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

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

bool DragAnswer::Answer(const DropFilter& filter, QDropEvent* event) {
  DropData data = DropDataFrom(event->mimeData());
  if (!data.files.empty()) entered_ = std::move(data);
  if (filter && filter(entered_)) {
    event->acceptProposedAction();
    return true;
  }
  event->ignore();
  return false;
}

DropData DragAnswer::AnswerDrop(const DropFilter& filter, QDropEvent* event) {
  DropData data = DropDataFrom(event->mimeData());
  if (data.files.empty()) data = std::move(entered_);
  entered_ = {};
  if (filter && filter(data)) {
    event->acceptProposedAction();
    return data;
  }
  event->ignore();
  return {};
}

}  // namespace Toolkit
