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
// True when the drag carries a local file as its first item.
bool CarriesLocalFile(const QMimeData* mime);

// Accepts `event` (a drag enter, move or drop) with its proposed action when
// `filter` approves its data, and ignores it otherwise. Returns whether it
// was accepted.
bool AnswerDrag(const std::function<bool(const QMimeData*)>& filter, QDropEvent* event);

}  // namespace Toolkit

Q_DECLARE_METATYPE(Toolkit::DropData)
