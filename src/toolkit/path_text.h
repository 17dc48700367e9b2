#pragma once

// File names as they cross between Qt's text and the toolkit's paths. A path
// here is a file name's own bytes; on Windows those are UTF-8 (the file
// operations turn them into UTF-16), elsewhere they need not be text at all.

#include <QString>
#include <QUrl>
#include <string>

namespace Toolkit {

// The path as text, to show or to hand to Qt.
QString PathToText(const std::string& path);

// The path that Qt's text `text` names.
std::string PathFromText(const QString& text);

// The path of a local file URL, or empty text for a URL that names none.
std::string PathFromUrl(const QUrl& url);

}  // namespace Toolkit
