// SPDX-License-Identifier: MIT
// The strip as a frame picker: clicks and keys pick frames, marks show
// them, the menu acts on them, and the thumbnails show the frames as they
// appear or as their files store them.

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "main_window/flag_scope.h"
#include "main_window/form_main.h"
#include "main_window/strip_plan.h"
#include "main_window/window_progress.h"
#include "main_window/workflow_constants.h"
#include "toolkit/picture_box.h"
#include "toolkit/scroll_bar.h"
#include "toolkit/units.h"

namespace MainWindow {
namespace {

constexpr int kWheelNotch = 120;  // eighths of a degree: one notch of a wheel

}  // namespace

std::vector<int> Form_main::ActedOn(int number) const {
  if (selection_.Contains(number)) return selection_.Selected();
  return {number};
}

QRectF Form_main::SlotOf(int number) const {
  if (number < 1 || static_cast<std::size_t>(number) > frame_slots_.size()) return {};
  return frame_slots_[static_cast<std::size_t>(number) - 1];
}

void Form_main::UpdateMarks() {
  // A thumbnail's mark takes in its number below it.
  const auto mark = [&](int number) {
    QRectF rect = SlotOf(number);
    if (!rect.isEmpty()) rect.setHeight(rect.height() + kNumberBand);
    return rect;
  };
  std::vector<QRectF> picked;
  for (const int number : selection_.Selected()) {
    if (const QRectF rect = mark(number); !rect.isEmpty()) picked.push_back(rect);
  }
  Strip()->SetMarks(picked, mark(selection_.Focus()));
}

void Form_main::ScrollToMark() {
  const QRectF slot = SlotOf(selection_.Focus());
  if (slot.isEmpty()) return;
  Toolkit::ScrollBar* bar = StripScrollBar();
  const double seen_left = bar->Value() * kTwipsPerScrollUnit;
  const double seen_width = Viewport()->Width();
  double value = bar->Value();
  if (slot.left() < seen_left) {
    value = std::floor(slot.left() / kTwipsPerScrollUnit);
  } else if (slot.right() + kThumbnailInset > seen_left + seen_width) {
    value = std::ceil((slot.right() + kThumbnailInset - seen_width) / kTwipsPerScrollUnit);
  }
  bar->SetValue(static_cast<std::int32_t>(std::clamp(value, 0.0, static_cast<double>(bar->Max()))));
}

bool Form_main::PickByKey(const QKeyEvent& key) {
  if (selection_.Frames() == 0 || Busy()) return false;
  const bool shift = key.modifiers() & Qt::ShiftModifier;
  const bool ctrl = key.modifiers() & Qt::ControlModifier;
  if (key.matches(QKeySequence::SelectAll)) {
    selection_.SelectAll();
  } else if (key.key() == Qt::Key_Escape) {
    selection_.Clear();
  } else if (key.key() == Qt::Key_Left || key.key() == Qt::Key_Right) {
    selection_.Step(key.key() == Qt::Key_Left ? -1 : 1, shift, ctrl);
    ScrollToMark();
  } else if (key.key() == Qt::Key_Space && ctrl) {
    selection_.ToggleMarked();
  } else if (key.key() == Qt::Key_F10 && shift) {  // the menu key has its own event
    MarkMenu();
    return true;
  } else {
    return false;
  }
  UpdateMarks();
  return true;
}

void Form_main::MarkMenu() {
  // The menu is for the frame under the mark.
  if (selection_.Focus() == 0) selection_.Step(0, false, true);
  const int focus = selection_.Focus();
  const QRectF slot = SlotOf(focus);
  if (slot.isEmpty()) return;
  ScrollToMark();
  UpdateMarks();
  const QPoint at(Toolkit::ClampedPixels(static_cast<float>(slot.center().x())),
                  Toolkit::ClampedPixels(static_cast<float>(slot.center().y())));
  StripMenu(ActedOn(focus), Strip()->mapToGlobal(at));
}

void Form_main::PickByPress(const QMouseEvent& press) {
  const bool shift = press.modifiers() & Qt::ShiftModifier;
  const bool ctrl = press.modifiers() & Qt::ControlModifier;
  Strip()->setFocus(Qt::MouseFocusReason);
  // A press on a picked frame may start dragging all that are picked: it
  // picks that frame alone only when it is let go without a drag.
  pick_on_release_ = !shift && !ctrl && selection_.Contains(pressed_frame_);
  if (!pick_on_release_) selection_.Click(pressed_frame_, ctrl, shift);
  UpdateMarks();
}

void Form_main::StripMenu(const std::vector<int>& numbers, QPoint global) {
  const bool idle = !Busy();
  const auto count = static_cast<int>(numbers.size());
  const std::uint64_t serial = drop_serial_;
  QMenu menu(this);
  QAction* copy = nullptr;
  QAction* save_some = nullptr;
  QAction* show = nullptr;
  if (count > 0) {
    const auto text = [&](const char* one, const char* several) {
      return QString::fromUtf8(count == 1 ? one : several).arg(count == 1 ? numbers[0] : count);
    };
    copy = menu.addAction(text(kCopyFrame, kCopyFrames));
    save_some = menu.addAction(text(kSaveFrameAs, kSaveFramesAs));
    show = menu.addAction(text(kShowFrame, kShowFrames));
    for (QAction* action : {copy, save_some, show}) action->setEnabled(idle);
    menu.addSeparator();
  }
  QAction* save = menu.addAction(QString::fromUtf8(kSaveAsTheyAppear));
  save->setEnabled(last_drop_.animation != nullptr && idle);
  QAction* open = menu.addAction(QString::fromUtf8(kOpen));
  open->setShortcut(QKeySequence::Open);
  open->setEnabled(idle);
  menu.addSeparator();
  QAction* appear = menu.addAction(QString::fromUtf8(kShowAsTheyAppear));
  QAction* stored = menu.addAction(QString::fromUtf8(kShowAsStored));
  for (QAction* view : {appear, stored}) {
    view->setCheckable(true);
    view->setChecked((view == stored) == as_stored_);
    view->setEnabled(idle && last_drop_.shown >= kFewestPainted);
  }
  QAction* chosen = menu.exec(global);
  // A drop while the menu was open closes it: `numbers` are another file's now.
  if (chosen == nullptr || !StillTheSameDrop(serial)) return;
  if (chosen == copy) return count == 1 ? CopyFrame(numbers[0]) : CopyFrameFiles(numbers);
  if (chosen == save_some)
    return count == 1 ? SaveFrameDialog(numbers[0]) : SaveSelectionDialog(numbers);
  if (chosen == show) return ShowFrameInFolder(numbers[0]);
  if (chosen == open) return OpenFile();
  if (chosen == save) return SaveFramesDialog();
  if (chosen == appear || chosen == stored) ShowFramesAsStored(chosen == stored);
}

void Form_main::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard) {
    if (focusWidget() == Strip() && selection_.Frames() > 0) MarkMenu();
    return;
  }
  const QWidget* over = childAt(event->pos());
  if (over != Strip() && over != Viewport()) return;
  const int number = over == Strip() ? FrameAt(Strip()->mapFrom(this, event->pos())) : 0;
  StripMenu(number == 0 ? std::vector<int>() : ActedOn(number), event->globalPos());
}

void Form_main::ShowFramesAsStored(bool as_stored) {
  if (Busy() || as_stored == as_stored_) return;
  as_stored_ = as_stored;
  if (last_drop_.shown < kFewestPainted || !last_drop_.animation) return;
  const FlagScope busy(busy_);
  Strip()->Cls();
  frame_slots_.clear();
  {
    const ShownProgress shown(*ProgressStrip());
    const StripPlan plan =
        PlanStrip(last_drop_.shown, Measurer()->ImageWidthHimetric(),
                  Measurer()->ImageHeightHimetric(), Strip()->Height(), Viewport()->Width());
    PaintStrip(plan, ProgressStrip()->Width(), last_drop_.survey);
  }
  UpdateMarks();  // the picked frames stay picked
}

bool Form_main::StripMouse(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      // A press the strip leaves alone reaches the viewport too: only a
      // press there directly may forget the pressed frame.
      const auto* press = static_cast<QMouseEvent*>(event);
      pressed_frame_ = watched == Strip() && press->button() == Qt::LeftButton && !Busy()
                           ? FrameAt(press->position().toPoint())
                           : 0;
      press_at_ = press->position().toPoint();
      pick_on_release_ = false;
      if (pressed_frame_ == 0) return false;
      PickByPress(*press);
      return true;  // taken here, so it goes no further
    }
    case QEvent::MouseButtonRelease:
      if (watched == Strip() && pick_on_release_ && pressed_frame_ != 0) {
        selection_.Click(pressed_frame_, false, false);
        UpdateMarks();
      }
      pick_on_release_ = false;
      break;
    case QEvent::MouseMove: {
      const auto* move = static_cast<QMouseEvent*>(event);
      if (pressed_frame_ == 0 || !(move->buttons() & Qt::LeftButton) ||
          (move->position().toPoint() - press_at_).manhattanLength() <
              QApplication::startDragDistance()) {
        break;
      }
      pick_on_release_ = false;
      DragFramesOut(ActedOn(std::exchange(pressed_frame_, 0)));
      return true;
    }
    default:
      break;
  }
  return false;
}

bool Form_main::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Strip() && watched != Viewport()) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Wheel: {
      // One notch moves as an arrow of the scroll bar does; fine-grained
      // wheels add up to notches.
      const QPoint turn = static_cast<QWheelEvent*>(event)->angleDelta();
      wheel_rest_ += turn.y() != 0 ? turn.y() : turn.x();
      const int notches = wheel_rest_ / kWheelNotch;
      wheel_rest_ -= notches * kWheelNotch;
      Toolkit::ScrollBar* bar = StripScrollBar();
      if (notches != 0) bar->SetValue(bar->Value() - notches * bar->SmallChange());
      return true;
    }
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (PickByKey(*key)) return true;
      // The scroll bar's own keys: arrows, pages, Home and End.
      if (StripScrollBar()->MoveByKey(key->key())) return true;
      break;
    }
    case QEvent::FocusIn:
      // The mark starts where the keys would start it.
      if (watched == Strip() && selection_.Focus() == 0) {
        selection_.Step(0, false, true);
        UpdateMarks();
      }
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
      if (StripMouse(watched, event)) return true;
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace MainWindow
