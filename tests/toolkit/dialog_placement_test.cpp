// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QTimer>

#include "toolkit/platform.h"

namespace {

TEST(DialogPlacement, AWindowPastAnEdgeMovesJustInsideTheAvailableArea) {
  const QRect available(0, 30, 1024, 738);  // a panel along the top
  struct Case {
    QRect frame;
    QPoint placed;
  };
  for (const Case& c : {
           Case{{100, 100, 300, 200}, {100, 100}},  // inside: stays
           Case{{-4, 100, 300, 200}, {0, 100}},     // 4 px past the left edge
           Case{{900, 100, 300, 200}, {724, 100}},  // past the right edge
           Case{{100, 10, 300, 200}, {100, 30}},    // under the panel
           Case{{100, 700, 300, 200}, {100, 568}},  // past the bottom
           Case{{-50, -50, 2000, 1000}, {0, 30}},   // larger: its title bar stays in reach
       }) {
    EXPECT_EQ(Toolkit::PlaceWithin(c.frame, available), c.placed)
        << c.frame.x() << "," << c.frame.y();
  }
}

TEST(DialogPlacement, ADialogShownPastTheScreensEdgeIsBroughtOnIt) {
  Toolkit::KeepDialogsOnScreen();
  QDialog dialog;
  dialog.resize(200, 100);
  const QRect available = dialog.screen()->availableGeometry();
  dialog.move(available.left() - 60, available.bottom() - 40);
  dialog.show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_TRUE(available.contains(dialog.frameGeometry()))
      << dialog.frameGeometry().x() << "," << dialog.frameGeometry().y();
  dialog.resize(200, 300);  // grown past the bottom while shown
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_TRUE(available.contains(dialog.frameGeometry())) << dialog.frameGeometry().y();
}

}  // namespace
