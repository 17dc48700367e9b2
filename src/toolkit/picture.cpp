#include "toolkit/picture.h"

#include <QImageReader>

#include "toolkit/platform_error.h"
#include "toolkit/units.h"

namespace Toolkit {

double Picture::WidthTwips() const { return PixelsToTwips(image_.width()); }
double Picture::HeightTwips() const { return PixelsToTwips(image_.height()); }

int ClampedPixels(double twips) {
  const double pixels = TwipsToPixels(twips);
  if (!(pixels > -kLargestWidgetPixels)) return -kLargestWidgetPixels;  // also NaN
  if (pixels > kLargestWidgetPixels) return kLargestWidgetPixels;
  return static_cast<int>(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
}

Picture LoadPicture(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  // Only the first frame is wanted; the reader decodes frames on demand.
  QImage first = reader.read();
  if (first.isNull()) {
    const int number = reader.error() == QImageReader::FileNotFoundError
                           ? ErrorNumber::kFileNotFound
                           : ErrorNumber::kInvalidPicture;
    throw PlatformError("load", path, reader.errorString().toStdString(), number);
  }
  return Picture(std::move(first));
}

}  // namespace Toolkit
