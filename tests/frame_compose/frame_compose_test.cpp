#include "frame_compose/frame_compose.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <cstring>
#include <vector>

#include "frame_compose/frame_files.h"
#include "support/gif_writer.h"

namespace {

using FrameCompose::Canvas;
using GifTest::Animation;
using GifTest::Bytes;
using GifTest::Frame;

std::vector<Canvas> ComposeAll(const Bytes& gif) {
  std::vector<Canvas> frames;
  FrameCompose::AnimationFacts animation;
  FrameCompose::Compose(
      gif, "test",
      [&](const FrameCompose::FrameFacts&, const Canvas* canvas) {
        frames.push_back(*canvas);
        return true;
      },
      animation);
  return frames;
}

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

Frame Solid(int width, int height, std::uint8_t colour, int left = 0, int top = 0) {
  Frame frame;
  frame.width = width, frame.height = height, frame.left = left, frame.top = top;
  frame.indices.assign(static_cast<std::size_t>(width) * height, colour);
  return frame;
}

// A frame whose pixels run through `colours` indices, with index 0 at the corners.
Frame Pattern(int width, int height, int colours, int left = 0, int top = 0) {
  Frame frame = Solid(width, height, 0, left, top);
  for (std::size_t i = 0; i < frame.indices.size(); ++i) {
    frame.indices[i] = static_cast<std::uint8_t>((i * 7 + i / width) % colours);
  }
  return frame;
}

Animation Screen(std::vector<Frame> frames) {
  Animation animation;
  animation.width = 12, animation.height = 10;
  animation.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}, {200, 100, 50}};
  animation.frames = std::move(frames);
  return animation;
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

TEST(Compose, RestoringTheBackgroundLeavesTransparency) {
  // As browsers and ImageMagick do; Qt paints it opaque white, so it is no
  // judge here.
  Frame cleared = Solid(4, 4, 3, 2, 2);
  cleared.disposal = 2;
  const auto frames =
      ComposeAll(GifTest::Encode(Screen({Pattern(12, 10, 6), cleared, Solid(2, 2, 1)})));
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[2].pixels[3 * 12 + 3], 0u);  // inside the cleared square
  EXPECT_EQ(frames[2].pixels[9 * 12 + 11], frames[0].pixels[9 * 12 + 11]);  // outside it
}

TEST(Compose, APictureOfMoreThan256ColoursStaysExactInTiles) {
  Canvas canvas;
  canvas.width = 40, canvas.height = 30;
  for (int i = 0; i < 40 * 30; ++i) {
    const std::uint8_t rgba[4] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                                  static_cast<std::uint8_t>(i * 3),
                                  static_cast<std::uint8_t>(i % 5 ? 255 : 0)};
    std::uint32_t pixel;
    std::memcpy(&pixel, rgba, 4);
    canvas.pixels.push_back(pixel);
  }
  const Bytes gif = FrameCompose::EncodeFullFrameGif(canvas, 12);
  const std::vector<Canvas> composed = ComposeAll(gif);
  ASSERT_GT(composed.size(), 1u);  // tiles
  EXPECT_EQ(composed.back().pixels.size(), canvas.pixels.size());
  for (std::size_t i = 0; i < canvas.pixels.size(); ++i) {
    const bool clear = (canvas.pixels[i] >> 24) == 0;
    EXPECT_EQ(clear ? 0u : canvas.pixels[i], composed.back().pixels[i]) << i;
  }
}

TEST(Compose, FactsAndDamageNameTheFrameAndTheByte) {
  Animation animation = GifTest::SolidFrames(3, 4, 3);
  animation.frames[1].delay = 25;
  animation.frames[1].transparent = 2;
  const Bytes whole = GifTest::Encode(animation);
  std::vector<FrameCompose::FrameFacts> facts;
  FrameCompose::AnimationFacts totals;
  FrameCompose::ComposeOptions facts_only;
  facts_only.pixels = false;
  FrameCompose::Compose(
      whole, "s", [&](const auto& frame, const Canvas*) { return facts.push_back(frame), true; },
      totals, facts_only);
  ASSERT_EQ(facts.size(), 3u);
  EXPECT_EQ(totals.loop_count, 0);
  EXPECT_EQ(totals.total_delay_cs, 45);
  EXPECT_EQ(facts[1].delay_cs, 25);
  EXPECT_EQ(facts[1].transparent_index, 2);
  EXPECT_EQ(facts[0].offset + facts[0].length, facts[1].offset);  // frames abut
  EXPECT_EQ(whole[facts[1].offset], 0x21);

  // A frame that claims 65535 x 65535 pixels in a few bytes costs no more
  // than a row to find wanting.
  const GifTest::Rgb two[] = {{0, 0, 0}, {255, 255, 255}};
  const Bytes huge = GifTest::Concat(
      {GifTest::HeaderAndScreen(4, 4, two),
       {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02, 0x01, 0x44, 0x00, 0x3B}});
  EXPECT_THROW(ComposeAll(huge), FrameCompose::ComposeError);

  // Every truncated prefix: the frames before the damage, then an error
  // naming the frame being read and a byte inside the file.
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    int delivered = 0;
    FrameCompose::AnimationFacts partial;
    try {
      FrameCompose::Compose(
          prefix, "s", [&](const auto&, const Canvas*) { return ++delivered, true; }, partial);
    } catch (const FrameCompose::ComposeError& error) {
      EXPECT_LE(error.offset(), length);
      if (error.frame() > 0) {
        EXPECT_EQ(error.frame(), delivered + 1) << length;
      }
    }
  }
}

}  // namespace
