// SPDX-License-Identifier: MIT
#include "frame_compose/frame_compose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "frame_compose/frame_files.h"
#include "frame_compose/frame_sets.h"
#include "frame_compose/save_frames.h"
#include "support/compose_helpers.h"
#include "support/gif_writer.h"
#include "support/temp_dir.h"

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

TEST(Compose, WorkFollowsWhatAFrameCoversAndTheCanvasTakesInEveryFrame) {
  // Restore previous puts back the area the frame covered, and only that.
  Frame over = Solid(3, 2, 4, 5, 6);
  over.disposal = 3;
  const auto restored = ComposeAll(Encode(Screen({Pattern(12, 10, 6), over, Solid(1, 1, 1)})));
  ASSERT_EQ(restored.size(), 3u);
  EXPECT_NE(restored[1].pixels, restored[0].pixels);
  std::vector<std::uint32_t> expected = restored[0].pixels;
  expected[0] = restored[2].pixels[0];  // the last frame's own pixel
  EXPECT_EQ(restored[2].pixels, expected);

  // A frame that claims 65535 rows (too many to take into the canvas) but
  // holds data for 10: the rows that reach the screen are right, and what
  // the data lack below it is never asked for.
  Bytes tall = Encode(Screen({Pattern(4096, 10, 6)}));
  const auto wide = ComposeAll(tall);
  const std::size_t descriptor = static_cast<std::size_t>(
      std::find(tall.begin(), tall.end(), 0x2C) - tall.begin());  // no earlier 2C byte here
  ASSERT_LT(descriptor + 8, tall.size());
  tall[descriptor + 7] = tall[descriptor + 8] = 0xFF;
  const auto clipped = ComposeAll(tall);
  ASSERT_EQ(clipped.size(), 1u);
  ASSERT_EQ(clipped[0].width * clipped[0].height, 12 * 10);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) {
      EXPECT_EQ(clipped[0].pixels[y * 12 + x], wide[0].pixels[y * 4096 + x]);
    }
  }

  // No screen at all: the first frame's extent is the picture, and later
  // frames are clipped to it.
  Animation empty = Screen({Solid(2, 2, 1), Solid(1, 3, 2, 2, 0)});
  empty.width = empty.height = 0;
  const auto first_only = ComposeAll(Encode(empty));
  ASSERT_EQ(first_only.size(), 2u);
  EXPECT_EQ(first_only[1].width, 2);
  EXPECT_EQ(first_only[1].height, 2);
  // ... never past what a GIF's own sizes can say.
  empty.frames[0].left = FrameCompose::kLargestGifSide;
  const auto far = ComposeAll(Encode(empty));
  ASSERT_EQ(far.size(), 2u);
  EXPECT_EQ(far[1].width, FrameCompose::kLargestGifSide);
}

TEST(Compose, FinelyMixedColoursCostNoMoreThanRawPixels) {
  // Two pictures of 256 colours each, interleaved at random: no tile of
  // whole rows or rectangles of any size holds fewer than 257 colours.
  Canvas canvas;
  canvas.width = canvas.height = 256;
  std::uint32_t seed = 1;
  for (int i = 0; i < 256 * 256; ++i) {
    seed = seed * 1103515245u + 12345u;
    const std::uint8_t rgba[4] = {static_cast<std::uint8_t>(seed >> 16),
                                  static_cast<std::uint8_t>(seed >> 31 ? 0 : 255), 7, 255};
    std::uint32_t pixel;
    std::memcpy(&pixel, rgba, 4);
    canvas.pixels.push_back(pixel);
  }
  const Bytes gif = FrameCompose::EncodeFullFrameGif(canvas, 5);
  EXPECT_LE(gif.size(), canvas.pixels.size() * 4 * 105 / 100);
  const std::vector<Canvas> composed = ComposeAll(gif);
  EXPECT_EQ(composed.back().pixels, canvas.pixels);
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
  // naming the frame being read and a byte inside the file. A prefix that
  // ends between blocks ends quietly, with every frame it holds whole.
  int failures = 0;
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    int delivered = 0;
    FrameCompose::AnimationFacts partial;
    try {
      FrameCompose::Compose(
          prefix, "s", [&](const auto&, const Canvas*) { return ++delivered, true; }, partial);
      const auto whole_frames = std::count_if(facts.begin(), facts.end(), [&](const auto& frame) {
        return frame.offset + frame.length <= length;
      });
      EXPECT_EQ(delivered, whole_frames) << length;
    } catch (const FrameCompose::ComposeError& error) {
      ++failures;
      EXPECT_LE(error.offset(), length);
      // The frame being read, handed on first when its image data were reached.
      if (error.frame() > 0) {
        EXPECT_GE(error.frame(), delivered) << length;
        EXPECT_LE(error.frame(), delivered + 1) << length;
      }
    }
  }
  // Only a few prefixes end between blocks.
  EXPECT_GT(failures, static_cast<int>(whole.size()) * 3 / 4);
}

TEST(Compose, TheFirstFrameLiesOnTheScreensBackgroundColourOnlyWhenItIsOpaque) {
  constexpr std::size_t kBackgroundIndex = 11;  // in the logical screen descriptor
  constexpr std::size_t kGlobalTable = 13, kGlobalTableBytes = 8 * 3;
  const std::uint32_t green = 0xFF00FF00u;  // Screen's colour 2, opaque, bytes R G B A
  struct Case {
    const char* name;
    bool local, transparent, global;
    std::uint32_t outside;  // a pixel the first frame does not cover
  };
  const Case cases[] = {
      {"global table", false, false, true, green},
      {"local table: the index still names a global colour", true, false, true, green},
      {"a transparent first frame", true, true, true, 0},
      {"no global table", true, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Frame first = Solid(2, 2, 1);
    if (c.local) first.local_palette = {{1, 2, 3}, {4, 5, 6}};
    if (c.transparent) first.transparent = 0;
    Bytes gif = Encode(Screen({first}));
    gif[kBackgroundIndex] = 2;
    if (!c.global) {
      gif[kBackgroundIndex - 1] &= 0x7F;  // no global table flag
      gif.erase(gif.begin() + kGlobalTable, gif.begin() + kGlobalTable + kGlobalTableBytes);
    }
    const auto frames = ComposeAll(gif);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].pixels.back(), c.outside);
  }
}

TEST(SaveSheet, ASheetTooLongIsRefusedBeforeAnyFrameIsComposed) {
  // 2001 frames of 1 x 500 in one column: 1000500 pixels tall.
  const Bytes gif = ConstantFrames(2001, 1, 500, 1, 500);
  GifTest::TempDir folder;
  FrameCompose::SaveRequest request;
  int composed = 0;
  request.after_frame = [&](int) { ++composed; };
  try {
    FrameCompose::SaveSheet(gif, "s", folder.File("s"), 1, request);
    ADD_FAILURE() << "not refused";
  } catch (const std::runtime_error& refusal) {
    EXPECT_NE(std::string(refusal.what()).find("a sheet of 1 x 1000500 pixels"), std::string::npos)
        << refusal.what();
  }
  EXPECT_EQ(composed, 0);
  EXPECT_TRUE(GifTest::ListNames(folder.path()).empty());
}

TEST(SetJson, NamesThatAreNotUtf8StayReadableAndFindable) {
  struct Case {
    std::string name, file;  // the name, and its "file" field as written
    std::string bytes;       // its "file_bytes", or empty when it is UTF-8
  };
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  const std::vector<Case> cases = {
      {"a\xFF", "a" + bad, "[97, 255]"},
      {"\xC3(", bad + "(", "[195, 40]"},                                    // a sequence cut short
      {"\xC0\xAF", bad + bad, "[192, 175]"},                                // an overlong "/"
      {"\xED\xA0\x80", bad + bad + bad, "[237, 160, 128]"},                 // a surrogate
      {"\xF4\x90\x80\x80", bad + bad + bad + bad, "[244, 144, 128, 128]"},  // past U+10FFFF
      {"\xE3\x82\xA2\xF0\x9F\x98\x80\"\n", "\xE3\x82\xA2\xF0\x9F\x98\x80\\\"\\u000a", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    FrameCompose::SetFacts set;
    set.frames.resize(1);
    set.frames[0].file = c.name;
    const std::string json = FrameCompose::SetJson(set);
    const std::string file = "\"file\": \"" + c.file + "\"";
    EXPECT_NE(json.find(c.bytes.empty() ? file + "}" : file + ", \"file_bytes\": " + c.bytes + "}"),
              std::string::npos)
        << json;
  }
}

}  // namespace
