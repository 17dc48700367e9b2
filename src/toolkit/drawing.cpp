// SPDX-License-Identifier: MIT
#include "toolkit/drawing.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace Toolkit {
namespace {

QRectF LineBounds(const QLineF& line) {
  return QRectF(line.p1(), line.p2()).normalized().adjusted(-1, -1, 1, 1);
}

QRectF Bounds(const DrawingList::Operation& operation) {
  return std::visit(
      [](const auto& op) -> QRectF {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, DrawingList::Line>) return LineBounds(op.line);
        if constexpr (std::is_same_v<T, DrawingList::Box>) {
          return op.filled ? op.rect : op.rect.adjusted(-1, -1, 1, 1);
        }
        if constexpr (std::is_same_v<T, DrawingList::Image>) return op.target;
        if constexpr (std::is_same_v<T, DrawingList::Text>) return op.bounds;
      },
      operation);
}

// Pixels to keep in one direction: the target's, unless the source has fewer.
int KeptPixels(double target, int source) {
  const double wanted = std::ceil(std::max(1.0, target));
  return wanted < source ? static_cast<int>(wanted) : source;
}

}  // namespace

QRectF DrawingList::AddLine(QLineF line, QColor colour) {
  operations_.emplace_back(Line{line, colour});
  return LineBounds(line);
}

QRectF DrawingList::AddBox(QRectF rect, QColor colour) {
  rect = rect.normalized();
  while (!operations_.empty() && rect.contains(Bounds(operations_.back()))) operations_.pop_back();
  operations_.emplace_back(Box{rect, colour});
  return rect;
}

QRectF DrawingList::AddFrame(QRectF rect, QColor colour) {
  rect = rect.normalized();
  operations_.emplace_back(Box{rect, colour, false});
  return rect.adjusted(-1, -1, 1, 1);
}

QRectF DrawingList::AddImage(QRectF target, const QImage& source, double device_pixel_ratio) {
  if (source.isNull() || !(target.width() > 0) || !(target.height() > 0)) return {};
  const double scale = std::max(1.0, device_pixel_ratio);
  const int width = KeptPixels(target.width() * scale, source.width());
  const int height = KeptPixels(target.height() * scale, source.height());
  QImage kept = (width == source.width() && height == source.height())
                    ? source
                    : source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  operations_.emplace_back(Image{target, std::move(kept)});
  return target;
}

QRectF DrawingList::AddText(QPointF top_left, QString text, const QFont& font, QColor colour) {
  const QFontMetricsF metrics(font);
  const QRectF bounds(top_left, QSizeF(metrics.horizontalAdvance(text), metrics.height()));
  operations_.emplace_back(
      Text{top_left, std::move(text), font, colour, bounds.adjusted(-1, -1, 1, 1)});
  return bounds;
}

void DrawingList::Paint(QPainter& painter, const QRectF& exposed) const {
  for (const Operation& operation : operations_) {
    if (!Bounds(operation).intersects(exposed)) continue;
    std::visit(
        [&](const auto& op) {
          using T = std::decay_t<decltype(op)>;
          if constexpr (std::is_same_v<T, Line>) {
            painter.setPen(QPen(op.colour, 0));
            painter.drawLine(op.line);
          } else if constexpr (std::is_same_v<T, Box>) {
            if (op.filled) {
              painter.fillRect(op.rect, op.colour);
            } else {
              painter.setPen(QPen(op.colour, 0));
              painter.setBrush(Qt::NoBrush);
              painter.drawRect(op.rect);
            }
          } else if constexpr (std::is_same_v<T, Image>) {
            // Draw only the part of the picture that falls in the exposed
            // region, so a thumbnail millions of pixels wide costs what shows.
            const QRectF visible = op.target.intersected(exposed);
            const double sx = op.image.width() / op.target.width();
            const double sy = op.image.height() / op.target.height();
            const QRectF source((visible.left() - op.target.left()) * sx,
                                (visible.top() - op.target.top()) * sy, visible.width() * sx,
                                visible.height() * sy);
            painter.drawImage(visible, op.image, source);
          } else {
            painter.setFont(op.font);
            painter.setPen(op.colour);
            painter.drawText(op.top_left + QPointF(0, QFontMetricsF(op.font).ascent()), op.text);
          }
        },
        operation);
  }
}

std::size_t DrawingList::PixelBytes() const {
  std::size_t bytes = 0;
  for (const Operation& operation : operations_) {
    if (const auto* image = std::get_if<Image>(&operation)) {
      bytes += static_cast<std::size_t>(image->image.sizeInBytes());
    }
  }
  return bytes;
}

QImage OverCheckerboard(const QImage& picture) {
  constexpr int kCell = 8;  // pixels of the picture
  QImage board(picture.size(), QImage::Format_ARGB32_Premultiplied);
  board.fill(QColor(0xFF, 0xFF, 0xFF));
  QPainter painter(&board);
  for (int y = 0; y < board.height(); y += kCell) {
    for (int x = (y / kCell % 2) * kCell; x < board.width(); x += 2 * kCell) {
      painter.fillRect(x, y, kCell, kCell, QColor(0xCC, 0xCC, 0xCC));
    }
  }
  painter.drawImage(0, 0, picture);
  painter.end();
  return board;
}

}  // namespace Toolkit
