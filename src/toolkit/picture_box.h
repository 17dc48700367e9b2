#pragma once

#include <QWidget>
#include <functional>

#include "toolkit/drawing.h"
#include "toolkit/drop_data.h"
#include "toolkit/picture.h"

namespace Toolkit {

// A picture box: a control with a persistent drawn picture, measured in
// twips. What is drawn on it stays when it is moved, covered or repainted,
// also where it lies outside its container when drawn.
class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent);

  // Geometry in twips, as single-precision values. The widget follows in
  // whole pixels, held inside what Qt can lay out; the twips values read
  // back as set.
  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetLeft(float twips);
  void SetTop(float twips);
  void SetWidth(float twips);
  void SetHeight(float twips);
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

  // Drops: when a filter is set, the box accepts drags the filter approves
  // and reports each drop through `dropped`.
  void SetDropFilter(DropFilter filter);

 signals:
  void dropped(const Toolkit::DropData& data, float x, float y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ApplyGeometry();
  void Exposed(const QRectF& pixels);

  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  QColor fore_colour_;
  bool auto_size_ = false;
  Picture picture_;
  DrawingList drawing_;
  DropFilter drop_filter_;
  DragAnswer drag_;
};

}  // namespace Toolkit
