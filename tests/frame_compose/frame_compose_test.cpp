#include "frame_compose/frame_compose.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frame_compose/frame_files.h"
#include "support/compose_helpers.h"
#include "support/gif_writer.h"

namespace {

using namespace GifTest;

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
