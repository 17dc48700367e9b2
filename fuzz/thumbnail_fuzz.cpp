// SPDX-License-Identifier: MIT
// Hostile bytes reach the platform's GIF decoder through the thumbnails:
// divide the input in memory, then load every frame file (at most the 127 a
// strip shows) as the window does when it cannot compose them, within the
// window's budget: a screen past it is never decoded. Any crash, hang or
// memory error the sanitizers see is a finding; refused pictures are not.

#include <QCoreApplication>
#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "frame_split/frame_split.h"
#include "main_window/workflow_constants.h"
#include "toolkit/picture.h"
#include "toolkit/platform_error.h"

namespace {

constexpr int kMostThumbnails = 127;

const std::string& OutputPrefix() {
  static const std::string prefix = [] {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("mervane-thumb-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return (folder / "t").string();
  }();
  return prefix;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Image format plugins are found through the application's library paths.
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FrameSplit::NoProgress progress;
  int written = 0;
  try {
    written = FrameSplit::SplitAnimation(std::span(data, size), "input", OutputPrefix(), progress);
  } catch (const FrameSplit::DivideError&) {
  } catch (const Toolkit::PlatformError&) {
  }
  constexpr std::size_t kScreenSizeEnd = 10;  // "GIF89a", then width and height
  if (size < kScreenSizeEnd) return 0;
  const std::size_t screen = static_cast<std::size_t>(data[6] | (data[7] << 8)) *
                             static_cast<std::size_t>(data[8] | (data[9] << 8));
  if (screen * 4 > MainWindow::kLargestThumbnailCanvas) return 0;  // a placeholder in the window
  for (int k = 1; k <= std::min(written, kMostThumbnails); ++k) {
    try {
      const Toolkit::Picture picture =
          Toolkit::LoadPicture(FrameSplit::FrameFileName(OutputPrefix(), k));
      if (picture.IsNull()) std::abort();
    } catch (const Toolkit::PlatformError&) {
    }
  }
  return 0;
}
