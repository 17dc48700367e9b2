// SPDX-License-Identifier: MIT
// Hostile bytes reach the thumbnails' second road: divide the input, then
// compose every frame file (at most the 127 a strip shows) on its own, as
// the window does for frames the whole file's composing did not reach,
// within the window's budget. Any crash, hang or memory error the
// sanitizers see is a finding; refused pictures are not.

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "frame_compose/frame_compose.h"
#include "frame_split/frame_split.h"
#include "main_window/workflow_constants.h"
#include "support/split_files.h"
#include "toolkit/file_ops.h"
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Toolkit::NoProgress progress;
  int written = 0;
  try {
    written = GifTest::SplitAnimation(std::span(data, size), "input", OutputPrefix(), progress);
  } catch (const FrameSplit::DivideError&) {
  } catch (const Toolkit::PlatformError&) {
  }
  FrameCompose::ComposeOptions options;
  options.largest_canvas_bytes = MainWindow::kLargestThumbnailCanvas;
  for (int k = 1; k <= std::min(written, kMostThumbnails); ++k) {
    try {
      const auto file = Toolkit::ReadWholeFile(FrameSplit::FrameFileName(OutputPrefix(), k));
      FrameCompose::FrameFacts facts;
      const auto frame = FrameCompose::ComposeFrame(file, "frame", 1, options, &facts);
      if (frame && frame->pixels.size() != static_cast<std::size_t>(frame->width) *
                                               static_cast<std::size_t>(frame->height)) {
        std::abort();
      }
    } catch (const FrameCompose::ComposeError&) {
    } catch (const Toolkit::PlatformError&) {
    }
  }
  return 0;
}
