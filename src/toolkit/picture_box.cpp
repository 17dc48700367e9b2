// SPDX-License-Identifier: MIT
#include "toolkit/picture_box.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include "toolkit/units.h"

namespace Toolkit {
namespace {

QPointF ToPixels(float x, float y) { return QPointF(TwipsToPixels(x), TwipsToPixels(y)); }

constexpr int kPickedPen = 3;  // pixels: a picked thumbnail's frame

}  // namespace

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent), fore_colour_(palette().windowText().color()) {
  setAutoFillBackground(true);
}

void PictureBox::Move(float left, float top, float width, float height) {
  left_ = left, top_ = top, width_ = width, height_ = height;
  ApplyGeometry();
}

void PictureBox::ApplyGeometry() {
  const int x = ClampedPixels(left_), y = ClampedPixels(top_);
  const int w = std::max(0, ClampedPixels(width_)), h = std::max(0, ClampedPixels(height_));
  setGeometry(x, y, w, h);
}

void PictureBox::SetBackColor(QColor colour) {
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colour);
  setPalette(colours);
}

void PictureBox::SetForeColor(QColor colour) { fore_colour_ = colour; }

void PictureBox::SetPicture(const Picture& picture) {
  picture_ = picture;
  if (auto_size_ && !picture.IsNull()) {
    width_ = static_cast<float>(picture.WidthTwips());
    height_ = static_cast<float>(picture.HeightTwips());
    ApplyGeometry();
  }
  update();
}

double PictureBox::ImageWidthHimetric() const { return TwipsToHimetric(width_); }
double PictureBox::ImageHeightHimetric() const { return TwipsToHimetric(height_); }

void PictureBox::Cls() {
  drawing_.Clear();
  tips_.clear();
  CurrentX = 0;
  CurrentY = 0;
  update();
}

void PictureBox::Exposed(const QRectF& pixels) {
  if (!pixels.isEmpty()) update(pixels.toAlignedRect().intersected(rect()));
}

void PictureBox::Line(float x1, float y1, float x2, float y2) {
  Exposed(drawing_.AddLine(QLineF(ToPixels(x1, y1), ToPixels(x2, y2)), fore_colour_));
}

void PictureBox::Box(float x1, float y1, float x2, float y2) {
  Exposed(drawing_.AddBox(QRectF(ToPixels(x1, y1), ToPixels(x2, y2)), fore_colour_));
}

void PictureBox::PaintPicture(const Picture& picture, float x, float y, float width, float height) {
  const QRectF target(ToPixels(x, y), QSizeF(TwipsToPixels(width), TwipsToPixels(height)));
  if (picture.IsPlaceholder()) {
    // Better a frame that says what is there than a blank slot.
    Exposed(drawing_.AddFrame(target, fore_colour_));
    const QSize size = picture.Size();
    Exposed(drawing_.AddText(target.topLeft() + QPointF(3, 3),
                             QStringLiteral("%1 \u00D7 %2").arg(size.width()).arg(size.height()),
                             font(), fore_colour_));
    return;
  }
  Exposed(drawing_.AddImage(target, picture.image(), devicePixelRatioF()));
}

void PictureBox::Print(const QString& text) {
  const QRectF bounds = drawing_.AddText(ToPixels(CurrentX, CurrentY), text, font(), fore_colour_);
  Exposed(bounds);
  CurrentX = 0;
  CurrentY += static_cast<float>(PixelsToTwips(bounds.height()));
}

void PictureBox::AddToolTip(float x, float y, float width, float height, const QString& text) {
  tips_.emplace_back(QRectF(ToPixels(x, y), QSizeF(TwipsToPixels(width), TwipsToPixels(height))),
                     text);
}

QString PictureBox::ToolTipAt(QPoint pixels) const {
  for (const auto& [area, text] : tips_) {
    if (area.contains(pixels)) return text;
  }
  return toolTip();
}

bool PictureBox::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !tips_.empty()) {
    const auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), ToolTipAt(help->pos()), this);
    return true;
  }
  return QWidget::event(event);
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.setClipRegion(event->region());
  if (!picture_.IsNull()) painter.drawImage(QPoint(0, 0), picture_.image());
  drawing_.Paint(painter, event->rect());
  const QColor highlight = palette().color(QPalette::Highlight);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(highlight, kPickedPen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  for (const QRectF& picked : picked_) painter.drawRect(picked.adjusted(1.5, 1.5, -1.5, -1.5));
  if (hasFocus() && !focus_.isEmpty()) {
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DashLine));
    painter.drawRect(focus_.adjusted(3, 3, -4, -4));
  }
}

void PictureBox::SetMarks(const std::vector<QRectF>& picked, const QRectF& focus) {
  const auto to_pixels = [](const QRectF& twips) {
    return QRectF(ToPixels(static_cast<float>(twips.left()), static_cast<float>(twips.top())),
                  ToPixels(static_cast<float>(twips.right()), static_cast<float>(twips.bottom())));
  };
  picked_.clear();
  for (const QRectF& rect : picked) picked_.push_back(to_pixels(rect));
  focus_ = to_pixels(focus);
  update();
}

void PaintFocusMark(QWidget& widget, QPainter& painter) {
  // Around the part that can be seen: a strip wider than its viewport
  // would carry the mark out of sight.
  const QRect seen = widget.visibleRegion().boundingRect().adjusted(1, 1, -2, -2);
  painter.setClipping(false);
  painter.setPen(QPen(widget.palette().color(QPalette::Highlight), 1, Qt::DashLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(seen);
}

}  // namespace Toolkit
