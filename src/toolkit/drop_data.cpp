#include "toolkit/drop_data.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace Toolkit {

DropData DropDataFrom(const QMimeData* mime) {
  DropData data;
  if (mime == nullptr || !mime->hasUrls()) return data;
  for (const QUrl& url : mime->urls()) {
    const QString path = url.toLocalFile();
    if (!path.isEmpty()) data.files.push_back(path.toStdString());
  }
  return data;
}

bool CarriesLocalFile(const QMimeData* mime) {
  return mime != nullptr && mime->hasUrls() && !mime->urls().isEmpty() &&
         !mime->urls().first().toLocalFile().isEmpty();
}

bool AnswerDrag(const std::function<bool(const QMimeData*)>& filter, QDropEvent* event) {
  if (filter && filter(event->mimeData())) {
    event->acceptProposedAction();
    return true;
  }
  event->ignore();
  return false;
}

}  // namespace Toolkit
