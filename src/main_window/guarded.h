// SPDX-License-Identifier: MIT
#pragma once

#include <exception>

namespace MainWindow {

// The drop workflow's one rule for failures: a step that fails is abandoned
// without a word, whatever it built is released, and the workflow goes on
// with the next step; the values it was to set keep their empty start values
// (0, or no text), which later steps read as such.
template <typename Step>
void Guarded(Step&& step) noexcept {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace MainWindow
