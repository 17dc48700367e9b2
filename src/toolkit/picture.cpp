// SPDX-License-Identifier: MIT
#include "toolkit/picture.h"

#include "toolkit/units.h"

namespace Toolkit {

double Picture::WidthTwips() const { return PixelsToTwips(Size().width()); }
double Picture::HeightTwips() const { return PixelsToTwips(Size().height()); }

int ClampedPixels(double twips) {
  const double pixels = TwipsToPixels(twips);
  if (!(pixels > -kLargestWidgetPixels)) return -kLargestWidgetPixels;  // also NaN
  if (pixels > kLargestWidgetPixels) return kLargestWidgetPixels;
  return static_cast<int>(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
}

}  // namespace Toolkit
