#include "toolkit/image_control.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPainter>

#include "toolkit/units.h"

namespace Toolkit {

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {}

void ImageControl::SetPicture(const Picture& picture) {
  picture_ = picture;
  update();
}

void ImageControl::SetDropFilter(DropFilter filter) {
  drop_filter_ = std::move(filter);
  setAcceptDrops(static_cast<bool>(drop_filter_));
}

void ImageControl::paintEvent(QPaintEvent*) {
  if (picture_.IsNull()) return;
  QPainter painter(this);
  painter.drawImage(rect(), picture_.image());
}

void ImageControl::dragEnterEvent(QDragEnterEvent* event) { drag_.Answer(drop_filter_, event); }

void ImageControl::dropEvent(QDropEvent* event) {
  const DropData data = drag_.AnswerDrop(drop_filter_, event);
  if (data.files.empty()) return;
  emit dropped(data, static_cast<float>(PixelsToTwips(event->position().x())),
               static_cast<float>(PixelsToTwips(event->position().y())));
}

}  // namespace Toolkit
