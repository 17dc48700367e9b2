// SPDX-License-Identifier: MIT
// The file manager on Windows: Explorer, which reads its own command line;
// and the UI font.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include "toolkit/path_text.h"
#include "toolkit/platform.h"
#include "toolkit/platform_internal.h"

namespace Toolkit {
namespace {

// Explorer ends with status 1 when it has opened the folder: only a
// failure to start counts.
void StartExplorer(QObject* context, const QString& command_line, OpenFailed failed) {
  QProcess* process = Internal::NewProcess(QStringLiteral("explorer.exe"));
  process->setNativeArguments(command_line);
  Internal::StartWatched(context, process, false, std::move(failed));
}

}  // namespace

QStringList SansFallbacks() {
  // Faces for Japanese text where Windows has them, then Windows' own UI
  // faces (Tahoma and Arial are on every Windows since 95), then the sans
  // faces of the Linux desktop that Wine shows its programs.
  return {QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
          QStringLiteral("Segoe UI"),     QStringLiteral("Tahoma"),
          QStringLiteral("Arial"),        QStringLiteral("Liberation Sans"),
          QStringLiteral("DejaVu Sans")};
}

void UseSystemUiFont() {
  // The system's message font, as Windows' own dialogs use it; an alias
  // such as "MS Shell Dlg 2" is no face of its own (under Wine it stands
  // for a serif one), so then the sans faces come first.
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  QStringList families;
  if (QFontDatabase::families().contains(font.family(), Qt::CaseInsensitive)) {
    families << font.family();
  }
  families += SansFallbacks();
  font.setFamilies(families);
  QApplication::setFont(font);
  for (const char* kind : {"QMenu", "QToolTip", "QMessageBox", "QPushButton", "QLabel"}) {
    QApplication::setFont(font, kind);
  }
}

void OpenInFileManager(QObject* context, const std::string& folder, OpenFailed failed) {
  // Quoted, as the folder may hold blanks.
  StartExplorer(context, QLatin1Char('"') + PathToText(folder) + QLatin1Char('"'),
                std::move(failed));
}

void ShowInFileManager(QObject* context, const std::string& path, OpenFailed failed) {
  StartExplorer(context, QStringLiteral("/select,\"") + PathToText(path) + QLatin1Char('"'),
                std::move(failed));
}

}  // namespace Toolkit
