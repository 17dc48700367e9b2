// SPDX-License-Identifier: MIT
#pragma once

#include "main_window/workflow_constants.h"
#include "toolkit/picture_box.h"
#include "toolkit/platform.h"
#include "toolkit/progress.h"

namespace MainWindow {

// The divider's view of the window: the progress strip and the event pump.
class WindowProgress final : public Toolkit::Progress {
 public:
  explicit WindowProgress(Toolkit::PictureBox& strip) : strip_(strip) {}
  float Width() override { return strip_.Width(); }
  void DrawBox(float right) override { strip_.Box(0, 0, right, kProgressBoxHeight); }
  void Clear() override { strip_.Cls(); }
  void DoEvents() override { Toolkit::DoEvents(); }

 private:
  Toolkit::PictureBox& strip_;
};

// The progress strip shown for as long as the work that made it runs.
class ShownProgress {
 public:
  explicit ShownProgress(Toolkit::PictureBox& strip) : strip_(strip) { strip_.setVisible(true); }
  ShownProgress(const ShownProgress&) = delete;
  ShownProgress& operator=(const ShownProgress&) = delete;
  ~ShownProgress() {
    strip_.Cls();
    strip_.setVisible(false);
  }

 private:
  Toolkit::PictureBox& strip_;
};

}  // namespace MainWindow
