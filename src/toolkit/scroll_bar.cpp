// SPDX-License-Identifier: MIT
#include "toolkit/scroll_bar.h"

#include <QKeyEvent>
#include <QPainter>

#include "toolkit/picture_box.h"

namespace Toolkit {

ScrollBar::ScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  // Without tracking, valueChanged waits for the thumb's release.
  setTracking(false);
  connect(this, &QScrollBar::valueChanged, this, &ScrollBar::Change);
}

bool ScrollBar::MoveByKey(int key) {
  // Qt's own handling turns Left and Right round, as the bar's wheel
  // direction is inverted for vertical use.
  switch (key) {
    case Qt::Key_Left:
      triggerAction(SliderSingleStepSub);
      return true;
    case Qt::Key_Right:
      triggerAction(SliderSingleStepAdd);
      return true;
    case Qt::Key_PageUp:
      triggerAction(SliderPageStepSub);
      return true;
    case Qt::Key_PageDown:
      triggerAction(SliderPageStepAdd);
      return true;
    case Qt::Key_Home:
      triggerAction(SliderToMinimum);
      return true;
    case Qt::Key_End:
      triggerAction(SliderToMaximum);
      return true;
    default:
      return false;
  }
}

void ScrollBar::keyPressEvent(QKeyEvent* event) {
  if (MoveByKey(event->key())) return event->accept();
  QScrollBar::keyPressEvent(event);
}

void ScrollBar::paintEvent(QPaintEvent* event) {
  QScrollBar::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  PaintFocusMark(*this, painter);
}

}  // namespace Toolkit
