// SPDX-License-Identifier: MIT
#include "toolkit/file_ops.h"
#include "toolkit/file_ops_internal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "support/gif_writer.h"
#include "support/special_files.h"
#include "support/temp_dir.h"
#include "toolkit/platform_error.h"

namespace {

namespace fs = std::filesystem;
using GifTest::Bytes;

template <typename Operation>
Toolkit::PlatformError FailureOf(Operation operation) {
  try {
    operation();
  } catch (const Toolkit::PlatformError& error) {
    return error;
  }
  ADD_FAILURE() << "no failure";
  return Toolkit::PlatformError("", "", "", Toolkit::FailureKind::kUnusable);
}

TEST(FileOps, WholeFileReadAndPieceWriteRoundTrip) {
  GifTest::TempDir dir;
  const std::string path = dir.File("with space \xC3\xA9.bin");
  const Bytes a = {1, 2, 3}, b = {4}, c = {};
  GifTest::WriteBytes(fs::u8path(path), Bytes(1000, 9));  // older and longer
  Toolkit::WriteFileInPieces(path, a, b, c);
  EXPECT_EQ(Toolkit::ReadWholeFile(path), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(Toolkit::FileLen(path), 4);
}

TEST(FileOps, NamesAsLongAsTheFileSystemTakesAreWrittenInPiecesAndReadInPieces) {
  GifTest::TempDir dir;
  const std::string longest = dir.File(std::string(251, 'n') + ".gif");  // 255 bytes
  EXPECT_TRUE(Toolkit::NameFits(longest));
  EXPECT_FALSE(Toolkit::NameFits(longest + "x"));
  const Bytes big(Toolkit::kReadPiece * 2 + 3, 7);
  Toolkit::WriteFileInPieces(longest, big, {}, {});
  int pieces = 0;
  EXPECT_EQ(Toolkit::ReadWholeFile(longest, [&] { ++pieces; }), big);
  EXPECT_EQ(pieces, 3);
  EXPECT_EQ(GifTest::ListNames(dir.path()).size(), 1u);  // nothing left beside it
}

TEST(FileOps, FailuresNameTheOperationThePathAndTheReason) {
  GifTest::TempDir dir;
  GifTest::WriteBytes(dir.path() / "empty", {});
  const std::string missing = dir.File("missing.gif");

  const auto not_found = FailureOf([&] { Toolkit::ReadWholeFile(missing); });
  EXPECT_EQ(not_found.path(), missing);
  EXPECT_EQ(not_found.kind(), Toolkit::FailureKind::kNotFound);
  EXPECT_EQ(std::string(not_found.what()),
            "Cannot get the length of " + missing + ": No such file or directory");

  EXPECT_EQ(FailureOf([&] { Toolkit::ReadWholeFile(dir.File("empty")); }).reason(),
            "file is empty");
  EXPECT_EQ(FailureOf([&] { Toolkit::FileLen(dir.Text()); }).operation(), "get the length of");
  const auto no_folder =
      FailureOf([&] { Toolkit::WriteFileInPieces(dir.File("no/such/folder.gif"), {}, {}, {}); });
  EXPECT_EQ(no_folder.operation(), "create");
  if (GifTest::MakeFifo(dir.File("pipe"))) {
    EXPECT_EQ(FailureOf([&] { Toolkit::ReadWholeFile(dir.File("pipe")); }).reason(),
              "not a regular file");
  }
}

// The C++ library of the Windows build makes no links; those tests run here only.
bool Link(const fs::path& target, const fs::path& link) {
  std::error_code code;
  fs::create_symlink(target, link, code);
  return !code;
}

TEST(FileOps, DirFindsFilesAlwaysAndFoldersOnlyWithMask16) {
  GifTest::TempDir dir;
  fs::create_directory(dir.path() / "tmp");
  GifTest::WriteBytes(dir.path() / "a.gif", {1});
  struct Case {
    std::string path;
    int mask;
    std::string expected;
  };
  const Case cases[] = {
      {dir.File("a.gif"), 0, "a.gif"},
      {dir.File("a.gif"), 16, "a.gif"},
      {dir.File("tmp"), 0, ""},
      {dir.File("tmp"), 16, "tmp"},
      {dir.File("tmp") + "/", 16, "tmp"},
      {dir.File("missing"), 16, ""},
      {"", 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Toolkit::Dir(c.path, c.mask), c.expected) << c.path;
}

TEST(FileOps, MkDirMakesOneNewFolderOnly) {
  GifTest::TempDir dir;
  Toolkit::MkDir(dir.File("tmp"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "tmp"));
  GifTest::WriteBytes(dir.path() / "file", {1});
  for (const std::string& path : {dir.File("tmp"), dir.File("file"), dir.File("a/b")}) {
    EXPECT_EQ(FailureOf([&] { Toolkit::MkDir(path); }).path(), path);
  }
}

TEST(FileOps, AFrameNameHoldsAWholeFileOrNothing) {
  GifTest::TempDir dir;
  fs::create_directory(dir.path() / "folder.gif");
  const bool fifo = GifTest::MakeFifo(dir.File("pipe.gif"));
  struct Case {
    std::string name, reason;
  };
  std::vector<Case> cases = {{"folder.gif", "a folder stands at that name"}};
  if (fifo) cases.push_back({"pipe.gif", "a special file stands at that name"});
  for (const Case& c : cases) {
    EXPECT_EQ(
        FailureOf([&] { Toolkit::WriteFileInPieces(dir.File(c.name), Bytes{1}, {}, {}); }).reason(),
        c.reason);
  }
  // A write that fails part way, as on a full disk, leaves the old file as
  // it was, and a new name free.
  GifTest::WriteBytes(dir.path() / "old.gif", {5});
  const Bytes big(4096, 1);
  for (const char* name : {"old.gif", "new.gif"}) {
    std::string reason;
    if (GifTest::WithFileSizeLimit(1000, [&] {
          reason =
              FailureOf([&] { Toolkit::WriteFileInPieces(dir.File(name), big, {}, {}); }).reason();
        })) {
      EXPECT_FALSE(reason.empty()) << name;
    }
  }
  EXPECT_EQ(GifTest::ReadBytes(dir.path() / "old.gif"), Bytes{5});
  std::vector<std::string> expected = {"folder.gif", "old.gif"};
  if (fifo) expected.push_back("pipe.gif");
  EXPECT_EQ(GifTest::ListNames(dir.path()), expected);  // no half-written file anywhere
}

TEST(FileOps, KillEveryFileDeletesFilesAndLinksButNotFoldersOrTargets) {
  GifTest::TempDir outside, work;
  GifTest::WriteBytes(outside.path() / "keep.gif", {7});
  GifTest::WriteBytes(work.path() / "a.gif", {1});
  GifTest::WriteBytes(work.path() / "no extension", {1});
  fs::create_directory(work.path() / "sub");
  GifTest::WriteBytes(work.path() / "sub" / "inner.gif", {1});
  Link(outside.path() / "keep.gif", work.path() / "link.gif");
  GifTest::MakeFifo(work.File("pipe001.gif"));  // would block the next drop's open

  GifTest::WriteBytes(work.path() / "mine.gif", {2});  // the user's own, dropped from here
  Toolkit::KillEveryFile(work.Text(), {work.File("sub/../mine.gif")});
  EXPECT_EQ(GifTest::ListNames(work.path()), (std::vector<std::string>{"mine.gif", "sub"}));
  fs::remove(work.path() / "mine.gif");
  EXPECT_TRUE(fs::exists(work.path() / "sub" / "inner.gif"));
  EXPECT_EQ(GifTest::ReadBytes(outside.path() / "keep.gif"), Bytes{7});

  // Nothing left to delete, or no folder at all, is a failure the caller may catch.
  EXPECT_EQ(FailureOf([&] { Toolkit::KillEveryFile(work.Text()); }).reason(), "no file found");
  FailureOf([&] { Toolkit::KillEveryFile(work.File("missing")); });
}

TEST(FileOps, LinksAreNeverFollowedOutOfTheFolder) {
  GifTest::TempDir outside, work;
  GifTest::WriteBytes(outside.path() / "victim.txt", {7});
  if (!Link(outside.path() / "victim.txt", work.path() / "x002.gif")) GTEST_SKIP();
  fs::create_symlink(outside.path() / "new.gif", work.path() / "x003.gif");  // dangling
  fs::create_symlink(outside.path(), work.path() / "tmp");

  for (const char* name : {"x002.gif", "x003.gif"}) {
    const auto refused =
        FailureOf([&] { Toolkit::WriteFileInPieces(work.File(name), {}, {}, {}); });
    EXPECT_EQ(refused.reason(), "a symbolic link stands at that name");
  }
  EXPECT_EQ(FailureOf([&] { Toolkit::KillEveryFile(work.File("tmp")); }).reason(),
            "it is a symbolic link, not a folder");
  EXPECT_EQ(GifTest::ListNames(outside.path()), std::vector<std::string>{"victim.txt"});
  EXPECT_EQ(GifTest::ReadBytes(outside.path() / "victim.txt"), Bytes{7});

  EXPECT_TRUE(Toolkit::SameFile(work.File("x002.gif"), outside.File("victim.txt")));
  EXPECT_FALSE(Toolkit::SameFile(work.File("x003.gif"), outside.File("victim.txt")));
}

TEST(FileOps, FilesLargerThanOneWriteArriveWhole) {
  GifTest::TempDir dir;
  const std::string path = dir.File("large.bin");
  // The second piece crosses the end of the first write, the third that of the second.
  const Bytes a(Toolkit::Internal::kWritePiece - 1, 1), b(2, 2),
      c(Toolkit::Internal::kWritePiece + 3, 3);
  Toolkit::WriteFileInPieces(path, a, b, c);
  Bytes whole = a;
  whole.insert(whole.end(), b.begin(), b.end());
  whole.insert(whole.end(), c.begin(), c.end());
  EXPECT_TRUE(Toolkit::ReadWholeFile(path) == whole);
}

// A program that ends while files are written: what was being written goes,
// and no file is made after. Ending is for good, so it ends a process of
// its own, which says by its status what it found.
TEST(FileOps, AProgramEndedMidWriteLeavesNoPartOfAFileAndMakesNoMore) {
  GifTest::TempDir dir;
  const auto make = [&](const std::string& name) {
    return [&dir, name] {
      GifTest::WriteBytes(dir.path() / name, {1});
      return true;
    };
  };
  EXPECT_EXIT(
      {
        {
          Toolkit::Internal::UnfinishedFile kept;
          kept.Create(dir.File("kept"), make("kept"));
          kept.Keep();
        }
        Toolkit::Internal::UnfinishedFile writing;
        writing.Create(dir.File("writing"), make("writing"));
        Toolkit::RemoveUnfinishedFiles();
        const Toolkit::PlatformError refused =
            FailureOf([&] { Toolkit::WriteFileInPieces(dir.File("later"), Bytes{1}, {}, {}); });
        std::fprintf(stderr, "%s\n", refused.what());
        const bool left_alone = GifTest::ListNames(dir.path()) == std::vector<std::string>{"kept"};
        std::_Exit(left_alone ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "create .*later.*: the program is ending");
}

#if !defined(_WIN32)
// Another user's file in a shared sticky folder cannot be renamed over:
// found before the first file is written, not after frames 1 and 2.
TEST(FileOps, AnotherUsersFileInAStickyFolderIsRefusedBeforeAnythingIsWritten) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can act as another user";
  GifTest::TempDir dir;
  const fs::path shared = dir.path() / "shared";
  fs::create_directory(shared);
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  GifTest::WriteBytes(shared / "p002.gif", {1});  // root's
  const std::vector<std::string> names = {(shared / "p001.gif").string(),
                                          (shared / "p003.gif").string(),
                                          (shared / "p002.gif").string()};
  EXPECT_EXIT(
      {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) std::_Exit(2);
        GifTest::WriteBytes(shared / "p003.gif", {2});  // nobody's own: replaceable
        std::fprintf(stderr, "%s\n",
                     FailureOf([&] { Toolkit::RequireFreeNames(names, {}); }).what());
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "p002.gif: it belongs to another user");
}
#endif

TEST(FileOps, AppPathIsTheFolderOfTheRunningExecutable) {
  const std::string folder = Toolkit::AppPath();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), Toolkit::PathSeparator().back());
  const fs::path here = fs::u8path(folder);
  EXPECT_TRUE(fs::exists(here / "file_ops_test") || fs::exists(here / "file_ops_test.exe"));
}

}  // namespace
