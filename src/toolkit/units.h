// SPDX-License-Identifier: MIT
#pragma once

// The window is described in twips; Qt lays out in device-independent pixels.

namespace Toolkit {

inline constexpr double kTwipsPerPixel = 15.0;  // 1440 twips per inch at 96 pixels per inch
inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kHimetricPerInch = 2540.0;  // pictures measure themselves in 0.01 mm
inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kPixelsPerInch = 96.0;
// Qt refuses widgets wider or taller than this many pixels.
inline constexpr int kLargestWidgetPixels = 16777215;

inline constexpr double TwipsToPixels(double twips) { return twips / kTwipsPerPixel; }
inline constexpr double PixelsToTwips(double pixels) { return pixels * kTwipsPerPixel; }
inline constexpr double TwipsToHimetric(double twips) {
  return twips * kHimetricPerInch / kTwipsPerInch;
}
inline constexpr double PointsToPixels(double points) {
  return points * kPixelsPerInch / kPointsPerInch;
}

// A twips coordinate as a whole pixel, held inside what a widget can take.
int ClampedPixels(double twips);

}  // namespace Toolkit
