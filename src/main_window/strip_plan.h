// SPDX-License-Identifier: MIT
#pragma once

// Where the thumbnail strip puts things, worked out without any widget.
// All lengths are twips.

#include <cstdint>
#include <optional>
#include <vector>

namespace MainWindow {

struct SlotPlan {
  double separator_x = 0;  // the line at the slot's left edge
  double thumbnail_left = 0;
  float number_top = 0;  // the three-digit number, below the thumbnail
};

struct StripPlan {
  double thumbnail_width = 0;  // 0 when the picture's ratio could not be had
  float thumbnail_height = 0;  // the strip's height less the number band
  double strip_width = 0;
  // Absent where the conversion failed: the scroll bar keeps what it has.
  std::optional<std::int32_t> scroll_max, large_change, small_change;
  std::vector<SlotPlan> places;  // one slot per frame, in frame order
};

// Lays out `frame_count` slots for a picture of the given HIMETRIC size on a
// strip box `strip_box_height` high, seen through a viewport
// `viewport_width` wide. Each slot is the thumbnail's width plus padding; the
// scroll range is counted in units of 16 twips and reaches the strip's end.
// A size that does not convert, or a height of 0, gives thumbnails of width 0,
// as the workflow's guarded steps always have. REQUIRES: frame_count >= 0.
StripPlan PlanStrip(int frame_count, double picture_width_himetric, double picture_height_himetric,
                    float strip_box_height, float viewport_width);

}  // namespace MainWindow
