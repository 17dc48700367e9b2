// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

namespace Toolkit {

// A picture: a frame for the strip, or only the size of one. Pictures are
// values; copies share the pixels. A picture that has only its size (too
// large to compose, say) is drawn as a framed placeholder.
class Picture {
 public:
  Picture() = default;
  explicit Picture(QImage image) : image_(std::move(image)) {}
  static Picture Placeholder(QSize size) {
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

}  // namespace Toolkit
