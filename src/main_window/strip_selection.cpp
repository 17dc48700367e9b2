// SPDX-License-Identifier: MIT
#include "main_window/strip_selection.h"

#include <algorithm>

namespace MainWindow {

void StripSelection::Reset(int frames) {
  picked_.assign(static_cast<std::size_t>(std::max(frames, 0)), false);
  focus_ = anchor_ = 0;
}

void StripSelection::Click(int number, bool toggle, bool extend) {
  if (number < 1 || number > Frames()) return;
  focus_ = number;
  if (extend && anchor_ != 0) return PickRange(anchor_, number, toggle);
  anchor_ = number;
  if (toggle) {
    picked_[number - 1] = !picked_[number - 1];
    return;
  }
  PickRange(number, number, false);
}

void StripSelection::Step(int step, bool extend, bool keep) {
  if (Frames() == 0) return;
  const int target = focus_ == 0 ? 1 : std::clamp(focus_ + step, 1, Frames());
  if (keep && !extend) {
    focus_ = target;
    return;
  }
  Click(target, keep, extend);
}

void StripSelection::SelectAll() { std::fill(picked_.begin(), picked_.end(), true); }

void StripSelection::Clear() { std::fill(picked_.begin(), picked_.end(), false); }

bool StripSelection::Contains(int number) const {
  return number >= 1 && number <= Frames() && picked_[number - 1];
}

std::vector<int> StripSelection::Selected() const {
  std::vector<int> numbers;
  for (int number = 1; number <= Frames(); ++number) {
    if (picked_[number - 1]) numbers.push_back(number);
  }
  return numbers;
}

void StripSelection::PickRange(int from, int to, bool keep_others) {
  if (!keep_others) Clear();
  for (int number = std::min(from, to); number <= std::max(from, to); ++number) {
    picked_[number - 1] = true;
  }
}

}  // namespace MainWindow
