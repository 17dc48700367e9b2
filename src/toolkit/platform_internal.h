// SPDX-License-Identifier: MIT
#pragma once

// What the platform files share with platform.cpp.

#include <QCoreApplication>
#include <QObject>
#include <QProcess>

#include "toolkit/platform.h"

namespace Toolkit::Internal {

// Starts `process` (its program and arguments set), owned by the event
// loop; it deletes itself once the program ends, never killing a file
// manager still open. A failure to start, and, when `status_counts`, a
// failing status within a few seconds, is reported to `failed` unless
// `context` is gone by then.
void StartWatched(QObject* context, QProcess* process, bool status_counts, OpenFailed failed);

// A process of the application's for `program`, not yet started.
inline QProcess* NewProcess(const QString& program) {
  auto* process = new QProcess(QCoreApplication::instance());
  process->setProgram(program);
  return process;
}

}  // namespace Toolkit::Internal
