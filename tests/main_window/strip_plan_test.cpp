// SPDX-License-Identifier: MIT
#include "main_window/strip_plan.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace {

using MainWindow::PlanStrip;

TEST(StripPlan, LaysOutSlotsAndAScrollRangeThatReachesTheEnd) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    int frames;
    double width_himetric, height_himetric;
    float viewport;
    double thumbnail, strip;
    std::optional<int> max, large, small;
  };
  const Case cases[] = {
      {"ten square frames", 10, 265, 265, 5535, 1395, 14610, 567, 91, 23},
      {"ties to even, down", 4, 1388, 1395, 4244, 1388, 5852, 100, 90, 22},
      {"ties to even, up", 4, 1388, 1395, 4228, 1388, 5852, 102, 90, 22},
      {"narrower than the viewport", 2, 265, 265, 5535, 1395, 2970, 0, std::nullopt, std::nullopt},
      {"no height: no ratio", 3, 265, 0, 5535, 0, 240, 0, std::nullopt, std::nullopt},
      {"a size that does not convert", 3, 3e9, 265, 5535, 0, 240, 0, std::nullopt, std::nullopt},
      {"not a number", 3, nan, 265, 5535, 0, 240, 0, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto plan = PlanStrip(c.frames, c.width_himetric, c.height_himetric, 1695, c.viewport);
    EXPECT_DOUBLE_EQ(plan.thumbnail_width, c.thumbnail);
    EXPECT_DOUBLE_EQ(plan.strip_width, c.strip);
    EXPECT_EQ(plan.scroll_max, c.max);
    EXPECT_EQ(plan.large_change, c.large);
    EXPECT_EQ(plan.small_change, c.small);
    ASSERT_EQ(plan.places.size(), static_cast<std::size_t>(c.frames));
    // Each thumbnail lies inside its slot, right of its separator and
    // clear of the next slot (the last: of the strip's end), and its
    // number below it.
    for (std::size_t i = 0; i < plan.places.size(); ++i) {
      const auto& slot = plan.places[i];
      const double next = i + 1 < plan.places.size() ? plan.places[i + 1].separator_x : c.strip;
      EXPECT_GT(slot.thumbnail_left, slot.separator_x) << i;
      EXPECT_LT(slot.thumbnail_left + c.thumbnail, next) << i;
      EXPECT_GE(slot.number_top, plan.thumbnail_height) << i;
    }
  }
}

}  // namespace
