// SPDX-License-Identifier: MIT
#include "frame_split/frame_split.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "support/gif_writer.h"
#include "support/special_files.h"
#include "support/split_files.h"
#include "support/temp_dir.h"
#include "toolkit/platform_error.h"

namespace {

using FrameSplit::DivideError;
using GifTest::Bytes;
using GifTest::Concat;
using GifTest::SplitAnimation;

// Records what the divider asks of the progress strip.
class RecordingProgress final : public Toolkit::Progress {
 public:
  explicit RecordingProgress(float width = 3495.0f) : width_(width) {}
  float Width() override {
    ++width_reads;
    return width_;
  }
  void DrawBox(float right) override {
    boxes.push_back(right);
    events.push_back('B');
  }
  void Clear() override {
    ++clears;
    events.push_back('C');
  }
  void DoEvents() override { events.push_back('E'); }

  int width_reads = 0;
  int clears = 0;
  std::vector<float> boxes;
  std::string events;

 private:
  float width_;
};

const GifTest::Rgb kPalette[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};

Bytes Header() { return GifTest::HeaderAndScreen(2, 2, kPalette); }
Bytes Gce(std::uint16_t delay) { return GifTest::GraphicControlExtension(delay); }
Bytes Image(std::uint8_t colour) {
  GifTest::Frame frame;
  frame.width = 2;
  frame.height = 2;
  frame.indices.assign(4, colour);
  return GifTest::ImageDescriptorAndData(frame, 2);
}

class Divider : public ::testing::Test {
 protected:
  std::string Prefix() const { return dir_.File("out_"); }
  std::string Source(const Bytes& bytes) const {
    GifTest::WriteBytes(dir_.path() / "source.gif", bytes);
    return dir_.File("source.gif");
  }
  Bytes Frame(int number) const {
    return GifTest::ReadBytes(FrameSplit::FrameFileName(Prefix(), number));
  }
  std::vector<std::string> Written() const {
    auto names = GifTest::ListNames(dir_.path());
    std::erase(names, "source.gif");
    return names;
  }
  GifTest::TempDir dir_;
};

TEST_F(Divider, WellFormedAnimationsGiveOneCompleteGifPerFrame) {
  for (const int count : {1, 2, 7}) {
    SCOPED_TRACE(count);
    GifTest::TempDir fresh;
    Bytes source = Concat({Header(), GifTest::LoopingExtension()});
    for (int k = 0; k < count; ++k) source = Concat({source, Gce(k), Image(k % 4)});
    source.push_back(0x3B);

    RecordingProgress progress;
    const std::string prefix = fresh.File("anim");
    ASSERT_EQ(SplitAnimation(source, "anim.gif", prefix, progress), count);
    EXPECT_EQ(GifTest::ListNames(fresh.path()).size(), static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
      const Bytes expected = Concat({Header(), Gce(k), Image(k % 4), GifTest::Trailer()});
      EXPECT_EQ(GifTest::ReadBytes(FrameSplit::FrameFileName(prefix, k + 1)), expected) << k;
    }
  }
}

// Hand-made layouts: marker bytes count only where a block starts, unless
// the block walk stopped early.
struct LayoutCase {
  const char* name;
  Bytes source;
  std::vector<Bytes> frames;          // expected frame files, in order
  std::optional<std::size_t> damage;  // where the walk stopped, if it did
};

TEST_F(Divider, OddLayoutsAreCutOnlyWhereBlocksStart) {
  using GifTest::kChanceApp;
  using GifTest::kChanceGce;
  const Bytes loop = GifTest::LoopingExtension();
  const Bytes end = GifTest::Trailer();
  const GifTest::Rgb marker_palette[] = {{0x21, 0xF9, 0x04}, {0x21, 0xFF, 0x0B}, {1, 2, 3}};
  const Bytes marker_header = GifTest::HeaderAndScreen(2, 2, marker_palette);
  const Bytes comment = GifTest::CommentExtension("a" + kChanceGce + "b" + kChanceApp);
  Bytes marked_image = Image(1);  // a sub-block of image data holding a marker
  marked_image.insert(marked_image.end() - 1, {0x03, 0x21, 0xF9, 0x04});
  const Bytes two = Concat({Header(), loop, Gce(1), Image(1), Gce(2), Image(2), end});
  const std::size_t second_image =
      Header().size() + loop.size() + 2 * Gce(1).size() + Image(1).size();
  Bytes truncated = two;
  truncated.resize(second_image + 12);
  Bytes not_gif = Header();  // damaged signature: the plain search decides alone
  not_gif[0] = 'X';
  std::copy(kChanceGce.begin(), kChanceGce.end(), not_gif.begin() + 13);

  const std::vector<LayoutCase> cases = {
      {"colour table entries that spell both markers",
       Concat({marker_header, loop, Gce(1), Image(1), Gce(2), Image(2), end}),
       {Concat({marker_header, Gce(1), Image(1), end}),
        Concat({marker_header, Gce(2), Image(2), end})},
       std::nullopt},
      {"comment holding both markers",
       Concat({Header(), comment, loop, Gce(1), Image(1), comment, Gce(2), Image(2), end}),
       {Concat({Header(), comment, Gce(1), Image(1), comment, end}),
        Concat({Header(), comment, Gce(2), Image(2), end})},
       std::nullopt},
      {"marker inside image data",
       Concat({Header(), loop, Gce(1), marked_image, end}),
       {Concat({Header(), Gce(1), marked_image, end})},
       std::nullopt},
      {"bytes after the trailer, a marker among them",
       Concat({Header(), loop, Gce(1), Image(1), end, GifTest::FromText("x" + kChanceGce + "yz")}),
       {Concat({Header(), Gce(1), Image(1), {0x3B, 'x', 0x21, 0xF9, 0x04, 0x00, 0x3B}})},
       std::nullopt},
      {"truncated inside the second image",
       truncated,
       {Concat({Header(), Gce(1), Image(1), end}),
        Concat({Header(),
                Bytes(truncated.end() - 12 - static_cast<std::ptrdiff_t>(Gce(2).size()),
                      truncated.end() - 2),
                {0x00, 0x3B}})},
       second_image},
      {"no GIF signature",
       Concat({not_gif, loop, Gce(1), Image(1), end}),
       {Concat({not_gif,
                Bytes(not_gif.begin() + 13, not_gif.end()),
                Bytes(loop.begin(), loop.end() - 1),
                {0x00, 0x3B}}),
        Concat({not_gif, Gce(1), Image(1), end})},
       0},
  };
  for (const LayoutCase& layout : cases) {
    SCOPED_TRACE(layout.name);
    GifTest::TempDir fresh;
    RecordingProgress progress;
    const std::string prefix = fresh.File("f");
    const GifTest::SplitReport report =
        GifTest::SplitAndReport(layout.source, "s", prefix, progress);
    ASSERT_EQ(report.frames, static_cast<int>(layout.frames.size()));
    EXPECT_EQ(GifTest::ListNames(fresh.path()).size(), layout.frames.size());
    for (std::size_t k = 0; k < layout.frames.size(); ++k) {
      EXPECT_EQ(GifTest::ReadBytes(FrameSplit::FrameFileName(prefix, static_cast<int>(k + 1))),
                layout.frames[k])
          << "frame " << k + 1;
    }
    ASSERT_EQ(report.damage.has_value(), layout.damage.has_value());
    if (layout.damage) {
      EXPECT_EQ(report.damage->offset, *layout.damage);
    }
  }
}

TEST_F(Divider, FilesWithoutTheLoopingSignatureGiveZeroAndTouchNothing) {
  GifTest::Animation still = GifTest::SolidFrames(1, 3, 3);
  still.looping = false;
  GifTest::Animation unlooped = GifTest::SolidFrames(4, 3, 3);
  unlooped.looping = false;
  const std::vector<Bytes> sources = {GifTest::Encode(still),
                                      GifTest::Encode(unlooped),
                                      {'G'},
                                      GifTest::FromText("NETSCAP"),
                                      GifTest::FromText("\x89PNG\r\n\x1a\n")};
  for (const Bytes& source : sources) {
    RecordingProgress progress;
    EXPECT_EQ(SplitAnimation(source, "s", Prefix(), progress), 0);
    EXPECT_EQ(progress.width_reads + progress.clears + progress.boxes.size(), 0u);
    EXPECT_TRUE(Written().empty());
  }
}

TEST_F(Divider, SourcesThatCannotBeCutFailBeforeWritingAnything) {
  const Bytes loop = GifTest::LoopingExtension();
  struct FailureCase {
    const char* name;
    Bytes source;
    DivideError::Kind kind;
    std::int64_t offset;
  };
  const Bytes no_app = Concat({Header(), GifTest::FromText("NETSCAPE"), Gce(1), Image(1), {0x3B}});
  const Bytes at_zero = Concat({loop, Gce(1), Image(1), {0x3B}});
  const Bytes marks_before = Concat({Header(), Gce(1), Image(1), loop, {0x3B}});
  const std::vector<FailureCase> cases = {
      {"looping signature without an application extension", no_app, DivideError::Kind::kNoHeader,
       static_cast<std::int64_t>(no_app.size())},
      {"application extension at offset 0", at_zero, DivideError::Kind::kNoHeader, 0},
      {"every frame marker before the application extension", marks_before,
       DivideError::Kind::kNoFrame,
       static_cast<std::int64_t>(Header().size() + Gce(1).size() + Image(1).size())},
  };
  for (const FailureCase& failure : cases) {
    SCOPED_TRACE(failure.name);
    RecordingProgress progress;
    try {
      SplitAnimation(failure.source, "s.gif", Prefix(), progress);
      ADD_FAILURE() << "no failure";
    } catch (const DivideError& error) {
      EXPECT_EQ(error.kind(), failure.kind);
      EXPECT_EQ(error.offset(), failure.offset);
      EXPECT_NE(std::string(error.what()).find("s.gif"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(Written().empty());
    EXPECT_TRUE(progress.boxes.empty());
  }
}

TEST_F(Divider, UnreadableSourcesFailAsPlatformErrors) {
  GifTest::WriteBytes(dir_.path() / "empty.gif", {});
  const std::vector<std::string> paths = {dir_.File("missing.gif"), dir_.File("empty.gif"),
                                          dir_.Text(), ""};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    RecordingProgress progress;
    EXPECT_THROW(SplitAnimation(path, Prefix(), progress), Toolkit::PlatformError);
  }
  Toolkit::NoProgress progress;  // the in-memory form refuses no bytes the same way
  EXPECT_THROW(SplitAnimation(Bytes{}, "s", Prefix(), progress), Toolkit::PlatformError);
  EXPECT_EQ(GifTest::ListNames(dir_.path()), std::vector<std::string>{"empty.gif"});
}

TEST_F(Divider, ProgressBoxesGrowByOneStepPerFrameThenTheStripIsCleared) {
  RecordingProgress progress(1000.0f);
  ASSERT_EQ(SplitAnimation(GifTest::Encode(GifTest::SolidFrames(4, 2, 2)), "s", Prefix(), progress),
            4);
  EXPECT_EQ(progress.width_reads, 1);
  EXPECT_EQ(progress.boxes, (std::vector<float>{250.0f, 500.0f, 750.0f, 1000.0f}));
  EXPECT_EQ(progress.events, "BEBEBEBEC");
}

TEST_F(Divider, MarkersBeforeTheHeaderEndOfAnUnwalkableFileDrawBoxesPastTheStrip) {
  Bytes header = Header();
  header[0] = 'X';
  header[13] = 0x21, header[14] = 0xF9, header[15] = 0x04;
  const Bytes source =
      Concat({header, GifTest::LoopingExtension(), Gce(1), Image(1), GifTest::Trailer()});
  RecordingProgress progress(100.0f);
  ASSERT_EQ(SplitAnimation(source, "s", Prefix(), progress), 2);
  EXPECT_EQ(progress.boxes, (std::vector<float>{100.0f, 200.0f}));
}

TEST_F(Divider, FrameNumbersGrowPastThreeDigits) {
  Bytes source = Concat({Header(), GifTest::LoopingExtension()});
  const Bytes frame = Concat({Gce(0), Image(0)});
  for (int k = 0; k < 1001; ++k) source.insert(source.end(), frame.begin(), frame.end());
  source.push_back(0x3B);
  RecordingProgress progress;
  ASSERT_EQ(SplitAnimation(source, "s", Prefix(), progress), 1001);
  const auto names = Written();
  EXPECT_EQ(names.size(), 1001u);
  EXPECT_EQ(names.front(), "out_001.gif");
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "out_999.gif"));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "out_1000.gif"));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "out_1001.gif"));
}

TEST_F(Divider, AFrameThatCannotBeWrittenFailsKeepsEarlierFramesAndLeavesNothingOpen) {
  // A folder of that name blocks the frame even for root, who writes through permissions.
  std::filesystem::create_directory(dir_.path() / "out_003.gif");
  const Bytes source = GifTest::Encode(GifTest::SolidFrames(5, 2, 2));
  const auto open_before = GifTest::OpenDescriptorCount();
  for (int attempt = 0; attempt < 3; ++attempt) {
    RecordingProgress progress;
    try {
      SplitAnimation(Source(source), Prefix(), progress);
      ADD_FAILURE() << "no failure";
    } catch (const Toolkit::PlatformError& error) {
      EXPECT_EQ(error.path(), Prefix() + "003.gif");
    }
    EXPECT_EQ(progress.boxes.size(), 2u);
    EXPECT_EQ(progress.clears, 0);
  }
  EXPECT_EQ(GifTest::OpenDescriptorCount(), open_before);
  EXPECT_EQ(Frame(2).size(), Frame(1).size());
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "out_004.gif"));
}

TEST_F(Divider, EveryTruncatedPrefixOfAnAnimationIsHandled) {
  const Bytes whole = GifTest::Encode(GifTest::SolidFrames(3, 4, 3));
  for (std::size_t length = 1; length <= whole.size(); ++length) {
    const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    RecordingProgress progress;
    GifTest::TempDir fresh;
    try {
      const auto [written, damage] =
          GifTest::SplitAndReport(prefix, "s", fresh.File("t"), progress);
      EXPECT_EQ(damage.has_value(), written > 0 && length < whole.size()) << length;
      EXPECT_EQ(GifTest::ListNames(fresh.path()).size(), static_cast<std::size_t>(written));
      for (int k = 1; k <= written; ++k) {
        const Bytes frame = GifTest::ReadBytes(FrameSplit::FrameFileName(fresh.File("t"), k));
        ASSERT_GE(frame.size(), 2u);
        EXPECT_EQ(frame[frame.size() - 2], 0x00);
        EXPECT_EQ(frame.back(), 0x3B);
      }
    } catch (const DivideError&) {
      EXPECT_TRUE(GifTest::ListNames(fresh.path()).empty()) << length;
    }
  }
}

}  // namespace
