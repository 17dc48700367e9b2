// SPDX-License-Identifier: MIT
#pragma once

namespace Toolkit {

// What long work needs of whoever shows it, the divider's cut and the
// composer's saves alike: a progress strip to draw on and a way to let
// pending window events run. The window implements it over its progress
// control; the command line over a terminal bar.
class Progress {
 public:
  virtual ~Progress() = default;

  // Width of the strip, in its own units (twips in the window). Read once per
  // run, before the first frame is written.
  virtual float Width() = 0;
  // Draws the progress box from the strip's left edge to `right`. Each box
  // covers the ones before; `right` may pass Width() when the source holds
  // more frame markers than were counted.
  virtual void DrawBox(float right) = 0;
  // Erases the strip; called once, after the last frame.
  virtual void Clear() = 0;
  // Lets pending events run; called once after every frame, never while a
  // file is open.
  virtual void DoEvents() = 0;
};

// A strip that shows nothing, for callers without one.
class NoProgress final : public Progress {
 public:
  float Width() override { return 1.0f; }
  void DrawBox(float) override {}
  void Clear() override {}
  void DoEvents() override {}
};

}  // namespace Toolkit
