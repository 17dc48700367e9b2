// SPDX-License-Identifier: MIT
#include "toolkit/picture_box.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace {

TEST(PictureBox, DrawingSurvivesRepaintsAndMovesIncludingOffscreenParts) {
  QWidget holder;
  holder.resize(100, 50);
  Toolkit::PictureBox box(&holder);
  box.Move(0, 0, 3000, 750);  // 200 x 50 pixels, half outside the holder
  box.SetBackColor(Qt::white);
  box.SetForeColor(Qt::black);
  box.Box(1800, 0, 2250, 300);  // drawn at x 120..150, outside the holder
  box.SetLeft(-1500);           // now at x 20..50 of the holder
  const QImage shot = holder.grab().toImage();
  EXPECT_EQ(shot.pixelColor(30, 10), QColor(Qt::black));
  EXPECT_EQ(shot.pixelColor(10, 10), QColor(Qt::white));
  box.CurrentX = 500;
  box.CurrentY = 300;
  box.Cls();
  EXPECT_EQ(holder.grab().toImage().pixelColor(30, 10), QColor(Qt::white));
  EXPECT_EQ(box.CurrentX, 0);
  EXPECT_EQ(box.CurrentY, 0);
}

TEST(PictureBox, AVeryWideStripHoldsNoMoreThanItsSourcePictures) {
  QWidget holder;
  holder.resize(385, 174);
  Toolkit::PictureBox strip(&holder);
  strip.SetBackColor(QColor(255, 255, 224));
  // 127 thumbnails of a 2000 x 4 picture, each 697500 twips wide.
  QImage wide(2000, 4, QImage::Format_ARGB32);
  wide.fill(Qt::red);
  const Toolkit::Picture picture(wide);
  const double slot = 697500 + 60;
  strip.Move(0, 0, static_cast<float>(slot * 127 + 60), 1695);
  for (int n = 0; n < 127; ++n) {
    strip.PaintPicture(picture, static_cast<float>(n * slot + 30), 0, 697500, 1395);
    strip.Line(static_cast<float>(n * slot), 0, static_cast<float>(n * slot), 1695);
  }
  EXPECT_LE(strip.drawing().PixelBytes(), 127u * 2000u * 4u * 4u);
  EXPECT_EQ(holder.grab().toImage().pixelColor(100, 30), QColor(Qt::red));
  // Scrolled to its end, nearly six million pixels along: the last
  // thumbnail is there, and the holder shows past the strip's right end
  // (x 200).
  strip.SetLeft(static_cast<float>(200 * 15 - (slot * 127 + 60)));
  const QImage end = holder.grab().toImage();
  EXPECT_EQ(end.pixelColor(150, 30), QColor(Qt::red));
  EXPECT_NE(end.pixelColor(250, 30), QColor(Qt::red));
  EXPECT_NE(end.pixelColor(250, 30), QColor(255, 255, 224));
  // Thumbnails larger than their slot are kept at the slot's size.
  Toolkit::PictureBox small(&holder);
  QImage big(640, 360, QImage::Format_ARGB32);
  big.fill(Qt::blue);
  small.PaintPicture(Toolkit::Picture(big), 0, 0, 1500, 900);
  EXPECT_EQ(small.drawing().PixelBytes(), 100u * 60u * 4u);
  // On a screen of two device pixels per pixel they keep twice as many each way.
  Toolkit::DrawingList sharp;
  sharp.AddImage(QRectF(0, 0, 100, 60), big, 2.0);
  EXPECT_EQ(sharp.PixelBytes(), 200u * 120u * 4u);
}

TEST(PictureBox, GrowingBoxesReplaceTheOnesTheyCover) {
  QWidget holder;
  Toolkit::PictureBox progress(&holder);
  for (int k = 1; k <= 1000; ++k) progress.Box(0, 0, static_cast<float>(k * 3.5), 200);
  EXPECT_EQ(progress.drawing().size(), 1u);
}

}  // namespace
