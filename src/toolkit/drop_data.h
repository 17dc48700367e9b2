// SPDX-License-Identifier: MIT
#pragma once

#include <QMetaType>
#include <QObject>
#include <QPoint>
#include <functional>
#include <string>
#include <vector>

class QDropEvent;
class QMimeData;
class QPixmap;
class QWidget;

namespace Toolkit {

// The files of a drop, as full local paths (the file names' own bytes), in
// the order the drag source listed them. Items that are not local files are
// left out.
struct DropData {
  std::vector<std::string> files;
  bool from_this_program = false;  // dragged out of one of our own windows
};

DropData DropDataFrom(const QMimeData* mime);

// Whether a drag carrying `data` may be dropped at `at` (pixels of the widget).
using DropFilter = std::function<bool(const DropData& data, QPoint at)>;

// Makes `widget` a drop target: it answers the widget's drag events with
// `filter`, and after a drop it approves, raises `dropped`. Owned by the
// widget. Some drag sources hand their data over only while the drag moves,
// and a drop's own data then reads empty; the files seen on entry stand in.
class DropSite : public QObject {
  Q_OBJECT

 public:
  DropSite(QWidget* widget, DropFilter filter);

 signals:
  void dropped(const Toolkit::DropData& data);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  DropFilter filter_;
  DropData entered_;
};

// Starts dragging the files at `paths` out of `source`, as file managers
// take files: their local URLs in text/uri-list, offered for copying, with
// `preview` under the pointer. Returns once the drag ends.
void DragFilesOut(QWidget* source, const std::vector<std::string>& paths, const QPixmap& preview);

// Puts the files at `paths` on the clipboard as file managers copy files,
// so that a paste in one copies them.
void CopyFiles(const std::vector<std::string>& paths);

}  // namespace Toolkit

Q_DECLARE_METATYPE(Toolkit::DropData)
