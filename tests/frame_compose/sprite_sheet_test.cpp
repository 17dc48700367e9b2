// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <string>
#include <vector>

#include "frame_compose/save_frames.h"
#include "support/compose_helpers.h"
#include "support/gif_writer.h"
#include "support/temp_dir.h"

// The sprite sheet against the PNG frames saved one by one, read back by Qt.

namespace {

using namespace GifTest;

TEST(SpriteSheet, CellsAreThePngFramesPixelForPixel) {
  // Frames that move, cover part of the screen and leave it transparent.
  Animation moving = Screen({Pattern(5, 4, 6, 1, 1), Solid(3, 3, 2, 8, 6), Pattern(12, 10, 5),
                             Solid(2, 2, 3, 0, 0), Solid(4, 2, 1, 6, 0)});
  moving.frames[0].transparent = 0;
  moving.frames[1].disposal = 2;
  const Bytes gif = Encode(moving);
  struct Case {
    int columns;
    std::vector<int> frames;  // wanted
    const char* name;
  };
  for (const Case& c : {Case{2, {1, 2, 3, 4, 5}, "s-sheet-2x3-12x10.png"},
                        Case{9, {2, 5}, "s-sheet-2x1-12x10.png"}}) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    FrameCompose::SaveRequest request;
    request.kind = FrameCompose::FileKind::kPng;
    request.wanted = [&](int n) {
      return std::find(c.frames.begin(), c.frames.end(), n) != c.frames.end();
    };
    request.path_of = [&](int n) { return folder.File("f" + std::to_string(n) + ".png"); };
    FrameCompose::SaveFramesAsTheyAppear(gif, "test", request);
    std::string path;
    FrameCompose::SaveSheet(gif, "test", folder.File("s"), c.columns, request, &path);
    EXPECT_EQ(path, folder.File(c.name));
    const QImage sheet =
        QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGBA8888);
    ASSERT_FALSE(sheet.isNull());
    const int columns = std::min<int>(c.columns, static_cast<int>(c.frames.size()));
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
      const QImage frame = QImage(QString::fromStdString(request.path_of(c.frames[i])))
                               .convertToFormat(QImage::Format_RGBA8888);
      const QRect cell(static_cast<int>(i) % columns * 12, static_cast<int>(i) / columns * 10, 12,
                       10);
      EXPECT_EQ(sheet.copy(cell), frame) << "frame " << c.frames[i];
    }
    EXPECT_EQ(
        sheet.size(),
        QSize(12 * columns, 10 * ((static_cast<int>(c.frames.size()) + columns - 1) / columns)));
  }
}

}  // namespace
