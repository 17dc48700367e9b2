// SPDX-License-Identifier: MIT
#pragma once

#include <QScrollBar>
#include <cstdint>

namespace Toolkit {

// A horizontal scroll bar with 32-bit properties, so that its range reaches
// the end of any strip a widget can hold. `Change` is raised for
// every change of Value: arrows, track clicks, the thumb released after a
// drag (not while it is dragged), and Max lowered below Value.
class ScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  explicit ScrollBar(QWidget* parent);

  std::int32_t Value() const { return value(); }
  std::int32_t Max() const { return maximum(); }
  std::int32_t LargeChange() const { return pageStep(); }
  std::int32_t SmallChange() const { return singleStep(); }
  void SetValue(std::int32_t v) { setValue(v); }
  void SetMax(std::int32_t v) { setMaximum(v); }
  void SetLargeChange(std::int32_t v) { setPageStep(v); }
  void SetSmallChange(std::int32_t v) { setSingleStep(v); }

  // Moves as a horizontal bar's keys do: Left and Right by SmallChange, Page
  // Up and Page Down by LargeChange, Home and End to Min and Max. False for
  // any other key.
  bool MoveByKey(int key);

 signals:
  void Change();

 protected:
  // The native bar shows no focus in every style: a mark says where keys go.
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace Toolkit
