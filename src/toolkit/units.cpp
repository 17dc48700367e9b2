// SPDX-License-Identifier: MIT
#include "toolkit/units.h"

namespace Toolkit {

int ClampedPixels(double twips) {
  const double pixels = TwipsToPixels(twips);
  if (!(pixels > -kLargestWidgetPixels)) return -kLargestWidgetPixels;  // also NaN
  if (pixels > kLargestWidgetPixels) return kLargestWidgetPixels;
  return static_cast<int>(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
}

}  // namespace Toolkit
