// SPDX-License-Identifier: MIT
// A real XDND drop onto the running mervane: a drag source in another
// process, the mouse moved by xdotool from it onto the strip.

#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/desktop.h"
#include "frame_split/frame_split.h"
#include "support/gif_writer.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

using GifTest::FindWindow;
using GifTest::Xdotool;

class DropE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = folder_.path() / "app";
    const fs::path exe = GifTest::CopyMervane(app_);
    ASSERT_TRUE(GifTest::WaitForXServer()) << "the X server does not answer";
    mervane_ = std::make_unique<GifTest::Spawned>(std::vector<std::string>{exe.string()});
    ASSERT_TRUE(GifTest::PollUntil(30, [&] { return !(window_ = FindWindow("Mervane")).empty(); }));
  }

  // Drags `file` from the source window onto the strip and lets go.
  void DragOntoStrip(const fs::path& file) {
    GifTest::Spawned source({DRAG_SOURCE, file.string()});
    std::string source_window;
    ASSERT_TRUE(GifTest::PollUntil(
        30, [&] { return !(source_window = FindWindow("DragSource")).empty(); }));
    // A press that comes before the source takes input starts no drag: the
    // source then keeps running, and the gesture is made again.
    for (int attempt = 0; attempt < 10; ++attempt) {
      Xdotool({"mousemove", "660", "460"});
      Xdotool({"mousedown", "1"});
      // Move in steps, as a hand does, so that every step is an XDND position.
      for (int step = 1; step <= 20; ++step) {
        Xdotool({"mousemove", std::to_string(660 - step * 28), std::to_string(460 - step * 20)});
      }
      Xdotool({"mousemove", "100", "50"});
      Xdotool({"mousemove", "102", "52"});
      Xdotool({"mouseup", "1"});
      if (source.WaitForExit(3) >= 0) return;
    }
    ADD_FAILURE() << "the drag source never started a drag";
  }

  GifTest::TempDir folder_, inputs_;
  fs::path app_;
  std::unique_ptr<GifTest::Spawned> mervane_;
  std::string window_;
};

TEST_F(DropE2E, ADroppedAnimationIsDividedIntoTheWorkFolderByteForByte) {
  const fs::path gif = inputs_.path() / "walk.gif";
  GifTest::WriteBytes(gif, GifTest::Encode(GifTest::SolidFrames(3, 30, 20)));
  GifTest::TempDir expected;
  FrameSplit::NoProgress quiet;
  FrameSplit::SplitAnimation(gif.string(), expected.File("walk"), quiet);
  const fs::path work = app_ / "tmp";
  // The last frame file exists from its creation on, before its bytes are
  // written: wait for all of them.
  const auto last_frame_written = [&] {
    std::error_code missing;
    return fs::file_size(work / "walk003.gif", missing) ==
           fs::file_size(expected.path() / "walk003.gif");
  };
  // On a loaded machine the source may give up on a drop the window has not
  // answered yet: drag again then.
  for (int attempt = 0; attempt < 3 && !fs::exists(work / "walk003.gif"); ++attempt) {
    DragOntoStrip(gif);
    GifTest::PollUntil(10, last_frame_written);
  }
  ASSERT_TRUE(fs::exists(work / "walk003.gif")) << "no frame files appeared";
  GifTest::PollUntil(10, last_frame_written);
  EXPECT_EQ(GifTest::ListNames(work), GifTest::ListNames(expected.path()));
  for (const auto& name : GifTest::ListNames(expected.path())) {
    EXPECT_EQ(GifTest::ReadBytes(work / name), GifTest::ReadBytes(expected.path() / name)) << name;
  }
  EXPECT_EQ(GifTest::ReadBytes(gif), GifTest::Encode(GifTest::SolidFrames(3, 30, 20)));
}

TEST_F(DropE2E, AFileThatCannotBeDividedEndsInAMessageBox) {
  const fs::path text = inputs_.path() / "notes.gif";
  GifTest::WriteBytes(text, GifTest::FromText("not a picture"));
  DragOntoStrip(text);
  // The box carries the program's name as its title, beside the main window.
  EXPECT_TRUE(GifTest::PollUntil(30, [&] {
    const auto found = Xdotool({"search", "--onlyvisible", "--name", "^Mervane$"});
    return std::count(found.out.begin(), found.out.end(), '\n') >= 2;
  }));
}

}  // namespace
