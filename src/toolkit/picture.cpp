// SPDX-License-Identifier: MIT
#include "toolkit/picture.h"

#include <QBuffer>
#include <QImageReader>
#include <vector>

#include "toolkit/file_ops.h"
#include "toolkit/platform_error.h"
#include "toolkit/units.h"

namespace Toolkit {
namespace {

// The size the decoder must allocate: a GIF is decoded onto its whole logical
// screen, which may be far larger than its first frame.
QSize CanvasSize(const std::vector<std::uint8_t>& bytes, QSize reported) {
  constexpr std::size_t kScreenSizeEnd = 10;  // "GIF89a", then width and height, little-endian
  if (bytes.size() < kScreenSizeEnd || bytes[0] != 'G' || bytes[1] != 'I' || bytes[2] != 'F') {
    return reported;
  }
  const QSize screen(bytes[6] | (bytes[7] << 8), bytes[8] | (bytes[9] << 8));
  return reported.isValid() ? reported.expandedTo(screen) : screen;
}

}  // namespace

double Picture::WidthTwips() const { return PixelsToTwips(Size().width()); }
double Picture::HeightTwips() const { return PixelsToTwips(Size().height()); }

int ClampedPixels(double twips) {
  const double pixels = TwipsToPixels(twips);
  if (!(pixels > -kLargestWidgetPixels)) return -kLargestWidgetPixels;  // also NaN
  if (pixels > kLargestWidgetPixels) return kLargestWidgetPixels;
  return static_cast<int>(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
}

Picture LoadPicture(const std::string& path, std::size_t largest_bytes) {
  // Read the bytes ourselves: the name need not be UTF-8, and a pipe or a
  // device, which would block a reader and the window with it, is refused.
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  QImageReader reader(&buffer);
  // A screen past the caller's budget is not decoded at all: its size is
  // all that is asked for then.
  if (const QSize canvas = CanvasSize(bytes, reader.size());
      largest_bytes > 0 && canvas.isValid() &&
      static_cast<std::size_t>(canvas.width()) * canvas.height() * 4 > largest_bytes) {
    return Picture::TooLargeToDecode(canvas);
  }
  // Only the first frame is wanted; the reader decodes frames on demand.
  QImage first = reader.read();
  const QSize size = CanvasSize(bytes, reader.size());
  const qint64 limit = static_cast<qint64>(QImageReader::allocationLimit()) * 1024 * 1024;
  if (first.isNull() && size.isValid() && limit > 0 &&
      static_cast<qint64>(size.width()) * size.height() * 4 > limit) {
    return Picture::TooLargeToDecode(size);
  }
  if (first.isNull()) {
    throw PlatformError("load", path, reader.errorString().toStdString(),
                        ErrorNumber::kInvalidPicture);
  }
  return Picture(std::move(first));
}

}  // namespace Toolkit
