#pragma once

#include <QImage>
#include <string>

namespace Toolkit {

// A loaded picture: the first frame of an image file. Pictures are values;
// copies share the pixels.
class Picture {
 public:
  Picture() = default;
  explicit Picture(QImage image) : image_(std::move(image)) {}

  bool IsNull() const { return image_.isNull(); }
  const QImage& image() const { return image_; }
  // Size in twips at 96 pixels per inch.
  double WidthTwips() const;
  double HeightTwips() const;

 private:
  QImage image_;
};

// Loads the first frame of the picture file at `path` (UTF-8).
// Throws PlatformError("load", path, reason) when the file is missing or no
// picture a decoder accepts.
Picture LoadPicture(const std::string& path);

}  // namespace Toolkit
