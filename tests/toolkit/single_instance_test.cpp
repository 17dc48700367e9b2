// SPDX-License-Identifier: MIT
#include "toolkit/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "support/process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Hands `request` over from another thread while this one runs the owner's
// events; returns the answer.
std::optional<std::string> AskWhileListening(Toolkit::SingleInstance& later,
                                             const std::string& request) {
  std::optional<std::string> answer;
  std::atomic<bool> answered = false;
  std::thread asking([&] {
    answer = later.HandOver(request, 20s);
    answered = true;
  });
  GifTest::PollUntil(40, [&] {
    QCoreApplication::processEvents();
    return answered.load();
  });
  asking.join();
  return answer;
}

TEST(SingleInstance, TheFirstStartOwnsItsKeyAndAnswersTheLaterOnes) {
  const GifTest::ScopedEnv no_runtime_folder("XDG_RUNTIME_DIR", "");
  GifTest::TempDir folder;
  auto owner = std::make_unique<Toolkit::SingleInstance>("work A", folder.Text());
  Toolkit::SingleInstance later("work A", folder.Text());
  Toolkit::SingleInstance elsewhere("work B", folder.Text());
  EXPECT_TRUE(owner->Owns());
  EXPECT_FALSE(later.Owns());
  EXPECT_TRUE(elsewhere.Owns());

  std::vector<std::string> heard;
  owner->Listen([&](const std::string& request) {
    heard.push_back(request);
    return "took " + request;
  });
  EXPECT_EQ(AskWhileListening(later, "a b \xE3\x82\xA2.gif"), "took a b \xE3\x82\xA2.gif");
  EXPECT_EQ(heard, std::vector<std::string>{"a b \xE3\x82\xA2.gif"});

  // An owner that never answers leaves the later start without an answer.
  EXPECT_EQ(Toolkit::SingleInstance("work B", folder.Text()).HandOver("x", 300ms), std::nullopt);
  // Once the owner is gone, the next start owns the key.
  owner.reset();
  EXPECT_TRUE(Toolkit::SingleInstance("work A", folder.Text()).Owns());
  // An owner leaves nothing behind.
  const std::vector<std::string> before = GifTest::ListNames(folder.path());
  EXPECT_TRUE(Toolkit::SingleInstance("work C", folder.Text()).Owns());
  EXPECT_EQ(GifTest::ListNames(folder.path()), before);
}

#if !defined(_WIN32)

constexpr uid_t kNobody = 65534;

// Folders another user could reach, as the lock's own folder: none is
// used, and nothing is made in them; the program's own folder is closed to
// others when it is the user's. The session's runtime folder is never used,
// even when it is the user's own.
TEST(SingleInstance, AFolderOthersCanReachIsNeverUsed) {
  struct Case {
    const char* what;
    fs::perms mode;
    bool link;
    bool nobodys;
    bool refused;
  };
  const Case cases[] = {
      {"0700", fs::perms::owner_all, false, false, false},
      {"0755", fs::perms(0755), false, false, false},
      {"group-writable", fs::perms(0770), false, false, false},
      {"world-writable, sticky", fs::perms(01777), false, false, false},
      {"a link to a 0700 folder", fs::perms::owner_all, true, false, true},
      {"another user's 0700", fs::perms::owner_all, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.nobodys && ::geteuid() != 0) continue;  // only root can give a folder away
    GifTest::TempDir root;
    const fs::path real = root.path() / "real";
    fs::create_directory(real);
    fs::permissions(real, c.mode);
    if (c.nobodys) {
      ASSERT_EQ(::chown(real.c_str(), kNobody, kNobody), 0);
    }
    const fs::path place = c.link ? root.path() / "link" : real;
    if (c.link) fs::create_directory_symlink(real, place);
    const fs::path own = root.path() / "own";

    {
      const GifTest::ScopedEnv no_runtime_folder("XDG_RUNTIME_DIR", "");
      const Toolkit::SingleInstance instance("work", place.string());
      EXPECT_EQ(instance.Refusal().has_value(), c.refused);
      EXPECT_EQ(instance.Owns(), !c.refused);
      if (c.refused) {
        EXPECT_EQ(instance.Refusal()->path(), place.string());
        EXPECT_TRUE(GifTest::ListNames(real).empty());
      } else {
        const fs::perms others_write = fs::perms::group_write | fs::perms::others_write;
        EXPECT_EQ(fs::status(real).permissions() & others_write, fs::perms::none);
      }
    }
    {
      const GifTest::ScopedEnv runtime_folder("XDG_RUNTIME_DIR", place.c_str());
      const Toolkit::SingleInstance instance("work", own.string());
      EXPECT_TRUE(instance.Owns());
      EXPECT_TRUE(GifTest::ListNames(real).empty());
      EXPECT_TRUE(fs::exists(own));
    }
  }
}

// A request of another user's, or a link, in the owner's mailbox is deleted
// unread; the owner's own requests are still answered.
TEST(SingleInstance, ARequestThatIsNotTheUsersOwnIsNeverActedOn) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user's";
  const GifTest::ScopedEnv no_runtime_folder("XDG_RUNTIME_DIR", "");
  GifTest::TempDir folder;
  Toolkit::SingleInstance owner("work", folder.Text());
  ASSERT_TRUE(owner.Owns());
  const std::vector<std::string> names = GifTest::ListNames(folder.path());
  ASSERT_EQ(names.size(), 1u);
  const fs::path mailbox = folder.path() / names.front();
  EXPECT_EQ(fs::status(mailbox).permissions(), fs::perms::owner_all);

  GifTest::WriteBytes(folder.path() / "mine", {'x'});
  GifTest::WriteBytes(mailbox / "request-1", {'e', 'v', 'i', 'l'});
  ASSERT_EQ(::chown((mailbox / "request-1").c_str(), kNobody, kNobody), 0);
  fs::create_symlink(folder.path() / "mine", mailbox / "request-2");
  std::vector<std::string> heard;
  owner.Listen([&](const std::string& request) {
    heard.push_back(request);
    return std::string("taken");
  });
  Toolkit::SingleInstance later("work", folder.Text());
  EXPECT_EQ(AskWhileListening(later, "own.gif"), "taken");
  EXPECT_EQ(heard, std::vector<std::string>{"own.gif"});
  EXPECT_FALSE(fs::exists(fs::symlink_status(mailbox / "request-1")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(mailbox / "request-2")));
  EXPECT_TRUE(fs::exists(folder.path() / "mine"));
}

#endif

}  // namespace
