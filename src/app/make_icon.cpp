// SPDX-License-Identifier: MIT
// make_icon OUT.png [SIZE]: draws Mervane's icon, a film strip cut in two,
// SIZE pixels square (32 by default), and stores it with a 256-colour palette.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2 && argc != 3) return 2;
  constexpr int kDrawnSize = 32;  // the drawing below is made on this grid
  const int size = argc == 3 ? std::atoi(argv[2]) : kDrawnSize;
  if (size < 16 || size > 1024) return 2;
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(static_cast<double>(size) / kDrawnSize, static_cast<double>(size) / kDrawnSize);
  const QColor film(40, 40, 60), frame(255, 255, 224), accent(0, 0, 255);
  // Two pieces of film, the right one lifted a little: one frame cut off.
  const QRectF pieces[] = {QRectF(1, 8, 17, 18), QRectF(19, 5, 12, 18)};
  for (const QRectF& piece : pieces) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(film);
    painter.drawRoundedRect(piece, 2, 2);
    for (double x = piece.left() + 2; x < piece.right() - 1; x += 4) {
      painter.setBrush(frame);
      painter.drawRect(QRectF(x, piece.top() + 1.5, 2, 2));
      painter.drawRect(QRectF(x, piece.bottom() - 3.5, 2, 2));
    }
    painter.setBrush(frame);
    painter.drawRect(piece.adjusted(2, 5, -2, -5));
  }
  painter.setBrush(accent);
  painter.drawEllipse(QRectF(6, 14, 6, 6));
  painter.drawEllipse(QRectF(22, 11, 6, 6));
  painter.end();
  return image.convertToFormat(QImage::Format_Indexed8).save(QString::fromLocal8Bit(argv[1])) ? 0
                                                                                              : 1;
}
