// SPDX-License-Identifier: MIT
// Starts the real mervane under an X server and looks at it from outside,
// as a user would: the work folder, the window's title and size, END.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "e2e/desktop.h"
#include "e2e/screen_points.h"
#include "support/gif_writer.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

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

}  // namespace
