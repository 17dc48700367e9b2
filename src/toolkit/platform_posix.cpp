// SPDX-License-Identifier: MIT
// The file manager on desktops that follow freedesktop.org: xdg-open.
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStandardPaths>

#include "toolkit/path_text.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"
#include "toolkit/platform_internal.h"

namespace Toolkit {
namespace {

QString Opener(const std::string& path) {
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    throw PlatformError("open the file manager for", path, "xdg-open was not found on PATH",
                        FailureKind::kNotFound);
  }
  return opener;
}

// xdg-open says with its status when it found no program for the folder.
void StartOpener(QObject* context, const std::string& path, const QString& folder,
                 OpenFailed failed) {
  QProcess* process = Internal::NewProcess(Opener(path));
  process->setArguments({folder});
  Internal::StartWatched(context, process, true, std::move(failed));
}

}  // namespace

QStringList SansFallbacks() {
  // The desktop's own face, then whatever fontconfig calls sans-serif.
  return {QFontDatabase::systemFont(QFontDatabase::GeneralFont).family(),
          QStringLiteral("sans-serif")};
}

// The desktop's theme already gives Qt its UI font.
void UseSystemUiFont() {}

void OpenInFileManager(QObject* context, const std::string& folder, OpenFailed failed) {
  StartOpener(context, folder, PathToText(folder), std::move(failed));
}

void ShowInFileManager(QObject* context, const std::string& path, OpenFailed failed) {
  StartOpener(context, path, QFileInfo(PathToText(path)).absolutePath(), std::move(failed));
}

}  // namespace Toolkit
