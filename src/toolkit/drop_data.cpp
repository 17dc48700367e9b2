// SPDX-License-Identifier: MIT
#include "toolkit/drop_data.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>
#include <QWidget>

#include "toolkit/path_text.h"

namespace Toolkit {

DropData DropDataFrom(const QMimeData* mime) {
  DropData data;
  if (mime == nullptr || !mime->hasUrls()) return data;
  for (const QUrl& url : mime->urls()) {
    std::string path = PathFromUrl(url);
    if (!path.empty()) data.files.push_back(std::move(path));
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
  // A drag that leaves, or is cancelled over the widget, takes its files
  // with it: a later drag must never be read as carrying them.
  if (type == QEvent::DragLeave) entered_ = {};
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* drag = static_cast<QDropEvent*>(event);
  DropData data = DropDataFrom(drag->mimeData());
  if (type == QEvent::DragEnter || !data.files.empty()) entered_.files = data.files;
  if (data.files.empty()) data.files = entered_.files;
  data.from_this_program = drag->source() != nullptr;
  if (type == QEvent::Drop) entered_ = {};
  if (!filter_(data, drag->position().toPoint())) {
    drag->ignore();
    return true;
  }
  drag->acceptProposedAction();
  if (type == QEvent::Drop) emit dropped(data);
  return true;
}

void DragFileOut(QWidget* source, const std::string& path, const QPixmap& preview) {
  auto* drag = new QDrag(source);
  auto* mime = new QMimeData;
  mime->setUrls({QUrl::fromLocalFile(PathToText(path))});
  drag->setMimeData(mime);
  if (!preview.isNull()) drag->setPixmap(preview);
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

}  // namespace Toolkit
