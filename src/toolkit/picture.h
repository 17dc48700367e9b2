// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <cstddef>
#include <string>

namespace Toolkit {

// A loaded picture: the first frame of an image file. Pictures are values;
// copies share the pixels. A picture too large for the platform to decode
// keeps only its size, and is drawn as a framed placeholder.
class Picture {
 public:
  Picture() = default;
  explicit Picture(QImage image) : image_(std::move(image)) {}
  static Picture TooLargeToDecode(QSize size) {
    Picture picture;
    picture.undecoded_size_ = size;
    return picture;
  }

  bool IsNull() const { return image_.isNull() && undecoded_size_.isEmpty(); }
  bool IsPlaceholder() const { return image_.isNull() && !undecoded_size_.isEmpty(); }
  const QImage& image() const { return image_; }
  QSize Size() const { return image_.isNull() ? undecoded_size_ : image_.size(); }
  // Size in twips at 96 pixels per inch.
  double WidthTwips() const;
  double HeightTwips() const;

 private:
  QImage image_;
  QSize undecoded_size_;
};

// Loads the first frame of the picture file at `path` (the file name's
// bytes). A picture whose decoded pixels would pass the platform's allocation
// limit, or `largest_bytes` when that is not 0, comes back undecoded as a
// placeholder of its size. Throws PlatformError when the file is missing, not
// a regular file, empty, or no picture a decoder accepts.
Picture LoadPicture(const std::string& path, std::size_t largest_bytes = 0);

}  // namespace Toolkit
