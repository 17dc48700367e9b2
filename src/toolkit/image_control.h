// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>
#include <functional>

#include "toolkit/picture.h"

namespace Toolkit {

// An image control: shows its picture stretched to its own size (the only
// way the window uses one).
class ImageControl : public QWidget {
  Q_OBJECT

 public:
  explicit ImageControl(QWidget* parent);
  void SetPicture(const Picture& picture);
  const Picture& GetPicture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Picture picture_;
};

}  // namespace Toolkit
