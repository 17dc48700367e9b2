// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <variant>
#include <vector>

class QPainter;

namespace Toolkit {

// What has been drawn on a control, kept as a list of operations rather than
// a bitmap, so that memory follows what was drawn, not the control's area,
// and a repaint draws only the operations that touch the exposed region.
// Coordinates are pixels of the control.
class DrawingList {
 public:
  struct Line {
    QLineF line;
    QColor colour;
  };
  struct Box {
    QRectF rect;
    QColor colour;
    bool filled = true;  // else only its outline
  };
  struct Image {
    QRectF target;
    QImage image;  // at most the target's size in device pixels, or the source's when smaller
  };
  struct Text {
    QPointF top_left;
    QString text;
    QFont font;
    QColor colour;
    QRectF bounds;
  };
  using Operation = std::variant<Line, Box, Image, Text>;

  // Each returns the pixel rectangle the new operation covers.
  QRectF AddLine(QLineF line, QColor colour);
  // A box that covers earlier operations at the end of the list replaces
  // them, so a strip that grows box over box holds one box.
  QRectF AddBox(QRectF rect, QColor colour);
  // An outlined box, which covers nothing.
  QRectF AddFrame(QRectF rect, QColor colour);
  // Keeps the source at most at the target's size in device pixels
  // (`device_pixel_ratio` per pixel), so it is sharp on scaled screens and its
  // memory follows what is drawn.
  QRectF AddImage(QRectF target, const QImage& source, double device_pixel_ratio = 1.0);
  QRectF AddText(QPointF top_left, QString text, const QFont& font, QColor colour);
  void Clear() { operations_.clear(); }

  // Draws the operations that touch `exposed`, in the order they were added.
  void Paint(QPainter& painter, const QRectF& exposed) const;

  std::size_t size() const { return operations_.size(); }
  // Bytes of pixel data held, for tests of memory.
  std::size_t PixelBytes() const;

 private:
  std::vector<Operation> operations_;
};

// `picture` over a grey checkerboard, as image editors show transparency.
QImage OverCheckerboard(const QImage& picture);

}  // namespace Toolkit
