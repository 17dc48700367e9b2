// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QPainter;
#include <functional>
#include <utility>
#include <vector>

#include "toolkit/drawing.h"
#include "toolkit/picture.h"

namespace Toolkit {

// A picture box: a control with a persistent drawn picture. What is drawn
// on it stays when it is moved, covered or repainted, also where it lies
// outside its container when drawn.
//
// Units: every capitalised member (Left, Width, Line, CurrentX, ...) is in
// twips, as single-precision values; QWidget's own lower-case members (x(),
// width(), ...) stay in pixels. The widget follows the twips in whole
// pixels, held inside what Qt can lay out; the twips values read back as set.
class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent);

  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetLeft(float twips) { Move(twips, top_, width_, height_); }
  void SetWidth(float twips) { Move(left_, top_, twips, height_); }
  void Move(float left, float top, float width, float height);

  void SetBackColor(QColor colour);
  void SetForeColor(QColor colour);
  QColor ForeColor() const { return fore_colour_; }

  // The picture shown at the top-left corner beneath the drawing. With
  // AutoSize on, the box takes the picture's size.
  void SetAutoSize(bool on) { auto_size_ = on; }
  void SetPicture(const Picture& picture);
  const Picture& GetPicture() const { return picture_; }
  // The size of the box's persistent image (its client area) in HIMETRIC.
  double ImageWidthHimetric() const;
  double ImageHeightHimetric() const;

  // Drawing, in twips of the box. Line draws in the foreground colour; Box
  // fills the rectangle with corners (x1, y1) and (x2, y2) in it.
  void Cls();
  void Line(float x1, float y1, float x2, float y2);
  void Box(float x1, float y1, float x2, float y2);
  void PaintPicture(const Picture& picture, float x, float y, float width, float height);
  // Draws `text` with its top-left corner at (CurrentX, CurrentY) in the
  // box's font, then moves CurrentX back to 0 and CurrentY one line down.
  void Print(const QString& text);
  float CurrentX = 0;
  float CurrentY = 0;

  const DrawingList& drawing() const { return drawing_; }

  // A tooltip for a rectangle of the box, shown instead of the box's own
  // tooltip over it; Cls removes them.
  void AddToolTip(float x, float y, float width, float height, const QString& text);
  QString ToolTipAt(QPoint pixels) const;

  // Marks drawn over the drawing, in twips of the box, and kept apart from
  // it: each of `picked` framed in the system's highlight colour, and, while
  // the box has the keyboard focus, a dashed focus mark around `focus` (none
  // when it is empty). Without a focus rectangle the box shows no focus mark.
  void SetMarks(const std::vector<QRectF>& picked, const QRectF& focus);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void ApplyGeometry();
  void Exposed(const QRectF& pixels);

  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  QColor fore_colour_;
  bool auto_size_ = false;
  Picture picture_;
  DrawingList drawing_;
  std::vector<std::pair<QRectF, QString>> tips_;  // in pixels
  std::vector<QRectF> picked_;                    // in pixels
  QRectF focus_;                                  // in pixels
};

// Draws the keyboard focus mark around the visible part of `widget`.
void PaintFocusMark(QWidget& widget, QPainter& painter);

}  // namespace Toolkit
