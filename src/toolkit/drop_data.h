#pragma once

#include <QMetaType>
#include <string>
#include <vector>

#include <functional>

class QDropEvent;
class QMimeData;

namespace Toolkit {

// The files of a drop, as full local paths in UTF-8, in the order the drag
// source listed them. Items that are not local files are left out.
struct DropData {
  std::vector<std::string> files;
};

DropData DropDataFrom(const QMimeData* mime);

using DropFilter = std::function<bool(const DropData&)>;

// Answers the drag events of one control. Some drag sources hand their data
// over only while the drag moves, and a drop's own data then reads empty;
// the files seen when the drag entered stand in for them.
class DragAnswer {
 public:
  // Accepts `event` (drag enter or move) with its proposed action when
  // `filter` approves its files, and ignores it otherwise.
  bool Answer(const DropFilter& filter, QDropEvent* event);
  // The same for the drop; returns the dropped files, or none when refused.
  DropData AnswerDrop(const DropFilter& filter, QDropEvent* event);

 private:
  DropData entered_;
};

}  // namespace Toolkit

Q_DECLARE_METATYPE(Toolkit::DropData)
