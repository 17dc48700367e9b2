// make_icon OUT.png: draws Mervane's 32 x 32 icon, a film strip cut in two,
// and stores it with a 256-colour palette.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) return 2;
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
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
