// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <filesystem>
#include <functional>

#include <sys/stat.h>

#include "frame_split/frame_split.h"
#if MERVANE_FRAME_FORMATS
#include "frame_formats/format_source.h"
#include "support/format_inputs.h"
#endif
#include "support/form_fixture.h"
#include "support/gif_writer.h"
#include "support/process.h"
#include "support/special_files.h"
#include "support/split_files.h"
#include "toolkit/image_control.h"
#include "toolkit/picture_box.h"
#include "toolkit/scroll_bar.h"
#include "toolkit/units.h"

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
  void DropFile(const std::string& path) { form().Picture1_OLEDragDrop({{path}}); }
  std::vector<std::string> WorkFiles() const { return GifTest::ListNames(work()); }
  // Thumbnail `number`'s pixels on the strip, as FrameAt finds them; empty
  // where it finds none.
  QRect Thumbnail(int number) {
    const QWidget& strip = *form().Strip();
    int left = -1, right = -1;
    for (int x = 0; x < strip.width(); ++x) {
      if (form().FrameAt({x, 10}) != number) continue;
      if (left < 0) left = x;
      right = x;
    }
    if (left < 0) return {};
    const int middle = (left + right) / 2;
    int top = 0, bottom = 0;
    while (top < strip.height() && form().FrameAt({middle, top}) != number) ++top;
    for (bottom = top; bottom + 1 < strip.height(); ++bottom) {
      if (form().FrameAt({middle, bottom + 1}) != number) break;
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
  }
  // The strip pixel `across` and `down` of the way into thumbnail `number`.
  QPoint Within(int number, double across, double down) {
    const QRect thumbnail = Thumbnail(number);
    return thumbnail.topLeft() + QPoint(static_cast<int>(thumbnail.width() * across),
                                        static_cast<int>(thumbnail.height() * down));
  }
  QColor StripPixel(QPoint at) { return form().Strip()->grab().toImage().pixelColor(at); }

  GifTest::TempDir inputs_;
};

TEST_F(Drop, TenSquareFramesGiveTheWorkedExampleLayout) {
  const std::string source = Animation(10);
  // The first drop finds the work folder empty, which is no failure to log.
  static int step_warnings;
  step_warnings = 0;
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (text.startsWith("Mervane:")) ++step_warnings;
      });
  DropFile(source);
  qInstallMessageHandler(previous);
  EXPECT_EQ(step_warnings, 0);
  EXPECT_TRUE(boxes_.texts.empty());
  EXPECT_EQ(form().Label1->text(), "10 Images");
  EXPECT_EQ(form().Picture1->Width(), 14610.0f);
  EXPECT_EQ(form().HScroll1->Max(), 567);
  EXPECT_FALSE(form().Progress->isVisibleTo(&form()));
  ASSERT_EQ(WorkFiles().size(), 10u);
  EXPECT_EQ(WorkFiles().front(), "anim001.gif");

  // Byte for byte what the divider writes on its own.
  GifTest::TempDir direct;
  Toolkit::NoProgress quiet;
  GifTest::SplitAnimation(source, direct.File("anim"), quiet);
  for (const auto& name : WorkFiles()) {
    EXPECT_EQ(GifTest::ReadBytes(work() / name), GifTest::ReadBytes(direct.path() / name)) << name;
  }
  // Thumbnail, separator and number for every frame.
  EXPECT_EQ(form().Picture1->drawing().size(), 30u);
  EXPECT_NE(StripPixel(Thumbnail(1).center()), QColor(255, 255, 224));
}

TEST_F(Drop, SmallCountsAreLaidOutAndOnlyTwoOrMorePainted) {
  for (const int frames : {1, 2}) {
    SCOPED_TRACE(frames);
    DropFile(Animation(frames));
    EXPECT_EQ(form().Label1->text(), QString::number(frames) + " Images");
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
  EXPECT_EQ(boxes_.texts[0].toStdString(),
            "Divide under128images\n128 frames were written to the work folder; the strip shows "
            "fewer than 128.");
  EXPECT_EQ(form().Label1->text(), "Mervane");
  EXPECT_EQ(form().Picture1->drawing().size(), 0u);
  EXPECT_EQ(WorkFiles().size(), 128u);
}

TEST_F(Drop, UndividableFilesSayConTDivideAndKeepThePreviousFrames) {
  GifTest::Animation still = GifTest::SolidFrames(1, 4, 4);
  still.looping = false;
  GifTest::Animation no_frame = GifTest::SolidFrames(0, 4, 4);
  ASSERT_EQ(::mkfifo(inputs_.File("pipe.gif").c_str(), 0600), 0);
  const GifTest::Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  // Each refusal keeps its own text and says why on the line below it.
  const std::pair<std::string, std::string> sources[] = {
      {Put("still.gif", GifTest::Encode(still)),
       "This GIF plays once: it has no looping extension."},
      {Put("picture.gif", png), "This is a PNG file, not a GIF."},
      {Put("notes.gif", GifTest::FromText("hello")), "This is not a GIF file"},
      {Put("no frame.gif", GifTest::Encode(no_frame)), "no graphic control extension"},
      {Put("text.gif", GifTest::FromText("hello NETSCAPE")), "no application extension"},
      {inputs_.File("missing.gif"), "missing.gif: No such file"},
      {Put("empty.gif", {}), "file is empty"},
      {inputs_.File("pipe.gif"), "not a regular file"},
      {inputs_.path().string(), "not a regular file"},
      {"", "No such file"}};
  DropFile(Animation(3));
  const std::size_t drawn = form().Picture1->drawing().size();
  for (const auto& [source, why] : sources) {
    SCOPED_TRACE(source);
    boxes_.texts.clear();
    DropFile(source);
    ASSERT_EQ(boxes_.texts.size(), 1u);
    const std::string said = boxes_.texts[0].toStdString();
    EXPECT_EQ(said.rfind("Con't Divide\n", 0), 0u) << said;
    EXPECT_NE(said.find(why), std::string::npos) << said;
    EXPECT_EQ(WorkFiles().size(), 3u);
    EXPECT_EQ(form().Label1->text(), "3 Images");
    EXPECT_EQ(form().Picture1->drawing().size(), drawn);
    EXPECT_FALSE(form().Progress->isVisibleTo(&form()));
  }
  form().OnFilesDropped({});  // no file at all
  EXPECT_EQ(boxes_.texts.back().toStdString(), "Con't Divide\nNothing that was dropped is a file.");
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

TEST_F(Drop, AFileNoDecoderTakesKeepsThePreviousDropsRatio) {
  DropFile(Animation(2, 20, 10));
  const float wide_strip = form().Strip()->Width();
  GifTest::Bytes odd = GifTest::Encode(GifTest::SolidFrames(2, 10, 10));
  odd[0] = 'X';  // still divisible, but no picture any more
  DropFile(Put("odd.gif", odd));
  EXPECT_EQ(form().CountLabel()->text(), "2 Images");
  EXPECT_EQ(form().Strip()->Width(), wide_strip);
}

TEST_F(Drop, PicturesTooLargeToDecodeAreShownAsFramedPlaceholders) {
  // Over the decoder's allocation limit, and over the thumbnails' own budget.
  for (const int side : {9000, 4096}) {
    GifTest::Animation huge = GifTest::SolidFrames(2, 1, 1);
    huge.width = huge.height = side;
    DropFile(Put("huge.gif", GifTest::Encode(huge)));
    EXPECT_TRUE(boxes_.texts.empty());
    EXPECT_EQ(form().Picture1->Width(), 1455.0f * 2 + 60);  // square, as the screen is
    // Per frame: frame, size text, separator, number.
    ASSERT_EQ(form().Picture1->drawing().size(), 8u) << side;
    EXPECT_EQ(form().Picture1->drawing().PixelBytes(), 0u);
  }
#if MERVANE_FRAME_FORMATS
  // An animated WebP's canvas is held to the thumbnails' budget as well.
  std::string why;
  if (!FormatTest::WriteSparseWebp((inputs_.path() / "huge.webp").string(), 2, 4096, 4096, &why)) {
    GTEST_SKIP() << why;
  }
  DropFile((inputs_.path() / "huge.webp").string());
  EXPECT_TRUE(boxes_.texts.empty());
  ASSERT_EQ(form().Picture1->drawing().size(), 8u);
  EXPECT_EQ(form().Picture1->drawing().PixelBytes(), 0u);
#endif
}

TEST_F(Drop, AFileFromTheWorkFolderStaysAndItsFramesComeFromTheBytesDivided) {
  DropFile(Animation(3, 4, 4, "clip.gif"));
  fs::copy_file(inputs_.path() / "clip.gif", work() / "mine.gif");
  DropFile((work() / "mine.gif").string());
  EXPECT_TRUE(boxes_.texts.empty());
  EXPECT_EQ(WorkFiles(),
            (std::vector<std::string>{"mine.gif", "mine001.gif", "mine002.gif", "mine003.gif"}));
  // Changed on disk since: every action still works on the bytes divided.
  const GifTest::Bytes changed = GifTest::FromText("changed");
  GifTest::WriteBytes(work() / "mine.gif", changed);
  EXPECT_EQ(form().FrameAsItAppears(2).pixelColor(1, 1), QColor(0, 128, 0));
  GifTest::TempDir saved;
  form().SaveFramesAsTheyAppear(saved.path().string(), true);
  EXPECT_EQ(GifTest::ListNames(saved.path()),
            (std::vector<std::string>{"mine.json", "mine001.png", "mine002.png", "mine003.png"}));
  // ... and never writes over the dropped file.
  form().SaveFrameAs(1, (work() / "mine.gif").string());
  EXPECT_TRUE(boxes_.texts.back().endsWith("that is the file being divided"))
      << boxes_.texts.back().toStdString();
  // A later drop empties the folder around it.
  DropFile(Animation(2, 4, 4, "other.gif"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"mine.gif", "other001.gif", "other002.gif"}));
  EXPECT_EQ(GifTest::ReadBytes(work() / "mine.gif"), changed);
}

TEST_F(Drop, DropsOnTheStripViewportPreviewAndBareWindowRunOnceTheSourceIsAnswered) {
  form().show();
  const std::pair<QWidget*, QPoint> targets[] = {{form().Strip(), {10, 10}},
                                                 {form().Viewport(), {10, 10}},
                                                 {form().Preview(), {5, 5}},
                                                 {&form(), {100, 160}}};
  int frames = 1;
  for (const auto& [target, at] : targets) {
    SCOPED_TRACE(target->objectName().toStdString());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(Animation(++frames)))});
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    const QString divided = QString::number(frames) + " Images";
    EXPECT_NE(form().CountLabel()->text(), divided);  // not before the source is answered
    QCoreApplication::processEvents();
    EXPECT_EQ(form().CountLabel()->text(), divided);
  }
}

TEST_F(Drop, ADragThatLeftTakesItsFilesWithItAndOnlyTheFirstOfManyIsDivided) {
  form().show();
  QMimeData file;
  file.setUrls({QUrl::fromLocalFile(QString::fromStdString(Animation(3)))});
  QMimeData text;
  text.setText("https://example.invalid/a.gif");
  const QPoint at(10, 10);
  QDragEnterEvent enter(at, Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form().Strip(), &enter);
  QDragLeaveEvent leave;
  QCoreApplication::sendEvent(form().Strip(), &leave);
  // A later drag of text: its own data, not the file of the drag that left.
  QDragEnterEvent text_enter(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form().Strip(), &text_enter);
  QDropEvent drop(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form().Strip(), &drop);
  QCoreApplication::processEvents();
  EXPECT_FALSE(drop.isAccepted());
  EXPECT_TRUE(WorkFiles().empty());
  EXPECT_EQ(form().CountLabel()->text(), "Mervane");

  form().OnFilesDropped({{Animation(2, 4, 4, "first.gif"), Animation(3), Animation(4)}});
  EXPECT_EQ(form().CountLabel()->text(), "2 Images");
  EXPECT_EQ(form().CountLabel()->toolTip(),
            "3 files were dropped; only the first, first.gif, "
            "was divided.");
  DropFile(Animation(3));
  EXPECT_EQ(form().CountLabel()->toolTip(), "");
}

TEST_F(Drop, ANameTooLongForItsFramesLeavesThePreviousFramesAndSaysWhy) {
  DropFile(Animation(3));
  const std::string long_name = std::string(250, 'n') + ".gif";  // frames: 253 + ".gif"
  DropFile(Animation(2, 4, 4, long_name));
  ASSERT_EQ(boxes_.texts.size(), 1u);
  EXPECT_TRUE(boxes_.texts[0].startsWith("Con't Divide\nThe frame files' names would be longer"))
      << boxes_.texts[0].toStdString();
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"anim001.gif", "anim002.gif", "anim003.gif"}));
  EXPECT_EQ(form().CountLabel()->text(), "3 Images");
  // A name just short enough divides, temporary names and all.
  DropFile(Animation(2, 4, 4, std::string(248, 'n') + ".gif"));
  EXPECT_EQ(form().CountLabel()->text(), "2 Images");
}

TEST_F(Drop, AFullDiskSaysSoAndLeavesNoHalfWrittenFrame) {
  const std::string source = Animation(40, 64, 64);  // about 40 x 4 KiB of frames
  const bool mounted = GifTest::WithSmallDiskAt(work().string(), 64 * 1024, [&] {
    DropFile(source);
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_EQ(boxes_.texts[0].toStdString(),
              "Con't Divide\nThe disk holding the work folder is full: " + work().string());
    EXPECT_EQ(form().CountLabel()->text(), "Mervane");
    // The frames that fitted are whole, and nothing else is there.
    GifTest::TempDir whole;
    Toolkit::NoProgress quiet;
    GifTest::SplitAnimation(source, whole.File("anim"), quiet);
    const auto files = WorkFiles();
    EXPECT_FALSE(files.empty());
    EXPECT_LT(files.size(), 40u);
    for (const auto& name : files) {
      EXPECT_EQ(GifTest::ReadBytes(work() / name), GifTest::ReadBytes(whole.path() / name)) << name;
    }
  });
  if (!mounted) GTEST_SKIP() << "no small disk can be mounted here";
}

TEST_F(Drop, AFrameTooLargeToCopySaysWhy) {
  GifTest::Animation tiny = GifTest::SolidFrames(2, 1, 1);
  tiny.width = tiny.height = 65535;
  DropFile(Put("tiny.gif", GifTest::Encode(tiny)));
  form().CopyFrame(1);
  ASSERT_EQ(boxes_.texts.size(), 1u);
  EXPECT_TRUE(boxes_.texts[0].startsWith("Cannot copy frame 1: "));
  EXPECT_TRUE(boxes_.texts[0].contains("65535 x 65535 is too large"))
      << boxes_.texts[0].toStdString();
}

TEST(ReplaceQuestion, NamesTheFilesItWouldReplaceTheFirstFewOfManyAndLongOnesCutShort) {
  QStringList twelve;
  for (int i = 1; i <= 12; ++i) twelve << QString("c%1.png").arg(i);
  const QString long_name = QString(100, 'x') + ".json";
  struct Case {
    QStringList names;
    QString question;
  };
  for (const Case& c : {
           Case{{"clip12.json"}, "clip12.json is already in /f. Replace it?"},
           Case{{"a.png", "a.json"},
                "2 of the files about to be written are already in /f:\na.png\na.json\nReplace "
                "them?"},
           Case{twelve,
                "12 of the files about to be written are already in /f:\nc1.png\nc2.png\nc3."
                "png\nc4.png\nc5.png\nc6.png\nc7.png\nc8.png\n\u2026 and 4 more\nReplace "
                "them?"},
           Case{{long_name},
                QString(32, 'x') + QChar(0x2026) + QString(27, 'x') +
                    ".json is already in /f. Replace it?"},
       }) {
    EXPECT_EQ(MainWindow::ReplaceQuestion(c.names, "/f").toStdString(), c.question.toStdString());
  }
}

TEST_F(Drop, ADropArrivingDuringARunIsRefused) {
  const std::string first = Animation(5, 4, 4, "first.gif");
  const std::string second = Animation(9, 4, 4, "second.gif");
  bool busy_seen = false, handed_over = true;
  QTimer::singleShot(0, &form(), [&] {
    busy_seen = form().Busy();
    DropFile(second);                           // arrives at an event-pumping point
    handed_over = form().TakeHandOver(second);  // as from a later start
  });
  DropFile(first);
  EXPECT_TRUE(busy_seen);
  EXPECT_FALSE(handed_over);
  EXPECT_EQ(form().Label1->text(), "5 Images");
  EXPECT_EQ(WorkFiles().size(), 5u);
  EXPECT_FALSE(form().Busy());
}

// Several starts at once hand their files over before the first one runs:
// only the first is taken, and it is divided.
TEST_F(Drop, OfFilesHandedOverTogetherOnlyTheFirstIsTaken) {
  const std::string first = Animation(5, 4, 4, "first.gif");
  EXPECT_TRUE(form().TakeHandOver(first));
  EXPECT_FALSE(form().TakeHandOver(Animation(9, 4, 4, "second.gif")));
  EXPECT_TRUE(GifTest::PollUntil(20, [&] {
    QCoreApplication::processEvents();
    return form().Label1->text() == "5 Images" && !form().Busy();
  }));
  EXPECT_EQ(WorkFiles().size(), 5u);
}

TEST_F(Drop, ANewDropClosesTheMenusAndDialogsTheLastOneOpened) {
  DropFile(Animation(4, 4, 4, "first.gif"));
  const std::uint64_t first = form().DropSerial();
  DropFile(Put("notes.gif", GifTest::FromText("not a picture")));  // refused: the frames stay
  EXPECT_EQ(form().DropSerial(), first);
  form().show();
  const std::string second = Animation(2, 4, 4, "second.gif");
  QMenu menu(&form());
  menu.addAction("Save 4 frames as\u2026");
  QFileDialog folder(&form());
  const std::pair<const char*, std::function<void()>> opened[] = {
      {"menu", [&] { menu.exec(QPoint(10, 10)); }},
      {"dialog", [&] { folder.exec(); }},
  };
  for (const auto& [what, open] : opened) {
    bool timed_out = false;
    // The drop arrives while it is open; were it left open, the guard would close it.
    QTimer::singleShot(50, &form(), [&] { DropFile(second); });
    QTimer::singleShot(5000, &form(), [&] {
      timed_out = QApplication::activePopupWidget() || QApplication::activeModalWidget();
      menu.close();
      folder.reject();
    });
    open();
    EXPECT_FALSE(timed_out) << what;
    EXPECT_EQ(form().Label1->text(), "2 Images") << what;
    EXPECT_GT(form().DropSerial(), first) << what;
    DropFile(Animation(4, 4, 4, "first.gif"));
  }
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

TEST_F(Drop, ThumbnailsShowFramesAsTheyAppearOrAsStoredWithTheirNumberAndDelay) {
  GifTest::Animation delta = GifTest::SolidFrames(3, 20, 20);  // red, then green
  delta.frames[1].width = delta.frames[1].height = 4;          // ... on a corner only
  delta.frames[1].indices.assign(16, 1);
  delta.frames[1].delay = 25;
  delta.frames[2] = delta.frames[1];  // the same again
  DropFile(Put("delta.gif", GifTest::Encode(delta)));
  // Thumbnail 2: its green patch in the corner, frame 1's red through the rest.
  const QPoint corner = Within(2, 0.05, 0.05), away = Within(2, 0.85, 0.85);
  EXPECT_EQ(StripPixel(away), QColor(255, 0, 0));
  EXPECT_EQ(StripPixel(corner), QColor(0, 128, 0));
  EXPECT_EQ(form().Strip()->ToolTipAt(corner), "Frame 2, 250 ms, as it appears (patch 4x4 at 0,0)");
  EXPECT_EQ(form().Strip()->ToolTipAt(Within(3, 0.05, 0.05)),
            "Frame 3, 250 ms, as it appears (patch 4x4 at 0,0), same as 2");
  EXPECT_EQ(form().Strip()->ToolTipAt({corner.x(), form().Strip()->height() - 2}),
            "Drop AnimationGIFfile");  // the number band
  EXPECT_TRUE(form().CountLabel()->toolTip().contains("Save frames as they appear"));
  // As stored: the file's own patch, and a checkerboard where it holds
  // nothing; as divided, whatever has become of the files since.
  GifTest::WriteBytes(work() / "delta002.gif",
                      GifTest::Encode(GifTest::SolidFrames(1, 20, 20)));  // all red
  fs::remove(work() / "delta003.gif");
  form().ShowFramesAsStored(true);
  EXPECT_EQ(StripPixel(corner), QColor(0, 128, 0));
  for (const QPoint& at : {away, Within(2, 0.55, 0.85)}) {
    const QColor board = StripPixel(at);  // grey or white, smoothed at the cells' edges
    EXPECT_TRUE(board.red() == board.green() && board.green() == board.blue() &&
                board.red() >= 0xCC)
        << at.x();
  }
  EXPECT_EQ(form().Strip()->ToolTipAt(corner), "Frame 2, 250 ms, as stored (patch 4x4 at 0,0)");
  EXPECT_EQ(form().Strip()->ToolTipAt(Within(3, 0.05, 0.05)),
            "Frame 3, 250 ms, as stored (patch 4x4 at 0,0)");
  form().ShowFramesAsStored(false);
  EXPECT_EQ(StripPixel(away), QColor(255, 0, 0));
  // Cut off inside the second frame's data: that frame says so.
  delta.frames.pop_back();
  GifTest::Bytes cut = GifTest::Encode(delta);
  cut.resize(cut.size() - 4);
  DropFile(Put("cut.gif", cut));
  // Cut before any of its pixels: it shows what frame 1 showed.
  EXPECT_EQ(form().Strip()->ToolTipAt(Within(2, 0.05, 0.05)).toStdString(),
            "Frame 2, 250 ms (incomplete: the file ends inside this frame), as it appears (patch "
            "4x4 at 0,0), same as 1");
}

// Out of memory, a drop and a save say so in words: "std::bad_alloc"
// means nothing to a user.
TEST_F(Drop, RunningOutOfMemorySaysSoInWordsAndKeepsThePreviousFrames) {
  DropFile(Put("big.gif", GifTest::ConstantFrames(2, 4096, 4096, 4096, 4096)));
  const std::string huge = inputs_.File("huge.gif");  // sparse: no disk taken
  fs::copy_file(inputs_.File("big.gif"), huge);
  fs::resize_file(huge, std::uintmax_t{1} << 30);
  GifTest::TempDir saved;
  const std::function<void()> actions[] = {
      [&] { DropFile(huge); }, [&] { form().SaveFramesAsTheyAppear(saved.path().string(), true); }};
  for (const auto& action : actions) {
    boxes_.texts.clear();
    if (!GifTest::WithMemoryHeadroom(std::size_t{32} << 20, action)) GTEST_SKIP();
    ASSERT_EQ(boxes_.texts.size(), 1u);
    const std::string said = boxes_.texts[0].toStdString();
    EXPECT_NE(said.find("not enough memory"), std::string::npos) << said;
    EXPECT_EQ(said.find("std::"), std::string::npos) << said;
    EXPECT_EQ(WorkFiles().size(), 2u);
  }
  EXPECT_TRUE(GifTest::ListNames(saved.path()).empty());
}

TEST_F(Drop, SavingFramesAsTheyAppearWritesWholeFramesWhereAsked) {
  GifTest::TempDir saved;
  form().SaveFramesAsTheyAppear(saved.path().string(), false);  // nothing dropped yet
  EXPECT_TRUE(GifTest::ListNames(saved.path()).empty());
  DropFile(Animation(3, 4, 4, "clip.gif"));
  form().SaveFramesAsTheyAppear(saved.path().string(), false);
  form().SaveFramesAsTheyAppear(saved.path().string(), true);
  EXPECT_EQ(GifTest::ListNames(saved.path()),
            (std::vector<std::string>{"clip.json", "clip001.gif", "clip001.png", "clip002.gif",
                                      "clip002.png", "clip003.gif", "clip003.png"}));
  ASSERT_EQ(boxes_.texts.size(), 2u);
  EXPECT_TRUE(boxes_.texts[1].startsWith("Saved 3 frames to ")) << boxes_.texts[1].toStdString();
  // Some of them: only those (each kind's files are the saving class's own test).
  GifTest::TempDir some;
  form().SaveFrames({1, 3}, some.path().string(), MainWindow::SaveKind::kStoredGif);
  EXPECT_EQ(GifTest::ListNames(some.path()),
            (std::vector<std::string>{"clip.json", "clip001.gif", "clip003.gif"}));
  EXPECT_EQ(GifTest::ReadBytes(some.path() / "clip003.gif"),
            GifTest::ReadBytes(work() / "clip003.gif"));
  form().SaveFramesAsTheyAppear(saved.File("missing/folder"), false);
  EXPECT_TRUE(boxes_.texts.back().startsWith("Cannot save frames to "));
  EXPECT_FALSE(form().Progress->isVisibleTo(&form()));
}

TEST_F(Drop, ExtremeAspectRatiosStayBoundedAndScrollToTheirLastFrame) {
  for (const auto& [frames, width, height] :
       {std::tuple{127, 300, 100}, {2, 65535, 1}, {3, 2000, 4}, {3, 4, 2000}}) {
    SCOPED_TRACE(width);
    DropFile(Animation(frames, width, height));
    EXPECT_EQ(form().CountLabel()->text(), QString::number(frames) + " Images");
    // Never more pixels than the frames have.
    EXPECT_LE(form().Strip()->drawing().PixelBytes(), 4.0 * frames * width * height);
    form().HScroll1->SetValue(form().HScroll1->Max());
    // The strip's right end, with the last frame, lies at the viewport's right
    // edge, or short of it when the strip is narrower.
    const float right = form().Strip()->Left() + form().Strip()->Width();
    EXPECT_NEAR(right, std::min(form().Strip()->Width(), form().Viewport()->Width()), 16 * 2);
    form().grab();
  }
}

TEST_F(Drop, PickedThumbnailsAreFramedAndTheFocusMarkFramesOnlyTheMarkedOne) {
  DropFile(Animation(2, 20, 20));  // a short strip: grey beside it
  form().show();
  QApplication::setActiveWindow(&form());  // where the keyboard focus can be
  const auto press = [&](QPoint at, Qt::KeyboardModifiers keys) {
    QMouseEvent down(QEvent::MouseButtonPress, at, form().Strip()->mapToGlobal(at), Qt::LeftButton,
                     Qt::LeftButton, keys);
    QMouseEvent up(QEvent::MouseButtonRelease, at, form().Strip()->mapToGlobal(at), Qt::LeftButton,
                   Qt::NoButton, keys);
    QCoreApplication::sendEvent(form().Strip(), &down);
    QCoreApplication::sendEvent(form().Strip(), &up);
  };
  const QColor highlight = form().palette().color(QPalette::Highlight);
  QWidget& viewport = *form().Viewport();
  const int strip_end = form().Strip()->width();  // the grey beside the strip starts here
  const QColor beside = viewport.grab().toImage().pixelColor(strip_end + 100, 60);
  // A point on each thumbnail's left edge, where the frame of a picked one goes.
  const auto edge = [&](int number) { return Within(number, 0, 0.5) + QPoint(1, 0); };
  press(Thumbnail(2).center(), Qt::NoModifier);
  press(Thumbnail(1).center(), Qt::ControlModifier);
  EXPECT_EQ(form().Selection().Selected(), (std::vector<int>{1, 2}));
  EXPECT_TRUE(form().Strip()->hasFocus());
  const QImage shot = viewport.grab().toImage();
  for (const int n : {1, 2}) EXPECT_EQ(shot.pixelColor(edge(n)), highlight) << n;
  // No mark of any kind over the grey beside the strip, whichever has the focus.
  viewport.setFocus();
  for (const QImage& image : {shot, viewport.grab().toImage()}) {
    for (int x = strip_end + 2; x < image.width(); ++x) {
      for (const int y : {1, 2, 60}) EXPECT_EQ(image.pixelColor(x, y), beside) << x << "," << y;
    }
  }
  press(Thumbnail(1).center(), Qt::NoModifier);  // a picked frame, let go: it alone
  EXPECT_EQ(form().Selection().Selected(), std::vector<int>{1});
  EXPECT_NE(StripPixel(edge(2)), highlight);
}

TEST_F(Drop, APickedFramesMarksLeaveEveryPixelOfItsNumberAlone) {
  DropFile(Animation(3, 20, 20));
  form().show();
  QApplication::setActiveWindow(&form());
  form().EndButton()->setFocus();  // no mark at all on the strip
  const auto strip_shot = [&] { return form().Strip()->grab().toImage(); };
  const QImage plain = strip_shot();
  // The number band: the rows below thumbnail 1, across its slot.
  int band_top = 0;
  while (form().FrameAt({10, band_top}) == 1) ++band_top;
  ASSERT_GT(band_top, 10);
  const int slot_right = static_cast<int>(form().Strip()->width() / 3);
  int ink = 0;
  const QColor text = form().Strip()->ForeColor();
  const auto is_ink = [&](QColor c) {
    const int off = std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) +
                    std::abs(c.blue() - text.blue());
    return off < 200;
  };
  // Picked, then picked and under the keyboard's mark as well.
  for (const bool focused : {false, true}) {
    QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::sendEvent(form().Strip(), &all);
    if (focused) form().Strip()->setFocus();
    const QImage picked = strip_shot();
    int changed = 0;
    for (int y = band_top; y < plain.height(); ++y) {
      for (int x = 2; x < slot_right; ++x) {  // past the separator at the slot's edge
        if (plain.pixelColor(x, y) != picked.pixelColor(x, y)) ++changed;
        if (!is_ink(plain.pixelColor(x, y))) continue;
        ++ink;
        EXPECT_EQ(picked.pixelColor(x, y), plain.pixelColor(x, y))
            << "the number's pixel " << x << "," << y << (focused ? " under the mark" : "");
      }
    }
    EXPECT_GT(changed, 0) << "no frame drawn in the number band";
  }
  EXPECT_GT(ink, 20) << "no number found";
}

class StripOfForty : public Drop {
 protected:
  void SetUp() override {
    Drop::SetUp();
    DropFile(Animation(40, 20, 20));
    ASSERT_GT(bar().Max(), 2 * bar().LargeChange());
  }
  Toolkit::ScrollBar& bar() { return *form().HScroll1; }
  void Key(QWidget* target, int code) {
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
  }
};

TEST_F(StripOfForty, TheWheelMovesTheStripByWholeNotches) {
  const auto wheel = [&](QWidget* target, int delta) {
    QWheelEvent turn(QPointF(5, 5), QPointF(5, 5), {}, QPoint(0, delta), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &turn);
  };
  const int small = bar().SmallChange();
  wheel(form().Strip(), -240);  // two notches down: two arrows' worth to the right
  EXPECT_EQ(bar().Value(), 2 * small);
  wheel(form().Viewport(), 60);  // half a notch: nothing yet
  EXPECT_EQ(bar().Value(), 2 * small);
  wheel(form().Viewport(), 60);
  EXPECT_EQ(bar().Value(), small);
}

TEST_F(StripOfForty, TheKeysMoveTheScrollBarFromTheStripOrTheBar) {
  const int small = bar().SmallChange(), large = bar().LargeChange();
  struct Case {
    QWidget* target;
    int key, value;
  };
  // Right on the strip puts the mark on frame 1, and the strip follows it.
  for (const Case& c :
       {Case{form().Strip(), Qt::Key_Right, 0}, Case{form().Strip(), Qt::Key_PageDown, large},
        Case{&bar(), Qt::Key_Left, large - small}, Case{&bar(), Qt::Key_End, bar().Max()},
        Case{form().Strip(), Qt::Key_PageUp, bar().Max() - large},
        Case{form().Strip(), Qt::Key_Home, 0}}) {
    const int before = bar().Value();
    Key(c.target, c.key);
    EXPECT_EQ(bar().Value(), c.value) << c.key << " from " << before;
  }
  EXPECT_EQ(form().Strip()->Left(), 0.0f);
}

TEST_F(StripOfForty, TheStripScrollsToTheFrameUnderTheKeyboardsMark) {
  for (int i = 0; i < 10; ++i) Key(form().Strip(), Qt::Key_Right);
  EXPECT_EQ(form().Selection().Selected(), std::vector<int>{10});
  // Thumbnail 10 lies inside the viewport, which shows the strip from -Left on.
  const int shown_from = static_cast<int>(Toolkit::TwipsToPixels(-form().Strip()->Left()));
  const QRect tenth = Thumbnail(10);
  EXPECT_GT(shown_from, 0);
  EXPECT_GE(tenth.left(), shown_from);
  EXPECT_LE(tenth.right(), shown_from + form().Viewport()->width());
}

TEST_F(StripOfForty, EachThumbnailGivesItsFrameFileAndPicture) {
  // Forty slots of one width side by side: the second starts a fortieth along.
  const QRect second = Thumbnail(2);
  EXPECT_NEAR(second.left(), form().Strip()->width() / 40.0, 3);
  const int number_band = form().Strip()->height() - 2;
  EXPECT_EQ(form().FrameAt({second.center().x(), number_band}), 0);
  EXPECT_EQ(form().FrameFile(2), (work() / "anim002.gif").string());
  const QImage frame = form().FrameAsItAppears(2);
  ASSERT_EQ(frame.size(), QSize(20, 20));
  EXPECT_EQ(frame.pixelColor(3, 3), QColor(0, 128, 0));
}

TEST_F(StripOfForty, AFrameSavedAsPngIsItsPictureAsItAppears) {
  form().SaveFrameAs(2, inputs_.File("two.png"));
  EXPECT_EQ(QImage(QString::fromStdString(inputs_.File("two.png"))).pixelColor(3, 3),
            QColor(0, 128, 0));
  EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(StripOfForty, AFrameDraggedOutIsNotDroppedBackOnTheStrip) {
  const QPoint over_strip = form().Strip()->mapTo(&form(), Thumbnail(2).center());
  const std::vector<std::string> file = {form().FrameFile(2)};
  EXPECT_FALSE(form().AcceptsDropAt({file, true}, over_strip));
  EXPECT_TRUE(form().AcceptsDropAt({file, false}, over_strip));
}

#if MERVANE_FRAME_FORMATS
// An animated WebP or APNG is divided as a GIF is: the same count rules and
// actions, with frame files and facts of its own format.
class FormatDrop : public Drop, public testing::WithParamInterface<FormatTest::Kind> {
 protected:
  std::string Extension() const { return FormatTest::ExtensionOf(GetParam()); }
  std::string FormatAnimation(int frames, const std::string& stem = "clip") {
    const std::string path = inputs_.File(stem + Extension());
    std::string why;
    if (!FormatTest::WriteAnimation(GetParam(), path, frames, 6, 4, &why)) ADD_FAILURE() << why;
    return path;
  }
  std::vector<std::string> Named(const std::string& stem, std::initializer_list<int> numbers,
                                 const std::string& extension) const {
    std::vector<std::string> names;
    for (const int n : numbers) names.push_back(FrameSplit::FrameFileName(stem, n, extension));
    return names;
  }
};

TEST_P(FormatDrop, TheExactCutGoesToTheWorkFolderUnderTheGifsCountRules) {
  struct Case {
    int frames;
    std::size_t drawn;
    const char* box;  // the box's first line, or none
  };
  for (const auto& [frames, drawn, box] :
       {Case{3, 9, nullptr}, Case{1, 0, nullptr}, Case{128, 0, "Divide under128images"}}) {
    SCOPED_TRACE(frames);
    boxes_.texts.clear();
    const std::string source = FormatAnimation(frames);
    DropFile(source);
    EXPECT_EQ(form().Label1->text(), box ? QString("Mervane") : QString("%1 Images").arg(frames));
    EXPECT_EQ(form().Picture1->drawing().size(), drawn);
    EXPECT_EQ(boxes_.texts.size(), box ? 1u : 0u);
    if (box) {
      EXPECT_TRUE(boxes_.texts.back().startsWith(box)) << boxes_.texts.back().toStdString();
    }
    // Each file holds the frame's exact cut, named as mervane-split names it.
    const std::vector<std::string> files = WorkFiles();
    ASSERT_EQ(files.size(), static_cast<std::size_t>(frames));
    const GifTest::Bytes bytes = GifTest::ReadBytes(source);
    const FrameFormats::FormatSource cut(FrameFormats::SniffFormat(bytes), bytes, source);
    for (const int n : {1, frames}) {
      EXPECT_EQ(files[static_cast<std::size_t>(n - 1)],
                FrameSplit::FrameFileName("clip", n, Extension()));
      EXPECT_EQ(GifTest::ReadBytes(work() / files[static_cast<std::size_t>(n - 1)]),
                cut.FrameFile(n));
    }
  }
}

TEST_P(FormatDrop, ThumbnailsShowTheFormatsFactsAsTheyAppearAndAsStored) {
  DropFile(FormatAnimation(3));
  const QPoint middle = Within(2, 0.5, 0.5);
  const QColor second(2, 254, 0x40);  // the colour the inputs give frame 2
  for (const bool stored : {false, true}) {
    SCOPED_TRACE(stored);
    form().ShowFramesAsStored(stored);
    EXPECT_EQ(StripPixel(middle), second);
    const QString tip = form().Strip()->ToolTipAt(middle);
    EXPECT_TRUE(tip.startsWith("Frame 2, 100 ms, dispose ")) << tip.toStdString();
    // An APNG's delay also as the fraction it stores.
    EXPECT_EQ(tip.contains(", delay 1/10 s"), GetParam() == FormatTest::Kind::kApng)
        << tip.toStdString();
    EXPECT_TRUE(tip.endsWith(stored ? ", as stored" : ", as it appears")) << tip.toStdString();
  }
  form().ShowFramesAsStored(false);
  EXPECT_EQ(form().FrameFile(3), (work() / ("clip003" + Extension())).string());
  EXPECT_EQ(form().FrameAsItAppears(2).pixelColor(1, 1), second);
  form().CopyFrame(2);
  EXPECT_TRUE(boxes_.texts.empty());
}

TEST_P(FormatDrop, EveryKindOfSaveWritesTheFormatsFilesAndJson) {
  DropFile(FormatAnimation(3));
  struct Case {
    MainWindow::SaveKind kind;
    std::vector<std::string> names;
    const char* said;  // in the box
  };
  const std::string ext = Extension();
  const auto with_json = [](std::vector<std::string> names) {
    names.insert(names.begin(), "clip.json");
    return names;
  };
  for (const auto& [kind, names, said] : {
           Case{MainWindow::SaveKind::kStoredGif, with_json(Named("clip", {1, 3}, ext)),
                "Saved 2 frames to "},
           Case{MainWindow::SaveKind::kPng, with_json(Named("clip", {1, 3}, ".png")),
                "Saved 2 frames to "},
           Case{MainWindow::SaveKind::kWholeFrames, with_json(Named("clip", {1, 3}, ext)),
                "Saved 2 frames to "},
           Case{MainWindow::SaveKind::kSheet,
                {"clip-sheet-2x1-6x4.json", "clip-sheet-2x1-6x4.png"},
                "to the sprite sheet"},
       }) {
    SCOPED_TRACE(static_cast<int>(kind));
    GifTest::TempDir saved;
    form().SaveFrames({1, 3}, saved.path().string(), kind);
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(GifTest::ListNames(saved.path()), expected);
    ASSERT_FALSE(boxes_.texts.empty());
    EXPECT_TRUE(boxes_.texts.back().contains(said)) << boxes_.texts.back().toStdString();
    const GifTest::Bytes json = GifTest::ReadBytes(saved.path() / names[0]);
    const std::string text(json.begin(), json.end());
    EXPECT_NE(text.find(std::string("\"format\": \"") + FormatTest::NameOf(GetParam())),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"file\": \"" + names[1] + "\""), std::string::npos) << text;
  }
  GifTest::TempDir stored;
  form().SaveFrames({3}, stored.path().string(), MainWindow::SaveKind::kStoredGif);
  EXPECT_EQ(GifTest::ReadBytes(stored.path() / ("clip003" + ext)),
            GifTest::ReadBytes(work() / ("clip003" + ext)));
}

TEST_P(FormatDrop, ABrokenFileIsRefusedNamingItsFormatAndThePreviousFramesStay) {
  DropFile(Animation(3));
  const std::size_t drawn = form().Picture1->drawing().size();
  GifTest::Bytes broken = GifTest::ReadBytes(FormatAnimation(3, "whole"));
  broken.resize(64);  // past the animation's header, short of its first frame's data
  DropFile(Put("broken" + Extension(), broken));
  ASSERT_EQ(boxes_.texts.size(), 1u);
  const std::string format = GetParam() == FormatTest::Kind::kWebp ? "animated WebP" : "APNG";
  EXPECT_TRUE(boxes_.texts[0].startsWith(QString::fromStdString(
      "Con't Divide\nThis is an " + format + ", but it cannot be divided: ")))
      << boxes_.texts[0].toStdString();
  EXPECT_EQ(WorkFiles().size(), 3u);
  EXPECT_EQ(WorkFiles().front(), "anim001.gif");
  EXPECT_EQ(form().Label1->text(), "3 Images");
  EXPECT_EQ(form().Picture1->drawing().size(), drawn);
}

TEST_F(Drop, AnApngCutShortDividesItsWholeFramesAndTheCountSaysWhereItEnds) {
  const std::string whole = inputs_.File("whole.png");
  ASSERT_TRUE(FormatTest::WriteAnimation(FormatTest::Kind::kApng, whole, 4, 6, 4));
  GifTest::Bytes cut = GifTest::ReadBytes(whole);
  cut.resize(cut.size() - 20);  // IEND, and the last frame's data end
  DropFile(Put("cut.png", cut));
  EXPECT_TRUE(boxes_.texts.empty());
  EXPECT_EQ(form().Label1->text(), "3 Images");
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"cut001.png", "cut002.png", "cut003.png"}));
  EXPECT_TRUE(form().CountLabel()->toolTip().startsWith("The file is damaged at byte "))
      << form().CountLabel()->toolTip().toStdString();
  DropFile(whole);
  EXPECT_FALSE(form().CountLabel()->toolTip().contains("damaged"));
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatDrop,
                         testing::Values(FormatTest::Kind::kWebp, FormatTest::Kind::kApng),
                         [](const testing::TestParamInfo<FormatTest::Kind>& info) {
                           return std::string(FormatTest::NameOf(info.param));
                         });
#endif

}  // namespace
