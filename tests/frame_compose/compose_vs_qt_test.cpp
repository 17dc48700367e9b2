// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <cstring>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_files.h"
#include "support/compose_helpers.h"
#include "support/gif_writer.h"

// The composer against Qt's own GIF reader, frame by frame.

namespace {

using namespace GifTest;

// Every frame as Qt's own GIF reader composes it, as RGBA.
std::vector<QImage> QtFrames(const Bytes& file) {
  QByteArray data(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
  QBuffer buffer(&data);
  QImageReader reader(&buffer);
  std::vector<QImage> frames;
  for (QImage image; !(image = reader.read()).isNull();) {
    frames.push_back(image.convertToFormat(QImage::Format_RGBA8888));
  }
  return frames;
}

// Pixels equal, counting every fully transparent pixel as the same.
int Differences(const Canvas& canvas, const QImage& image) {
  if (image.width() != canvas.width || image.height() != canvas.height) return -1;
  int differ = 0;
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      std::uint8_t ours[4];
      std::memcpy(ours, &canvas.pixels[static_cast<std::size_t>(y) * canvas.width + x], 4);
      const std::uint8_t* theirs = image.constScanLine(y) + 4 * x;
      if (!(ours[3] == 0 && theirs[3] == 0) && std::memcmp(ours, theirs, 4) != 0) ++differ;
    }
  }
  return differ;
}

TEST(Compose, FramesEqualQtsOwnDecoder) {
  auto with = [](Frame frame, auto change) { return change(frame), frame; };
  const Frame base = Pattern(12, 10, 6);
  const std::vector<std::pair<const char*, Animation>> cases = {
      {"leave, with transparency over a changed picture",
       Screen({base, with(Pattern(6, 5, 6, 3, 2), [](Frame& f) { f.transparent = 0; }),
               with(Pattern(5, 5, 6, 6, 4), [](Frame& f) { f.transparent = 2; })})},
      {"restore previous",
       Screen({base, with(Solid(4, 4, 3, 2, 2), [](Frame& f) { f.disposal = 3; }),
               with(Solid(3, 3, 5, 8, 6), [](Frame& f) { f.disposal = 3; }),
               Pattern(2, 2, 6, 1, 1)})},
      {"interlaced and local colour tables",
       Screen({with(base, [](Frame& f) { f.interlaced = true; }),
               with(Pattern(9, 10, 3, 1, 0),
                    [](Frame& f) {
                      f.interlaced = true;
                      f.local_palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
                    })})},
      {"no graphic control extension",
       Screen({with(base, [](Frame& f) { f.control = false; }),
               with(Solid(5, 3, 4, 1, 1), [](Frame& f) { f.control = false; })})},
  };
  for (const auto& [name, animation] : cases) {
    SCOPED_TRACE(name);
    const Bytes gif = GifTest::Encode(animation);
    const std::vector<Canvas> ours = ComposeAll(gif);
    const std::vector<QImage> theirs = QtFrames(gif);
    ASSERT_EQ(ours.size(), animation.frames.size());
    ASSERT_EQ(theirs.size(), ours.size());
    for (std::size_t k = 0; k < ours.size(); ++k) {
      EXPECT_EQ(Differences(ours[k], theirs[k]), 0) << "frame " << k + 1;
      // Indices kept beside the colours say the same picture.
      for (std::size_t i = 0; i < ours[k].indices.size(); ++i) {
        const int index = ours[k].indices[i];
        EXPECT_EQ(ours[k].pixels[i],
                  index == ours[k].transparent_index ? 0u : ours[k].table.at(index));
      }
      // The full-frame file shows the same picture, and so does the PNG.
      const std::vector<QImage> full = QtFrames(FrameCompose::EncodeFullFrameGif(ours[k], 7));
      ASSERT_FALSE(full.empty());
      EXPECT_EQ(Differences(ours[k], full.back()), 0) << "full frame " << k + 1;
      EXPECT_EQ(Differences(ours[k], QtFrames(FrameCompose::EncodePng(ours[k])).at(0)), 0);
    }
  }
}

TEST(Compose, LongImageDataWithFullCodeTablesDecodesAsQtDecodesIt) {
  // Enough varied pixels for 12-bit codes, a full table and fresh starts.
  Animation noisy;
  noisy.width = 320, noisy.height = 240;
  noisy.palette.clear();
  for (int i = 0; i < 200; ++i) {
    noisy.palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                             static_cast<std::uint8_t>(i * 7)});
  }
  Frame frame = Solid(320, 240, 0);
  std::uint32_t state = 12345;
  for (std::uint8_t& index : frame.indices) {
    state = state * 1103515245u + 12345u;
    index = static_cast<std::uint8_t>((state >> 16) % (state % 3 ? 200 : 4));  // runs and noise
  }
  noisy.frames = {frame};
  const Bytes gif = GifTest::Encode(noisy);
  const std::vector<Canvas> ours = ComposeAll(gif);
  ASSERT_EQ(ours.size(), 1u);
  EXPECT_EQ(Differences(ours[0], QtFrames(gif).at(0)), 0);
  EXPECT_EQ(Differences(ours[0], QtFrames(FrameCompose::EncodeFullFrameGif(ours[0], 1)).at(0)), 0);
}

}  // namespace
