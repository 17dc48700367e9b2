// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>
#include <exception>

#include "main_window/workflow_constants.h"

namespace MainWindow {

// The drop workflow's one rule for failures: a step that fails is abandoned
// without a word to the user, whatever it built is released, and the
// workflow goes on with the next step; the values it was to set keep their
// empty start values (0, or no text), which later steps read as such. The
// failure is still logged as a warning, naming `operation` (what the step
// was doing, such as "emptying the work folder") and the reason, so that a
// step that keeps failing can be found.
template <typename Step>
void Guarded(const char* operation, Step&& step) noexcept {
  try {
    step();
  } catch (const std::exception& failure) {
    qWarning(kStepFailedLog, operation, failure.what());
  }
}

}  // namespace MainWindow
