// SPDX-License-Identifier: MIT
#include "toolkit/picture.h"

#include "toolkit/units.h"

namespace Toolkit {

double Picture::WidthTwips() const { return PixelsToTwips(Size().width()); }
double Picture::HeightTwips() const { return PixelsToTwips(Size().height()); }

}  // namespace Toolkit
