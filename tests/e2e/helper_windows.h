// SPDX-License-Identifier: MIT
#pragma once

// Where the end-to-end tests' helper windows stand on the screen, and the
// points the tests press in them.

#include <QRect>

namespace GifTest {

struct ScreenPoint {
  int x = 0, y = 0;
};

inline constexpr QRect kDragSourceWindow{600, 400, 120, 120};
inline constexpr QRect kDropTargetWindow{600, 100, 200, 150};
// The middle of each.
inline constexpr ScreenPoint kDragSource{kDragSourceWindow.x() + kDragSourceWindow.width() / 2,
                                         kDragSourceWindow.y() + kDragSourceWindow.height() / 2};
inline constexpr ScreenPoint kDropTarget{kDropTargetWindow.x() + kDropTargetWindow.width() / 2,
                                         kDropTargetWindow.y() + kDropTargetWindow.height() / 2};

}  // namespace GifTest
