// SPDX-License-Identifier: MIT
// screen_probe pixel X Y: prints the colour at screen pixel (X, Y) as #rrggbb.
// screen_probe clipboard: prints the URLs on the clipboard, one a line,
// then the file managers' own list of copied files.
// screen_probe text: prints the text on the clipboard (a box's, after Ctrl+C).

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QUrl>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc == 4 && std::strcmp(argv[1], "pixel") == 0) {
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, std::atoi(argv[2]), std::atoi(argv[3]), 1, 1)
                            .toImage();
    std::printf("%s\n", shot.pixelColor(0, 0).name().toUtf8().constData());
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "clipboard") == 0) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr) return 1;
    for (const QUrl& url : data->urls()) std::printf("%s\n", url.toEncoded().constData());
    std::printf("%s\n", data->data(QStringLiteral("x-special/gnome-copied-files")).constData());
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "text") == 0) {
    std::printf("%s\n", QGuiApplication::clipboard()->text().toUtf8().constData());
    return 0;
  }
  return 2;
}
