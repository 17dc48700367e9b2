#pragma once

#include <QScrollBar>
#include <cstdint>

namespace Toolkit {

// A horizontal scroll bar with 16-bit properties. `Change` is raised for
// every change of Value: arrows, track clicks, the thumb released after a
// drag (not while it is dragged), and Max lowered below Value.
class ScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  explicit ScrollBar(QWidget* parent);

  std::int16_t Value() const { return static_cast<std::int16_t>(value()); }
  std::int16_t Max() const { return static_cast<std::int16_t>(maximum()); }
  std::int16_t LargeChange() const { return static_cast<std::int16_t>(pageStep()); }
  std::int16_t SmallChange() const { return static_cast<std::int16_t>(singleStep()); }
  void SetValue(std::int16_t v) { setValue(v); }
  void SetMax(std::int16_t v) { setMaximum(v); }
  void SetLargeChange(std::int16_t v) { setPageStep(v); }
  void SetSmallChange(std::int16_t v) { setSingleStep(v); }

 signals:
  void Change();
};

}  // namespace Toolkit
