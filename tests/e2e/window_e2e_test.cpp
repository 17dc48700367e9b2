// SPDX-License-Identifier: MIT
// Starts the real mervane under an X server and looks at it from outside,
// as a user would: the work folder, the window's title and size, END; a
// hand-over while a menu is open; the save dialogs and their boxes.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "e2e/desktop.h"
#include "e2e/screen_points.h"
#include "support/gif_writer.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using GifTest::Xdotool;

int Field(const std::string& info, const std::string& name) {
  const auto at = info.find(name);
  return at == std::string::npos ? -1 : std::stoi(info.substr(at + name.size()));
}

TEST(WindowE2E, StartsBesideAFreshWorkFolderKeepsItsLayoutWhenScaledAndEndsOnEND) {
  for (const double scale : {1.0, 1.5, 2.0}) {
    SCOPED_TRACE(scale);
    GifTest::TempDir folder;
    const fs::path app = folder.path() / "My Mervane";
    const fs::path exe = GifTest::CopyMervane(app);
    const auto scaled = [&](int pixels) { return static_cast<int>(pixels * scale + 0.5); };

    ASSERT_TRUE(GifTest::WaitForXServer()) << "the X server does not answer";
    GifTest::Spawned mervane(
        {"/usr/bin/env", "QT_SCALE_FACTOR=" + std::to_string(scale), exe.string()});
    std::string window;
    ASSERT_TRUE(GifTest::PollUntil(30, [&] {
      return !(window = GifTest::FindWindow("Mervane")).empty();
    })) << "no window titled Mervane";
    EXPECT_TRUE(fs::is_directory(app / "tmp"));

    std::string info;
    ASSERT_TRUE(GifTest::PollUntil(10, [&] {
      info = GifTest::RunProcess({"/usr/bin/xwininfo", "-id", window}).out;
      return Field(info, "Width: ") == scaled(385) && Field(info, "Height: ") == scaled(174);
    })) << info;

    // Click END's middle, which scales with the window. Click again while
    // the window has not taken the first click yet.
    const GifTest::ScreenPoint end = GifTest::EndButtonPoint();
    int exit_code = -1;
    for (int attempt = 0; attempt < 20 && exit_code < 0; ++attempt) {
      GifTest::Xdotool({"mousemove", "--window", window, std::to_string(scaled(end.x)),
                        std::to_string(scaled(end.y))});
      GifTest::Xdotool({"click", "1"});
      exit_code = mervane.WaitForExit(1);
    }
    EXPECT_EQ(exit_code, 0);
  }
}

// A copy of mervane in a folder of its own, and a 3-frame GIF beside it.
class WithAFile : public ::testing::Test {
 protected:
  void SetUp() override {
    GifTest::WriteBytes(gif_, GifTest::Encode(GifTest::SolidFrames(3, 8, 8)));
    ASSERT_TRUE(GifTest::WaitForXServer()) << "the X server does not answer";
  }
  bool Divided() const { return fs::exists(folder_.path() / "app" / "tmp" / "clip003.gif"); }

  GifTest::TempDir folder_;
  const fs::path exe_ = GifTest::CopyMervane(folder_.path() / "app");
  const fs::path gif_ = folder_.path() / "clip.gif";
};

TEST_F(WithAFile, AFileNamedOnTheCommandLineIsDividedAsIfDropped) {
  GifTest::Spawned mervane({exe_.string(), gif_.string()});
  EXPECT_TRUE(GifTest::PollUntil(30, [&] { return Divided(); }));
}

TEST_F(WithAFile, ASecondStartHandsItsFileToTheWindowAlreadyOpen) {
  GifTest::Spawned first({exe_.string()});
  ASSERT_TRUE(GifTest::PollUntil(30, [] { return !GifTest::FindWindow("Mervane").empty(); }));
  for (int start = 0; start < 2; ++start) {
    // With the file, then with none: the window only comes to the front.
    std::vector<std::string> argv = {exe_.string()};
    if (start == 0) argv.push_back(gif_.string());
    GifTest::Spawned second(argv);
    EXPECT_EQ(second.WaitForExit(20), 0) << start;
  }
  EXPECT_TRUE(GifTest::PollUntil(30, [&] { return Divided(); }));
  const auto windows = GifTest::Xdotool({"search", "--onlyvisible", "--name", "^Mervane$"}).out;
  EXPECT_EQ(std::count(windows.begin(), windows.end(), '\n'), 1) << windows;
  EXPECT_EQ(first.WaitForExit(0), -1);  // still open
}

// A running mervane with a file named on its command line, driven with
// real keys and clicks.
class Driven : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GifTest::WaitForXServer()) << "the X server does not answer";
  }

  fs::path Put(const std::string& name, const GifTest::Animation& animation) {
    GifTest::WriteBytes(inputs_.path() / name, GifTest::Encode(animation));
    return inputs_.path() / name;
  }
  // Starts the window on `gif` and waits until its last frame file is there.
  void Start(const fs::path& gif, const std::string& last_frame) {
    mervane_ = std::make_unique<GifTest::Spawned>(std::vector<std::string>{exe_, gif.string()});
    ASSERT_TRUE(GifTest::PollUntil(
        30, [&] { return !(window_ = GifTest::FindWindow("Mervane")).empty(); }));
    ASSERT_TRUE(GifTest::PollUntil(30, [&] { return fs::exists(work_ / last_frame); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // the thumbnails are painted
    Placed();
  }
  // Reads where the window stands, after it was moved.
  void Placed() {
    const GifTest::WindowRect at = GifTest::GeometryOf(window_);
    origin_ = {at.x, at.y};
  }
  void Click(GifTest::ScreenPoint at, const char* button = "1") {
    Xdotool({"mousemove", std::to_string(origin_.x + at.x), std::to_string(origin_.y + at.y),
             "click", button});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  static void Keys(const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"key", "--delay", "60"};
    args.insert(args.end(), keys.begin(), keys.end());
    Xdotool(args);
  }
  // Waits for a window other than the main one and `besides` to take the
  // keyboard; returns it, or empty text.
  std::string NextDialog(const std::string& besides = {}) const {
    std::string found;
    GifTest::PollUntil(20, [&] {
      found = GifTest::FocusedWindow();
      return !found.empty() && found != window_ && found != besides &&
             !GifTest::FocusedTitle().empty();
    });
    return found == window_ || found == besides ? std::string() : found;
  }
  // True when `dialog` lies wholly on the screen.
  static bool OnScreen(const std::string& dialog) {
    std::istringstream size(Xdotool({"getdisplaygeometry"}).out);
    int width = 0, height = 0;
    size >> width >> height;
    // Qt places and sizes a box as it shows it: let it settle first.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const GifTest::WindowRect box = GifTest::GeometryOf(dialog);
    return box.width > 0 && box.x >= 0 && box.y >= 0 && box.x + box.width <= width &&
           box.y + box.height <= height;
  }
  // The text of the box that has the keyboard, as Ctrl+C copies it.
  static std::string BoxText() {
    Keys({"ctrl+c"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return GifTest::RunProcess({SCREEN_PROBE, "text"}).out;
  }
  static std::string Pixel(int x, int y) {
    std::string out =
        GifTest::RunProcess({SCREEN_PROBE, "pixel", std::to_string(x), std::to_string(y)}).out;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }

  GifTest::TempDir folder_, inputs_;
  const std::string exe_ = GifTest::CopyMervane(folder_.path() / "app").string();
  const fs::path work_ = folder_.path() / "app" / "tmp";
  std::unique_ptr<GifTest::Spawned> mervane_;
  std::string window_;
  GifTest::ScreenPoint origin_;
};

TEST_F(Driven, AFileHandedOverWhileTheMenuOfPickedFramesIsOpenClosesItAndItsPicks) {
  Start(Put("twelve.gif", GifTest::SolidFrames(12, 30, 30)), "twelve012.gif");
  Click(GifTest::ThumbnailPoint(1));
  Keys({"ctrl+a", "Menu"});  // the menu of 12 picked frames
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  GifTest::Spawned later({exe_, Put("three.gif", GifTest::SolidFrames(3, 30, 30)).string()});
  EXPECT_EQ(later.WaitForExit(20), 0);
  ASSERT_TRUE(GifTest::PollUntil(20, [&] {
    return fs::exists(work_ / "three003.gif") && !fs::exists(work_ / "twelve001.gif");
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  // What took "Save 12 frames as…" in a menu left open reaches the window.
  Keys({"Down", "Down", "Return"});
  const bool asked_for_twelve =
      GifTest::PollUntil(3, [] { return GifTest::FocusedTitle().rfind("Save 12 frames", 0) == 0; });
  EXPECT_FALSE(asked_for_twelve) << "a save of the old file's 12 picks went on";
  if (asked_for_twelve) Keys({"Escape"});
  // The picks went with their file: the menu is the marked frame's alone.
  Keys({"Menu"});
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  Keys({"Down", "Down", "Return"});
  EXPECT_TRUE(GifTest::PollUntil(20, [] {
    return GifTest::FocusedTitle() == "Save frame 1 as\u2026";
  })) << GifTest::FocusedTitle();
  Keys({"Escape"});
}

TEST_F(Driven, SavingPickedFramesSaysWhereAndWhatNamesWhatItWouldReplaceAndStaysOnScreen) {
  GifTest::Animation clip = GifTest::SolidFrames(3, 30, 30);
  clip.frames[1] = GifTest::SolidFrames(1, 10, 10).frames[0];  // a patch in a corner
  clip.frames[1].indices.assign(100, 2);
  Start(Put("clip12.gif", clip), "clip12003.gif");

  // Frame 2's file replaced by a whole red picture and frame 3's gone:
  // shown as stored, frame 2 is still its patch, on a checkerboard.
  GifTest::WriteBytes(work_ / "clip12002.gif", GifTest::Encode(GifTest::SolidFrames(1, 30, 30)));
  fs::remove(work_ / "clip12003.gif");
  const GifTest::ScreenPoint two = GifTest::ThumbnailPoint(2);
  Click(two, "3");
  Keys(
      {"Down", "Down", "Down", "Down", "Down", "Down", "Down", "Return"});  // Show frames as stored
  const auto grey = [&] {
    const std::string seen = Pixel(origin_.x + two.x + 20, origin_.y + two.y + 20);
    return seen.size() == 7 && seen.substr(1, 2) == seen.substr(3, 2) &&
           seen.substr(3, 2) == seen.substr(5, 2) && seen.substr(1, 2) >= "cc";
  };
  EXPECT_TRUE(GifTest::PollUntil(5, grey)) << Pixel(origin_.x + two.x + 20, origin_.y + two.y + 20);

  // The window pushed against the screen's left edge, partly past it.
  Xdotool({"windowmove", "--sync", window_, "-120", "200"});
  Placed();
  const fs::path saved = inputs_.path() / "saved";
  fs::create_directory(saved);
  GifTest::WriteBytes(saved / "clip12.json", GifTest::FromText("mine"));
  const auto save_three = [&](const std::string& kind_key) {
    Click(GifTest::ThumbnailPoint(3));
    Keys({"ctrl+a", "Menu"});
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Keys({"Down", "Down", "Return"});  // Save 3 frames as…
    const std::string folder_dialog = NextDialog();
    EXPECT_EQ(GifTest::FocusedTitle(), "Save 3 frames to\u2026");
    EXPECT_TRUE(OnScreen(folder_dialog)) << "the folder dialog";
    Keys({"ctrl+a"});
    Xdotool({"type", "--delay", "2", saved.string()});
    Keys({"Return"});
    const std::string kinds = NextDialog(folder_dialog);
    EXPECT_EQ(GifTest::FocusedTitle(), "Mervane");
    EXPECT_TRUE(OnScreen(kinds)) << "the kinds box";
    Keys({kind_key});
    const std::string box = NextDialog(kinds);
    EXPECT_TRUE(OnScreen(box)) << "the box after the kinds";
    return BoxText();
  };
  const std::string replace = save_three("alt+s");  // frame files as stored
  EXPECT_NE(replace.find("clip12.json is already in " + saved.string()), std::string::npos)
      << replace;
  Keys({"Escape"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(GifTest::ListNames(saved), std::vector<std::string>{"clip12.json"});
  EXPECT_EQ(GifTest::ReadBytes(saved / "clip12.json"), GifTest::FromText("mine"));

  fs::remove(saved / "clip12.json");
  const std::string done = save_three("alt+g");  // whole frames as GIF
  EXPECT_NE(done.find("Saved 3 frames to " + saved.string() + ", with clip12.json beside them"),
            std::string::npos)
      << done;
  Keys({"Return"});
  EXPECT_EQ(
      GifTest::ListNames(saved),
      (std::vector<std::string>{"clip12.json", "clip12001.gif", "clip12002.gif", "clip12003.gif"}));
}

}  // namespace
