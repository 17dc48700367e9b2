// SPDX-License-Identifier: MIT
// Starts the real mervane under an X server and looks at it from outside,
// as a user would: the work folder, the window's title and size, END,
// later starts of it, at once, from other folders, or against another
// user's forgeries; a hand-over while a menu is open; the save dialogs and
// their boxes.

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
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
    // The lock goes into the cache folder, whatever the runtime folder,
    // and END leaves neither holding anything.
    const fs::path runtime = folder.path() / "run";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const fs::path cache = folder.path() / "cache";
    GifTest::Spawned mervane({"/usr/bin/env", "QT_SCALE_FACTOR=" + std::to_string(scale),
                              "XDG_RUNTIME_DIR=" + runtime.string(),
                              "XDG_CACHE_HOME=" + cache.string(), exe.string()});
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
    EXPECT_EQ(GifTest::ListNames(runtime), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_directory(cache / "mervane")) << "the lock was never in the cache folder";
    EXPECT_EQ(GifTest::ListNames(cache / "mervane"), std::vector<std::string>{});
  }
}

// The ids of the visible windows titled Mervane: the window's, and its
// boxes' and those of starts that say something.
std::vector<std::string> MervaneWindows() {
  std::istringstream lines(
      GifTest::Xdotool({"search", "--onlyvisible", "--name", "^Mervane$"}).out);
  std::vector<std::string> ids;
  for (std::string id; std::getline(lines, id);) ids.push_back(id);
  return ids;
}

// Presses Return in every box titled Mervane on the screen (any such window
// but the main one, whose size is fixed), as a person closes them.
void CloseBoxes() {
  for (const std::string& id : MervaneWindows()) {
    const std::string info = GifTest::RunProcess({"/usr/bin/xwininfo", "-id", id}).out;
    if (Field(info, "Width: ") == 385 && Field(info, "Height: ") == 174) continue;
    GifTest::Xdotool({"windowfocus", id});
    GifTest::Xdotool({"key", "--window", id, "Return"});
  }
}

// The names of the files made in (or moved into) a folder since the watch
// began, however soon they were replaced.
class FolderWatch {
 public:
  explicit FolderWatch(const fs::path& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO);
  }
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;
  ~FolderWatch() { ::close(fd_); }
  const std::set<std::string>& Seen() {
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) > 0;) {
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0) seen_.insert(event->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return seen_;
  }

 private:
  int fd_;
  std::set<std::string> seen_;
};

// A copy of mervane in a folder of its own, and a 3-frame GIF beside it.
// Its lock lives in a cache folder of the test's own.
class WithAFile : public ::testing::Test {
 protected:
  void SetUp() override {
    GifTest::WriteBytes(gif_, GifTest::Encode(GifTest::SolidFrames(3, 8, 8)));
    ASSERT_TRUE(GifTest::WaitForXServer()) << "the X server does not answer";
  }
  bool Divided() const { return fs::exists(work_ / "clip003.gif"); }
  // mervane with `args`, started in the folder `from` with `environment`
  // (-u NAME to unset one, then NAME=VALUE) besides the test's cache folder.
  std::vector<std::string> Mervane(const std::vector<std::string>& args,
                                   const fs::path& from = fs::current_path(),
                                   const std::vector<std::string>& environment = {}) const {
    std::vector<std::string> argv = {"/usr/bin/env", "-C", from.string()};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back("XDG_CACHE_HOME=" + (folder_.path() / "cache").string());
    argv.push_back(exe_.string());
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }

  GifTest::TempDir folder_;
  const fs::path exe_ = GifTest::CopyMervane(folder_.path() / "app");
  const fs::path work_ = folder_.path() / "app" / "tmp";
  const fs::path gif_ = folder_.path() / "clip.gif";
};

TEST_F(WithAFile, AFileNamedOnTheCommandLineIsDividedAsIfDropped) {
  GifTest::Spawned mervane(Mervane({gif_.string()}));
  EXPECT_TRUE(GifTest::PollUntil(30, [&] { return Divided(); }));
}

TEST_F(WithAFile, ASecondStartHandsItsFileToTheWindowAlreadyOpen) {
  GifTest::Spawned first(Mervane({}));
  ASSERT_TRUE(GifTest::PollUntil(30, [] { return !GifTest::FindWindow("Mervane").empty(); }));
  for (int start = 0; start < 2; ++start) {
    // With the file, then with none: the window only comes to the front.
    GifTest::Spawned second(
        Mervane(start == 0 ? std::vector<std::string>{gif_.string()} : std::vector<std::string>{}));
    EXPECT_EQ(second.WaitForExit(20), 0) << start;
  }
  EXPECT_TRUE(GifTest::PollUntil(30, [&] { return Divided(); }));
  const auto windows = GifTest::Xdotool({"search", "--onlyvisible", "--name", "^Mervane$"}).out;
  EXPECT_EQ(std::count(windows.begin(), windows.end(), '\n'), 1) << windows;
  EXPECT_EQ(first.WaitForExit(0), -1);  // still open
}

// "Open with" on several files starts mervane once for each, all at once,
// with or without a window already open: each start's file is divided, or
// the start says in a box that it was not and ends with a failing status.
TEST_F(WithAFile, OfSeveralStartsAtOnceEachFileIsDividedOrTheStartSaysItWasNot) {
  struct Case {
    bool window_first;
    int starts;
  };
  for (const Case c : {Case{true, 2}, Case{false, 2}, Case{true, 6}, Case{false, 6}}) {
    SCOPED_TRACE(std::to_string(c.starts) + (c.window_first ? " to an open window" : " at once"));
    fs::create_directories(work_);
    FolderWatch watch(work_);
    std::unique_ptr<GifTest::Spawned> window;
    if (c.window_first) {
      window = std::make_unique<GifTest::Spawned>(Mervane({}));
      ASSERT_TRUE(GifTest::PollUntil(30, [] { return MervaneWindows().size() == 1; }));
    }
    std::vector<std::unique_ptr<GifTest::Spawned>> starts;
    for (int i = 0; i < c.starts; ++i) {
      const fs::path gif = folder_.path() / ("g" + std::to_string(i) + ".gif");
      GifTest::WriteBytes(gif, GifTest::Encode(GifTest::SolidFrames(3, 8, 8)));
      starts.push_back(std::make_unique<GifTest::Spawned>(Mervane({gif.string()})));
    }
    // Every start but the one that became the window ends, once its box
    // (if any) is closed.
    std::vector<int> status(starts.size(), -1);
    const auto ended = [&] {
      return static_cast<int>(
          std::count_if(status.begin(), status.end(), [](int s) { return s >= 0; }));
    };
    const int to_end = c.starts - (c.window_first ? 0 : 1);
    GifTest::PollUntil(90, [&] {
      for (std::size_t i = 0; i < starts.size(); ++i) {
        if (status[i] < 0) status[i] = starts[i]->WaitForExit(0);
      }
      if (ended() < to_end) CloseBoxes();
      return ended() >= to_end;
    });
    ASSERT_EQ(ended(), to_end);
    const auto divided = [&](std::size_t i) {
      return watch.Seen().count("g" + std::to_string(i) + "001.gif") > 0;
    };
    // Taken (or the window's own) means divided, however late.
    for (std::size_t i = 0; i < starts.size(); ++i) {
      if (status[i] <= 0) {
        EXPECT_TRUE(GifTest::PollUntil(30, [&] { return divided(i); })) << i;
      }
    }
    for (std::size_t i = 0; i < starts.size(); ++i) {
      if (status[i] > 0) {
        EXPECT_EQ(status[i], 1) << i;
        EXPECT_FALSE(divided(i)) << i << " was divided, though its start said it was not";
      }
    }
    EXPECT_EQ(MervaneWindows().size(), 1u);
    starts.clear();
    window.reset();
    GifTest::PollUntil(10, [] { return MervaneWindows().empty(); });
  }
}

// The window that takes a name over reads it from its own current folder.
TEST_F(WithAFile, ARelativeNameIsHandedOverAsTheLaterStartMeantIt) {
  const fs::path first_folder = folder_.path() / "first", later_folder = folder_.path() / "later";
  fs::create_directories(first_folder);
  fs::create_directories(later_folder);
  GifTest::Spawned first(Mervane({}, first_folder));
  ASSERT_TRUE(GifTest::PollUntil(30, [] { return !GifTest::FindWindow("Mervane").empty(); }));
  // A plain name, and one whose bytes are no UTF-8 text.
  for (const std::string base : {"clip", "c\xFFlip"}) {
    SCOPED_TRACE(base);
    // The window's own folder holds another file of the same name.
    GifTest::WriteBytes(first_folder / (base + ".gif"),
                        GifTest::Encode(GifTest::SolidFrames(2, 8, 8)));
    fs::copy_file(gif_, later_folder / (base + ".gif"));
    GifTest::Spawned later(Mervane({base + ".gif"}, later_folder));
    EXPECT_EQ(later.WaitForExit(20), 0);
    EXPECT_TRUE(GifTest::PollUntil(30, [&] { return fs::exists(work_ / (base + "003.gif")); }));
  }
  // A later start whose current folder was deleted cannot say where its
  // name lies: it is refused, not read from the window's folder.
  GifTest::WriteBytes(first_folder / "gone.gif", GifTest::Encode(GifTest::SolidFrames(2, 8, 8)));
  const fs::path gone = folder_.path() / "gone";
  fs::create_directories(gone);
  const std::vector<std::string> from_gone = Mervane({"gone.gif"}, gone);
  std::vector<std::string> argv = {
      "/bin/sh", "-c",          R"(cd "$1" && rmdir "$1" && shift && exec "$@")",
      "sh",      gone.string(), "/usr/bin/env"};
  argv.insert(argv.end(), from_gone.begin() + 3, from_gone.end());  // past "env -C FOLDER"
  GifTest::Spawned lost(argv);
  int status = -1;
  GifTest::PollUntil(30, [&] {
    if ((status = lost.WaitForExit(0)) < 0) CloseBoxes();
    return status >= 0;
  });
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(GifTest::PollUntil(3, [&] { return fs::exists(work_ / "gone001.gif"); }));
}

// Another user, where the runtime folder is missing or refused and the
// temporary folder is shared, makes the folders a lock and a mailbox would
// have there, with a forged lock naming a live process called mervane, or
// a forged request to divide a file of theirs: neither has any effect.
TEST_F(WithAFile, AnotherUserCannotForgeTheLockOrARequest) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can act as another user";
  const fs::path shared = folder_.path() / "shared";
  fs::create_directories(shared);
  fs::permissions(shared, fs::perms(01777));
  // A live process called mervane, for the forged lock to name.
  fs::create_directories(folder_.path() / "fake");
  fs::copy_file("/usr/bin/sleep", folder_.path() / "fake" / "mervane");
  GifTest::Spawned fake({(folder_.path() / "fake" / "mervane").string(), "600"});
  const std::string hash =
      QCryptographicHash::hash(
          QByteArray::fromStdString(fs::canonical(work_.parent_path()).string() + "/tmp"),
          QCryptographicHash::Sha256)
          .toHex()
          .left(16)
          .toStdString();
  const std::string host = GifTest::RunProcess({"/usr/bin/hostname"}).out;
  const std::vector<std::string> mailboxes = {"mervane-" + hash, "mervane-window-" + hash};
  const auto as_nobody = [&](std::string script) {
    script = "set -e; cd " + shared.string() + "; " + script;
    return GifTest::RunProcess({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                "--clear-groups", "/bin/sh", "-c", script})
               .exit_code == 0;
  };
  for (const bool forged_lock : {true, false}) {
    SCOPED_TRACE(forged_lock ? "a forged lock" : "a forged request");
    fs::remove_all(work_);
    fs::create_directories(work_);
    FolderWatch watch(work_);
    // The runtime folder Qt would make, refused for its owner, and every
    // mailbox name the window might use, open to all.
    std::string script = "rm -rf ./*; mkdir -m 700 runtime-root; printf 'GIF' > evil.gif";
    for (const std::string& name : mailboxes) {
      script += "; mkdir -m 777 " + name;
      if (forged_lock) {
        script += "; printf '%s\nmervane\n%s' " + std::to_string(fake.Pid()) + " '" + host +
                  "' > " + name + "/owner.lock";
      }
    }
    ASSERT_TRUE(as_nobody(script));
    GifTest::WriteBytes(shared / "evil.gif", GifTest::Encode(GifTest::SolidFrames(2, 8, 8)));

    GifTest::Spawned window(Mervane({gif_.string()}, fs::current_path(),
                                    {"-u", "XDG_RUNTIME_DIR", "TMPDIR=" + shared.string()}));
    EXPECT_TRUE(GifTest::PollUntil(30, [] { return MervaneWindows().size() == 1; })) << "no window";
    EXPECT_TRUE(GifTest::PollUntil(30, [&] { return Divided(); }));
    if (!forged_lock) {
      // Once the window is idle: a request to divide the other user's file.
      script = "true";
      for (const std::string& name : mailboxes) {
        script += "; printf '" + (shared / "evil.gif").string() + "' > " + name + "/request-1";
      }
      ASSERT_TRUE(as_nobody(script));
    }
    // Many times the owner's poll.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(watch.Seen().count("evil001.gif"), 0u);
    EXPECT_TRUE(Divided());
    EXPECT_EQ(window.WaitForExit(0), -1);
  }
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
  // Types `name` into the dialog's name field and reads it back through
  // the clipboard: a slow dialog still filling its folder view may drop
  // keys typed while it does. True once the field holds `name`.
  static bool TypeName(const std::string& name) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300 + 700 * attempt));
      Keys({"ctrl+a"});
      Xdotool({"type", "--delay", "10", name});
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      std::string typed = BoxText(true);
      while (!typed.empty() && typed.back() == '\n') typed.pop_back();
      if (typed == name) return true;
    }
    return false;
  }
  // The text of the box that has the keyboard, as Ctrl+C copies it; with
  // `all`, of the whole field that has it.
  static std::string BoxText(bool all = false) {
    if (all) Keys({"ctrl+a"});
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
  const GifTest::ScreenPoint away = GifTest::ThumbnailPoint(2, 0.25, 0.75);  // below the patch
  const auto grey = [&] {
    const std::string seen = Pixel(origin_.x + away.x, origin_.y + away.y);
    return seen.size() == 7 && seen.substr(1, 2) == seen.substr(3, 2) &&
           seen.substr(3, 2) == seen.substr(5, 2) && seen.substr(1, 2) >= "cc";
  };
  EXPECT_TRUE(GifTest::PollUntil(5, grey)) << Pixel(origin_.x + away.x, origin_.y + away.y);

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
    EXPECT_TRUE(TypeName(saved.string())) << "the folder's name did not arrive whole";
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
