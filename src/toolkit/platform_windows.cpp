// SPDX-License-Identifier: MIT
// The file manager on Windows: Explorer, which reads its own command line.
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
