#pragma once

#include <QMetaType>
#include <string>
#include <vector>

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

}  // namespace Toolkit

Q_DECLARE_METATYPE(Toolkit::DropData)
