// SPDX-License-Identifier: MIT
#include "main_window/strip_selection.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using MainWindow::StripSelection;

TEST(StripSelection, ClicksAndKeysPickAsFileManagersDo) {
  using Act = std::function<void(StripSelection&)>;
  const auto click = [](int n, bool ctrl = false, bool shift = false) -> Act {
    return [=](StripSelection& s) { s.Click(n, ctrl, shift); };
  };
  const auto step = [](int by, bool shift = false, bool ctrl = false) -> Act {
    return [=](StripSelection& s) { s.Step(by, shift, ctrl); };
  };
  const Act toggle = [](StripSelection& s) { s.ToggleMarked(); };
  const Act all = [](StripSelection& s) { s.SelectAll(); };
  const Act clear = [](StripSelection& s) { s.Clear(); };
  struct Case {
    const char* name;
    std::vector<Act> acts;
    std::vector<int> selected;
    int focus;
  };
  const Case cases[] = {
      {"a click picks one", {click(3), click(5)}, {5}, 5},
      {"ctrl adds and removes",
       {click(2), click(5, true), click(7, true), click(2, true)},
       {5, 7},
       2},
      {"shift picks from the anchor", {click(6), click(3, false, true)}, {3, 4, 5, 6}, 3},
      {"shift again moves the range's end",
       {click(4), click(8, false, true), click(2, false, true)},
       {2, 3, 4},
       2},
      {"ctrl+shift adds a range",
       {click(1), click(5, true), click(7, true, true)},
       {1, 5, 6, 7},
       7},
      {"out of range is ignored", {click(2), click(0), click(13)}, {2}, 2},
      {"arrows start at the first frame", {step(1)}, {1}, 1},
      {"arrows stop at the ends", {click(11), step(1), step(1)}, {12}, 12},
      {"shift+arrows extend", {click(5), step(1, true), step(1, true), step(-3, true)}, {4, 5}, 4},
      {"ctrl+arrows move the mark alone, ctrl+space picks",
       {click(2), step(2, false, true), toggle, step(1, true, true)},
       {2, 4, 5},
       5},
      {"ctrl+a and escape", {click(2), all}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 2},
      {"escape keeps the mark", {click(9), clear}, {}, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StripSelection selection;
    selection.Reset(12);
    for (const Act& act : c.acts) act(selection);
    EXPECT_EQ(selection.Selected(), c.selected);
    EXPECT_EQ(selection.Focus(), c.focus);
  }
  StripSelection empty;
  empty.Reset(0);
  empty.Step(1, false);
  empty.SelectAll();
  EXPECT_TRUE(empty.Selected().empty());
  EXPECT_EQ(empty.Focus(), 0);
}

}  // namespace
