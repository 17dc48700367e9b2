#include "toolkit/path_text.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace Toolkit {

#if defined(_WIN32)

QString PathToText(const std::string& path) { return QString::fromStdString(path); }

std::string PathFromText(const QString& text) { return text.toStdString(); }

std::string PathFromUrl(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  return QDir::toNativeSeparators(url.toLocalFile()).toStdString();
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

#endif

}  // namespace Toolkit
