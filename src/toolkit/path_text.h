// SPDX-License-Identifier: MIT
#pragma once

// File names as they cross between Qt's text and the toolkit's paths. A path
// here is a file name's own bytes; on Windows those are UTF-8 (the file
// operations turn them into UTF-16), elsewhere they need not be text at all.

#include <QString>
#include <QUrl>
#include <string>
#include <vector>

namespace Toolkit {

// The path as text, to show or to hand to Qt.
QString PathToText(const std::string& path);

// The path as text with the system's own separators, to show in a box.
QString PathToNativeText(const std::string& path);

// The path that Qt's text `text` names.
std::string PathFromText(const QString& text);

// The path of a local file URL, or empty text for a URL that names none.
std::string PathFromUrl(const QUrl& url);

// The arguments after the program's name, as paths, without the options Qt
// took for itself. REQUIRES: the QApplication exists, and `argc` and `argv`
// are the ones it was given (it removes its options from them).
std::vector<std::string> ArgumentPaths(int argc, char** argv);

}  // namespace Toolkit
