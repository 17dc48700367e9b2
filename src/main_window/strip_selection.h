// SPDX-License-Identifier: MIT
#pragma once

// Which frames of the strip are picked, and where the keyboard's mark is:
// the rules of a list that is picked from with the mouse and the keys, as
// file managers pick files. Frame numbers are 1-based; 0 means none.

#include <vector>

namespace MainWindow {

class StripSelection {
 public:
  // Forgets everything: `frames` frames, none picked, no mark.
  void Reset(int frames);

  // A click on `number`: alone it picks that frame only; with `toggle`
  // (Ctrl) it adds or removes it; with `extend` (Shift) it picks the range
  // from the anchor (the last frame clicked without Shift) to it, added to
  // what was picked when `toggle` is also held. The mark moves to it.
  // Numbers outside 1 .. frames are ignored.
  void Click(int number, bool toggle, bool extend);
  // Moves the mark by `step` frames, held within the strip; picks the
  // frame it lands on alone, or with `extend` the range from the anchor
  // (added to what is picked with `keep`). With `keep` alone (Ctrl) only the
  // mark moves. With no mark yet, it starts at the first frame.
  void Step(int step, bool extend, bool keep = false);
  // Adds or removes the frame under the mark (Ctrl+Space).
  void ToggleMarked() { Click(focus_, true, false); }
  void SelectAll();
  void Clear();  // the mark stays where it is

  bool Contains(int number) const;
  // The picked frames, in order.
  std::vector<int> Selected() const;
  int Focus() const { return focus_; }
  int Frames() const { return static_cast<int>(picked_.size()); }

 private:
  void PickRange(int from, int to, bool keep_others);
  std::vector<bool> picked_;  // [number - 1]
  int focus_ = 0;
  int anchor_ = 0;
};

}  // namespace MainWindow
