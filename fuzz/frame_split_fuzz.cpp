// Feeds arbitrary bytes to the in-memory divider. Any outcome but a frame
// count or one of the two documented failures is a finding, and so is any
// memory error the sanitizers see.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "frame_split/frame_split.h"
#include "toolkit/platform_error.h"

namespace {

const std::string& OutputPrefix() {
  static const std::string prefix = [] {
    const auto folder =
        std::filesystem::temp_directory_path() / ("mervane-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return (folder / "f").string();
  }();
  return prefix;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FrameSplit::NoProgress progress;
  try {
    const int written =
        FrameSplit::SplitAnimation(std::span(data, size), "input", OutputPrefix(), progress);
    if (written < 0) std::abort();
    if (written > 0 &&
        !std::filesystem::exists(FrameSplit::FrameFileName(OutputPrefix(), written))) {
      std::abort();
    }
  } catch (const FrameSplit::DivideError&) {
  } catch (const Toolkit::PlatformError&) {
  }
  return 0;
}
