// SPDX-License-Identifier: MIT
// Saving frames without the window: the files each kind writes, the text
// that says so, the dropped file kept, and the save dialog's path rule.

#include <gtest/gtest.h>
#include <QDir>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "main_window/frame_saving.h"
#include "main_window/workflow_constants.h"
#include "support/gif_writer.h"
#if MERVANE_FRAME_FORMATS
#include "support/format_inputs.h"
#endif
#include "support/temp_dir.h"
#include "toolkit/platform_error.h"
#include "toolkit/progress.h"

namespace {

using MainWindow::SaveKind;

// Saving from `bytes`, as if dropped as `source` and named `base`.
MainWindow::FrameSaving SavingOf(const GifTest::Bytes& bytes, const std::string& source,
                                 const std::string& base = "clip") {
  auto shared = std::make_shared<const std::vector<std::uint8_t>>(bytes);
  FrameCompose::ComposeOptions options;
  options.largest_canvas_bytes = MainWindow::kLargestSavedCanvas;
  const auto animation = MainWindow::DroppedAnimation::Read(source, shared).animation;
  return MainWindow::FrameSaving({source, base, animation, animation->Survey(options)});
}

std::vector<std::string> NamesOf(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  for (const auto& path : paths) names.push_back(std::filesystem::path(path).filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Each source format: its bytes, the extension of its frame files (stored
// and whole), the first bytes of a whole frame's file and of its JSON.
struct Source {
  const char* name;
  GifTest::Bytes bytes;
  std::string extension, whole_starts, json_starts;
};

std::string Start(const std::filesystem::path& path, std::size_t size) {
  const GifTest::Bytes bytes = GifTest::ReadBytes(path);
  return std::string(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
}

std::vector<Source> Sources() {
  std::vector<Source> sources = {
      {"GIF", GifTest::Encode(GifTest::SolidFrames(3, 4, 4)), ".gif", "GIF89a", "{\"frames\": ["}};
#if MERVANE_FRAME_FORMATS
  for (const auto kind : {FormatTest::Kind::kWebp, FormatTest::Kind::kApng}) {
    GifTest::TempDir dir;
    const std::string path = dir.File("in");
    if (!FormatTest::WriteAnimation(kind, path, 3, 4, 4)) continue;  // no img2webp
    // A WebP's whole frames are lossless WebPs (RIFF, then VP8L).
    const bool webp = kind == FormatTest::Kind::kWebp;
    sources.push_back({FormatTest::NameOf(kind), GifTest::ReadBytes(path),
                       FormatTest::ExtensionOf(kind), webp ? "RIFF" : "\x89PNG",
                       std::string("{\"format\": \"") + FormatTest::NameOf(kind) + "\""});
  }
#endif
  return sources;
}

TEST(FrameSaving, EachKindWritesTheFilesItNamesAndSaysSo) {
  for (const Source& source : Sources()) {
    SCOPED_TRACE(source.name);
    const auto saving = SavingOf(source.bytes, "/in/clip" + source.extension);
    struct Case {
      SaveKind kind;
      std::vector<std::string> names;  // the JSON first
      const char* text;                // %1: the folder
    };
    const auto frames = [](const std::string& extension) {
      return std::vector<std::string>{"clip.json", "clip001" + extension, "clip003" + extension};
    };
    for (const auto& [kind, names, text] : {
             Case{SaveKind::kStoredGif, frames(source.extension),
                  "Saved 2 frames to %1, with clip.json beside them."},
             Case{SaveKind::kWholeFrames, frames(source.extension),
                  "Saved 2 frames to %1, with clip.json beside them."},
             Case{SaveKind::kPng, frames(".png"),
                  "Saved 2 frames to %1, with clip.json beside them."},
             Case{SaveKind::kSheet,
                  {"clip-sheet-2x1-4x4.json", "clip-sheet-2x1-4x4.png"},
                  "Saved 2 frames to the sprite sheet %1/clip-sheet-2x1-4x4.png, with "
                  "clip-sheet-2x1-4x4.json beside it."},
         }) {
      GifTest::TempDir folder;
      Toolkit::NoProgress quiet;
      const QString said = saving.Save({1, 3}, folder.Text(), kind, quiet);
      // The folder as a box shows it: in the system's own separators.
      const QString folder_text = QString::fromStdString(folder.Text());
      const QString saved = QDir::toNativeSeparators(QString(text).arg(folder_text));
      EXPECT_EQ(said, saved) << said.toStdString();
      EXPECT_EQ(GifTest::ListNames(folder.path()), names);
      // The JSON tells the source's own facts, a sheet's too.
      EXPECT_EQ(Start(folder.path() / names[0], source.json_starts.size()), source.json_starts);
      if (kind == SaveKind::kWholeFrames) {
        EXPECT_EQ(Start(folder.path() / names[1], source.whole_starts.size()), source.whole_starts);
      }
      // What the replace question asks about is what was written.
      EXPECT_EQ(NamesOf(saving.SavedNames({1, 3}, folder.Text(), kind)), names);
    }
  }
}

TEST(FrameSaving, WholeFramesInTheSourcesFormatAreOfferedWhereTheyCanBeWritten) {
  for (const Source& source : Sources()) {
    const auto animation =
        MainWindow::DroppedAnimation::Read("clip" + source.extension,
                                           std::make_shared<const GifTest::Bytes>(source.bytes))
            .animation;
    EXPECT_EQ(animation->HasOwnWholeFrames(), source.extension != ".png") << source.name;
  }
#if MERVANE_FRAME_FORMATS
  // A WebP canvas wider than a WebP still may be.
  GifTest::TempDir dir;
  if (!FormatTest::WriteSparseWebp(dir.File("wide.webp"), 2, 20000, 8)) GTEST_SKIP();
  EXPECT_FALSE(MainWindow::DroppedAnimation::Read(dir.File("wide.webp"),
                                                  std::make_shared<const GifTest::Bytes>(
                                                      GifTest::ReadBytes(dir.File("wide.webp"))))
                   .animation->HasOwnWholeFrames());
#endif
}

TEST(FrameSaving, ASheetPastTheBudgetIsRefusedBeforeAnyFrameIsComposed) {
  const auto saving = SavingOf(GifTest::ConstantFrames(2, 8192, 8192, 8192, 8192), "/in/big.gif");
  GifTest::TempDir folder;
  Toolkit::NoProgress quiet;
  EXPECT_EQ(saving.Save({1, 2}, folder.Text(), SaveKind::kSheet, quiet),
            "Cannot save frames to " +
                QDir::toNativeSeparators(QString::fromStdString(folder.Text())) +
                ": 2 frames of 8192 x 8192 are 134217728 pixels to write, more than the limit "
                "of 67108864; nothing written");
  EXPECT_TRUE(GifTest::ListNames(folder.path()).empty());
}

TEST(FrameSaving, TheDroppedFileIsNeverWrittenOverAndNothingElseIsWritten) {
  GifTest::TempDir folder;
  const GifTest::Bytes bytes = GifTest::Encode(GifTest::SolidFrames(2, 4, 4));
  GifTest::WriteBytes(folder.path() / "clip002.gif", bytes);  // dropped as this, named "clip"
  const auto saving = SavingOf(bytes, folder.File("clip002.gif"));
  for (const SaveKind kind : {SaveKind::kStoredGif, SaveKind::kWholeFrames}) {
    Toolkit::NoProgress quiet;
    EXPECT_THROW(saving.Save({1, 2}, folder.Text(), kind, quiet), Toolkit::PlatformError);
    EXPECT_EQ(GifTest::ListNames(folder.path()), std::vector<std::string>{"clip002.gif"});
    EXPECT_EQ(GifTest::ReadBytes(folder.path() / "clip002.gif"), bytes);
  }
}

TEST(FrameSaving, OneFrameIsAGifWhenItsNameSaysSoElseAPng) {
  const auto saving = SavingOf(GifTest::Encode(GifTest::SolidFrames(2, 4, 4)), "/in/clip.gif");
  // A WebP's frame named .webp is a WebP.
  for (const Source& source : Sources()) {
    if (source.extension != ".webp") continue;
    GifTest::TempDir folder;
    Toolkit::NoProgress quiet;
    ASSERT_TRUE(
        SavingOf(source.bytes, "/in/clip.webp").SaveFrameAs(2, folder.File("a.WEBP"), quiet));
    EXPECT_EQ(Start(folder.path() / "a.WEBP", 4), "RIFF");
  }
  struct Case {
    int number;
    const char* name;
    std::string starts;  // empty: nothing written
  };
  for (const auto& [number, name, starts] :
       {Case{2, "a.gif", "GIF89a"}, Case{2, "a.GIF", "GIF89a"}, Case{1, "a.png", "\x89PNG"},
        Case{1, "a.gif.png", "\x89PNG"}, Case{3, "a.png", ""}}) {
    GifTest::TempDir folder;
    Toolkit::NoProgress quiet;
    EXPECT_EQ(saving.SaveFrameAs(number, folder.File(name), quiet), !starts.empty()) << name;
    if (starts.empty()) {
      EXPECT_TRUE(GifTest::ListNames(folder.path()).empty());
      continue;
    }
    const GifTest::Bytes file = GifTest::ReadBytes(folder.path() / name);
    EXPECT_EQ(std::string(file.begin(), file.begin() + starts.size()), starts) << name;
  }
}

TEST(SavePathFor, AddsTheChosenFormatsExtensionUnlessTheNameEndsInIt) {
  const QString png = "PNG image (*.png)", own = "Full-frame GIF image (*.gif)";
  struct Case {
    const char* chosen;
    QString filter;
    const char* path;
  };
  for (const auto& [chosen, filter, path] :
       {Case{"a", own, "a.gif"}, Case{"a.GIF", own, "a.GIF"}, Case{"a", png, "a.png"},
        Case{"a.gif", png, "a.gif.png"}, Case{"a.png", png, "a.png"}}) {
    EXPECT_EQ(MainWindow::SavePathFor(chosen, filter, ".gif"), path) << chosen;
  }
}

}  // namespace
