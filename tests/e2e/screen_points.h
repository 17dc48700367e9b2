// SPDX-License-Identifier: MIT
#pragma once

// Where the end-to-end tests press, kept in one place: points of the
// window's client area, from the control table and, for thumbnails, the
// strip's plan for a square picture; and where the helper windows stand on
// the screen. tests/screen_points.sh, written from this at build time,
// gives the shell tests the same numbers.

#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/helper_windows.h"
#include "main_window/control_table.h"
#include "main_window/strip_plan.h"
#include "toolkit/units.h"

namespace GifTest {

inline const MainWindow::ControlRow& Control(std::string_view name) {
  for (const auto& row : MainWindow::kControls) {
    if (row.name == name) return row;
  }
  throw std::logic_error("no control " + std::string(name));
}

// The middle of a control that lies on the window itself, in client pixels.
inline ScreenPoint MiddleOf(std::string_view name) {
  const auto& g = Control(name).geometry;
  return {static_cast<int>(Toolkit::TwipsToPixels(g.left + g.width / 2)),
          static_cast<int>(Toolkit::TwipsToPixels(g.top + g.height / 2))};
}

inline ScreenPoint EndButtonPoint() { return MiddleOf("Command1"); }
inline ScreenPoint ShowHolderPoint() { return MiddleOf("Command2"); }
inline ScreenPoint StripPoint() { return MiddleOf("Picture3"); }  // the strip fills the viewport

// The point `across` and `down` of the way into thumbnail `number`
// (1-based; the middle by default) of a square picture's strip, scrolled
// to its start, in client pixels.
inline ScreenPoint ThumbnailPoint(int number, double across = 0.5, double down = 0.5) {
  const auto& viewport = Control("Picture3").geometry;
  const auto& strip = Control("Picture1").geometry;
  const MainWindow::StripPlan plan =
      MainWindow::PlanStrip(number, 1000, 1000, strip.height, viewport.width);
  const double left = viewport.left + strip.left + plan.places.back().thumbnail_left;
  const double top = viewport.top + strip.top;
  return {static_cast<int>(Toolkit::TwipsToPixels(left + plan.thumbnail_width * across)),
          static_cast<int>(Toolkit::TwipsToPixels(top + plan.thumbnail_height * down))};
}

}  // namespace GifTest
