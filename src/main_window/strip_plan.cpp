// SPDX-License-Identifier: MIT
#include "main_window/strip_plan.h"

#include "main_window/guarded.h"
#include "main_window/workflow_constants.h"
#include "toolkit/conversions.h"
#include "toolkit/platform_error.h"

namespace MainWindow {
namespace {

double Ratio(std::int32_t width, std::int32_t height) {
  if (height == 0) {
    throw Toolkit::PlatformError(
        "divide", "picture width by height", "Division by zero",
        width == 0 ? Toolkit::FailureKind::kNoSize : Toolkit::FailureKind::kNoHeight);
  }
  return static_cast<double>(width) / height;
}

}  // namespace

StripPlan PlanStrip(int frame_count, double picture_width_himetric, double picture_height_himetric,
                    float strip_box_height, float viewport_width) {
  StripPlan plan;
  std::int32_t picture_width = 0, picture_height = 0;
  double aspect_ratio = 0;
  Guarded("reading the picture's height",
          [&] { picture_height = Toolkit::CLng(picture_height_himetric); });
  Guarded("reading the picture's width",
          [&] { picture_width = Toolkit::CLng(picture_width_himetric); });
  Guarded("taking the picture's aspect ratio",
          [&] { aspect_ratio = Ratio(picture_width, picture_height); });

  plan.thumbnail_height = strip_box_height - kNumberBand;
  plan.thumbnail_width = aspect_ratio * plan.thumbnail_height;
  const double slot_width = plan.thumbnail_width + kSlotPadding;
  plan.strip_width = slot_width * frame_count + kSlotPadding;
  // The range is 32-bit, so that a wide strip scrolls to its last frame.
  if (plan.strip_width > viewport_width) {
    Guarded("sizing the scroll bar's range", [&] {
      plan.scroll_max = Toolkit::CLng((plan.strip_width - viewport_width) / kTwipsPerScrollUnit);
    });
    Guarded("sizing the scroll bar's large change",
            [&] { plan.large_change = Toolkit::CLng(slot_width / kTwipsPerScrollUnit); });
    if (plan.large_change) {
      plan.small_change =
          Toolkit::CLng(static_cast<double>(*plan.large_change) / kSmallChangeDivisor);
    }
  } else {
    plan.scroll_max = 0;
  }

  for (int n = 1; n <= frame_count; ++n) {
    const double left = (n - 1) * slot_width + kThumbnailInset;
    plan.places.push_back({left - kThumbnailInset, left, plan.thumbnail_height + kNumberGap});
  }
  return plan;
}

}  // namespace MainWindow
