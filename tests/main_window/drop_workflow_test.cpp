#include <QLabel>
#include <QTimer>
#include <filesystem>

#include <sys/stat.h>

#include "frame_split/frame_split.h"
#include "support/form_fixture.h"
#include "support/gif_writer.h"
#include "toolkit/image_control.h"
#include "toolkit/picture_box.h"
#include "toolkit/scroll_bar.h"

namespace {

namespace fs = std::filesystem;

class Drop : public GifTest::FormTest {
 protected:
  std::string Put(const std::string& name, const GifTest::Bytes& bytes) {
    GifTest::WriteBytes(inputs_.path() / name, bytes);
    return inputs_.File(name);
  }
  std::string Animation(int frames, int width = 10, int height = 10,
                        const std::string& name = "anim.gif") {
    return Put(name, GifTest::Encode(GifTest::SolidFrames(frames, width, height)));
  }
  void DropFile(const std::string& path) {
    std::int32_t effect = 1;
    form().Picture1_OLEDragDrop({{path}}, effect, 1, 0, 100, 100);
  }
  std::vector<std::string> WorkFiles() const { return GifTest::ListNames(work()); }

  GifTest::TempDir inputs_;
};

TEST_F(Drop, TenSquareFramesGiveTheWorkedExampleLayout) {
  const std::string source = Animation(10);
  DropFile(source);
  EXPECT_TRUE(boxes_.texts.empty());
  EXPECT_EQ(form().Label1->text(), "10 Images");
  EXPECT_EQ(form().Picture1->Width(), 14610.0f);
  EXPECT_EQ(form().HScroll1->Max(), 567);
  EXPECT_EQ(form().HScroll1->LargeChange(), 91);
  EXPECT_EQ(form().HScroll1->SmallChange(), 23);
  EXPECT_FALSE(form().Progress->isVisibleTo(&form()));
  ASSERT_EQ(WorkFiles().size(), 10u);
  EXPECT_EQ(WorkFiles().front(), "anim001.gif");

  // Byte for byte what the divider writes on its own.
  GifTest::TempDir direct;
  FrameSplit::NoProgress quiet;
  FrameSplit::SplitAnimation(source, direct.File("anim"), quiet);
  for (const auto& name : WorkFiles()) {
    EXPECT_EQ(GifTest::ReadBytes(work() / name), GifTest::ReadBytes(direct.path() / name)) << name;
  }
  // Thumbnail, separator and number for every frame.
  EXPECT_EQ(form().Picture1->drawing().size(), 30u);
  const QImage shot = form().grab().toImage();
  EXPECT_NE(shot.pixelColor(8 + 2 + 40, 40), QColor(255, 255, 224));  // inside thumbnail 1
}

TEST_F(Drop, SmallCountsAreLaidOutAndOnlyTwoOrMorePainted) {
  for (const int frames : {1, 2}) {
    SCOPED_TRACE(frames);
    DropFile(Animation(frames));
    EXPECT_EQ(form().Label1->text(), QString::number(frames) + " Images");
    EXPECT_EQ(form().Picture1->Width(), static_cast<float>(1455 * frames + 60));
    EXPECT_EQ(form().Picture1->drawing().size(), frames == 1 ? 0u : 6u);
  }
  // A strip narrower than the viewport gives Max 0 and keeps the steps.
  EXPECT_EQ(form().HScroll1->Max(), 0);
  EXPECT_EQ(form().HScroll1->LargeChange(), 20);
}

TEST_F(Drop, OneHundredAndTwentyEightFramesAreRefusedButTheirFilesStay) {
  DropFile(Animation(127, 2, 2));
  EXPECT_EQ(form().Label1->text(), "127 Images");
  EXPECT_EQ(form().Picture1->drawing().size(), 127u * 3u);
  DropFile(Animation(128, 2, 2));
  ASSERT_EQ(boxes_.texts.size(), 1u);
  EXPECT_EQ(boxes_.texts[0], "Divide under128images");
  EXPECT_EQ(form().Label1->text(), "Mervane");
  EXPECT_EQ(form().Picture1->drawing().size(), 0u);
  EXPECT_EQ(WorkFiles().size(), 128u);
}

TEST_F(Drop, UndividableFilesSayConTDivideAndOnlyReadableOnesEmptyTheFolder) {
  GifTest::Animation still = GifTest::SolidFrames(1, 4, 4);
  still.looping = false;
  ASSERT_EQ(::mkfifo(inputs_.File("pipe.gif").c_str(), 0600), 0);
  const std::vector<std::pair<std::string, bool>> sources = {
      {Put("still.gif", GifTest::Encode(still)), true},
      {Put("text.gif", GifTest::FromText("hello")), true},
      {inputs_.File("missing.gif"), false},
      {Put("empty.gif", {}), false},
      {inputs_.File("pipe.gif"), false},
      {inputs_.path().string(), false},
      {"", false}};
  for (const auto& [source, emptied] : sources) {
    SCOPED_TRACE(source);
    DropFile(Animation(3));
    boxes_.texts.clear();
    DropFile(source);
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_EQ(boxes_.texts[0], "Con't Divide");
    EXPECT_EQ(WorkFiles().size(), emptied ? 0u : 3u);
    EXPECT_EQ(form().Label1->text(), "Mervane");
    EXPECT_FALSE(form().Progress->isVisibleTo(&form()));
  }
  std::int32_t effect = 1;
  form().Picture1_OLEDragDrop({}, effect, 1, 0, 0, 0);  // no file at all
  EXPECT_EQ(boxes_.texts.back(), "Con't Divide");
}

TEST_F(Drop, ShortAndNonUtf8NamesGiveFramesNamedByTheirBytes) {
  DropFile(Animation(2, 4, 4, "a.gi"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"001.gif", "002.gif"}));
  DropFile(Animation(2, 4, 4, "caf\xE9.gif"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"caf\xE9"
                                                   "001.gif",
                                                   "caf\xE9"
                                                   "002.gif"}));
  EXPECT_EQ(form().Picture1->drawing().size(), 6u);
}

TEST_F(Drop, PicturesTooLargeToDecodeAreShownAsFramedPlaceholders) {
  GifTest::Animation huge = GifTest::SolidFrames(2, 1, 1);
  huge.width = huge.height = 9000;  // a screen over the decoder's allocation limit
  DropFile(Put("huge.gif", GifTest::Encode(huge)));
  EXPECT_TRUE(boxes_.texts.empty());
  EXPECT_EQ(form().Picture1->Width(), 1455.0f * 2 + 60);  // square, as the screen is
  // Per frame: frame, size text, separator, number.
  ASSERT_EQ(form().Picture1->drawing().size(), 8u);
  EXPECT_EQ(form().Picture1->drawing().PixelBytes(), 0u);
}

TEST_F(Drop, AFileFromTheWorkFolderIsReadBeforeTheFolderIsEmptied) {
  DropFile(Animation(3, 4, 4, "clip.gif"));
  fs::copy_file(inputs_.path() / "clip.gif", work() / "again.gif");
  DropFile((work() / "again.gif").string());
  EXPECT_TRUE(boxes_.texts.empty());
  EXPECT_EQ(WorkFiles(),
            (std::vector<std::string>{"again001.gif", "again002.gif", "again003.gif"}));
}

TEST_F(Drop, ViewportPreviewAndBareWindowDropsRunTheSameWorkflow) {
  std::int32_t effect = 1;
  form().Picture3_OLEDragDrop({{Animation(2)}}, effect, 1, 0, 0, 0);
  EXPECT_EQ(form().Label1->text(), "2 Images");
  form().Image1_OLEDragDrop(0, {{Animation(3)}}, effect, 1, 0, 0, 0);
  EXPECT_EQ(form().Label1->text(), "3 Images");
  form().Form_OLEDragDrop({{Animation(4)}}, effect, 1, 0, 0, 0);
  EXPECT_EQ(form().Label1->text(), "4 Images");
}

TEST_F(Drop, ADropArrivingDuringARunIsRefused) {
  const std::string first = Animation(5, 4, 4, "first.gif");
  const std::string second = Animation(9, 4, 4, "second.gif");
  bool busy_seen = false;
  QTimer::singleShot(0, &form(), [&] {
    busy_seen = form().Busy();
    DropFile(second);  // arrives at an event-pumping point
  });
  DropFile(first);
  EXPECT_TRUE(busy_seen);
  EXPECT_EQ(form().Label1->text(), "5 Images");
  EXPECT_EQ(WorkFiles().size(), 5u);
  EXPECT_FALSE(form().Busy());
}

TEST_F(Drop, ClosingMidRunEndsTheProgramAndLeavesCompleteFrames) {
  QTimer::singleShot(0, &form(), [&] { form().close(); });
  DropFile(Animation(4, 4, 4));
  EXPECT_EQ(ends_, 1);
  for (const auto& name : WorkFiles()) {
    const auto bytes = GifTest::ReadBytes(work() / name);
    EXPECT_EQ(bytes.back(), 0x3B) << name;
  }
}

TEST_F(Drop, AFrameFileDeletedWhilePaintingLeavesItsSlotNumberedAndSeparated) {
  // Delete it once the division is over and the painting has begun.
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (form().Label1->text() == "4 Images") {
      fs::remove(work() / "anim003.gif");
      watcher.stop();
    }
  });
  watcher.start(0);
  DropFile(Animation(4));
  // Four separators and numbers, three thumbnails.
  EXPECT_EQ(form().Picture1->drawing().size(), 11u);
}

TEST_F(Drop, WideStripsScrollToTheirLastFrame) {
  for (const auto& [frames, width, height] : {std::tuple{127, 300, 100}, {2, 65535, 1}}) {
    SCOPED_TRACE(width);
    DropFile(Animation(frames, width, height));
    form().HScroll1->SetValue(form().HScroll1->Max());
    // The strip's right end, with the last frame, lies at the viewport's right edge.
    const float right = form().Picture1->Left() + form().Picture1->Width();
    EXPECT_GT(right, form().Picture3->Width() - 16 * 2);
    EXPECT_LE(right, form().Picture3->Width() + 16 * 2);
  }
}

TEST_F(Drop, ExtremeAspectRatiosStayBounded) {
  for (const auto& [width, height] : {std::pair{2000, 4}, std::pair{4, 2000}}) {
    SCOPED_TRACE(width);
    DropFile(Animation(3, width, height));
    EXPECT_EQ(form().Label1->text(), "3 Images");
    EXPECT_LE(form().Picture1->drawing().PixelBytes(), 3u * 2000u * 4u * 4u);
    form().grab();
  }
}

}  // namespace
