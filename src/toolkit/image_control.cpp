// SPDX-License-Identifier: MIT
#include "toolkit/image_control.h"

#include <QPainter>

namespace Toolkit {

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {}

void ImageControl::SetPicture(const Picture& picture) {
  picture_ = picture;
  update();
}

void ImageControl::paintEvent(QPaintEvent*) {
  if (picture_.IsNull()) return;
  QPainter painter(this);
  painter.drawImage(rect(), picture_.image());
}

}  // namespace Toolkit
