// SPDX-License-Identifier: MIT
#include "toolkit/path_text.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "toolkit/file_ops.h"

namespace Toolkit {

#if defined(_WIN32)

QString PathToText(const std::string& path) { return QString::fromStdString(path); }

std::string PathFromText(const QString& text) { return text.toStdString(); }

std::string PathFromUrl(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  return QDir::toNativeSeparators(url.toLocalFile()).toStdString();
}

std::vector<std::string> ArgumentPaths(int, char**) {
  // argv holds the ANSI code page's approximation of each name; Qt reads
  // the wide command line.
  const QStringList arguments = QCoreApplication::arguments();
  std::vector<std::string> paths;
  for (qsizetype i = 1; i < arguments.size(); ++i) paths.push_back(PathFromText(arguments[i]));
  return paths;
}

#else

QString PathToText(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathFromText(const QString& text) { return QFile::encodeName(text).toStdString(); }

std::string PathFromUrl(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  // The file name's own bytes, which need not be UTF-8: undo the URL's
  // percent-encoding rather than decode it into text.
  if (url.host().isEmpty()) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
  }
  return PathFromText(url.toLocalFile());
}

std::vector<std::string> ArgumentPaths(int argc, char** argv) {
  // The names' own bytes, which Qt's text could not always carry back.
  return ProgramArguments(argc, argv);
}

#endif

QString PathToNativeText(const std::string& path) {
  return QDir::toNativeSeparators(PathToText(path));
}

}  // namespace Toolkit
