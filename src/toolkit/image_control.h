#pragma once

#include <QWidget>
#include <functional>

#include "toolkit/drop_data.h"
#include "toolkit/picture.h"

namespace Toolkit {

// An image control: shows its picture stretched to its own size.
class ImageControl : public QWidget {
  Q_OBJECT

 public:
  explicit ImageControl(QWidget* parent);
  void SetPicture(const Picture& picture);
  const Picture& GetPicture() const { return picture_; }
  void SetDropFilter(DropFilter filter);

 signals:
  void dropped(const Toolkit::DropData& data, float x, float y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  Picture picture_;
  DropFilter drop_filter_;
  DragAnswer drag_;
};

}  // namespace Toolkit
