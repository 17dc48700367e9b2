// SPDX-License-Identifier: MIT
#include "toolkit/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <memory>
#include <thread>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

TEST(SingleInstance, TheFirstStartOwnsItsKeyAndAnswersTheLaterOnes) {
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
  std::optional<std::string> answer;
  std::atomic<bool> answered = false;
  std::thread asking([&] {
    answer = later.HandOver("a b \xE3\x82\xA2.gif", 20s);
    answered = true;
  });
  EXPECT_TRUE(GifTest::PollUntil(20, [&] {
    QCoreApplication::processEvents();
    return answered.load();
  }));
  asking.join();
  EXPECT_EQ(answer, "took a b \xE3\x82\xA2.gif");
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

}  // namespace
