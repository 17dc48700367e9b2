// SPDX-License-Identifier: MIT
#include "toolkit/drop_data.h"

#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QGuiApplication>
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

namespace {

// File managers of the free desktops read a copy from this type; others,
// and Windows through Qt, from the URLs.
constexpr char kCopiedFilesType[] = "x-special/gnome-copied-files";

QMimeData* FilesData(const std::vector<std::string>& paths) {
  auto* mime = new QMimeData;
  QList<QUrl> urls;
  QByteArray copied = "copy";
  for (const std::string& path : paths) {
    urls.push_back(QUrl::fromLocalFile(PathToText(path)));
    copied += '\n' + urls.back().toEncoded();
  }
  mime->setUrls(urls);
  mime->setData(QString::fromLatin1(kCopiedFilesType), copied);
  return mime;
}

}  // namespace

void CopyFiles(const std::vector<std::string>& paths) {
  QGuiApplication::clipboard()->setMimeData(FilesData(paths));
}

void DragFilesOut(QWidget* source, const std::vector<std::string>& paths, const QPixmap& preview) {
  auto* drag = new QDrag(source);
  QMimeData* mime = FilesData(paths);
  mime->removeFormat(QString::fromLatin1(kCopiedFilesType));
  drag->setMimeData(mime);
  if (!preview.isNull()) drag->setPixmap(preview);
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

}  // namespace Toolkit
