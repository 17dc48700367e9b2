// SPDX-License-Identifier: MIT
#include "toolkit/scroll_bar.h"

namespace Toolkit {

ScrollBar::ScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  // Without tracking, valueChanged waits for the thumb's release.
  setTracking(false);
  connect(this, &QScrollBar::valueChanged, this, &ScrollBar::Change);
}

}  // namespace Toolkit
