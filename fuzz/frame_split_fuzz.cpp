// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the in-memory divider. Any outcome but a frame
// count or one of the two documented failures is a finding, and so is any
// memory error the sanitizers see. It also holds the cut plan against a plain
// byte search: the walk may only drop matches, never invent them, and where
// it drops none the two cuts are the same.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "frame_split/frame_split.h"
#include "gif_format/gif_markers.h"
#include "support/split_files.h"
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

std::vector<std::size_t> PlainMatches(std::span<const std::uint8_t> source,
                                      std::span<const std::uint8_t> marker) {
  std::vector<std::size_t> matches;
  for (std::size_t at = FrameSplit::FindMarker(source, 0, marker); at != FrameSplit::kNoMatch;
       at = FrameSplit::FindMarker(source, at + 1, marker)) {
    matches.push_back(at);
  }
  return matches;
}

void CheckAgainstPlainSearch(std::span<const std::uint8_t> source) {
  std::optional<FrameSplit::CutPlan> plan;
  try {
    plan = FrameSplit::PlanCuts(source, "input");
  } catch (const FrameSplit::DivideError&) {
    return;
  } catch (const Toolkit::PlatformError&) {
    return;
  }
  if (!plan) return;
  const auto plain_frames = PlainMatches(source, Gif::kGraphicControlExtensionMarker);
  const auto plain_apps = PlainMatches(source, Gif::kApplicationExtensionMarker);
  const auto& starts = plan->frame_starts;
  if (!std::includes(plain_frames.begin(), plain_frames.end(), starts.begin(), starts.end()) ||
      !std::binary_search(plain_apps.begin(), plain_apps.end(), plan->header_end)) {
    std::abort();
  }
  // A match is no chance match when it stands at a block start the walk
  // found, or where the walk could not go.
  const FrameSplit::BlockWalk walk = FrameSplit::WalkBlocks(source);
  const auto at_block = [&](std::size_t at) {
    return std::binary_search(walk.extension_starts.begin(), walk.extension_starts.end(), at) ||
           (walk.stop && at >= walk.stop->offset);
  };
  const bool chance_free = std::all_of(plain_frames.begin(), plain_frames.end(), at_block) &&
                           std::all_of(plain_apps.begin(), plain_apps.end(), at_block);
  if (chance_free && (starts != plain_frames || plan->header_end != plain_apps.front())) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> source(data, size);
  Toolkit::NoProgress progress;
  try {
    const int written = GifTest::SplitAnimation(source, "input", OutputPrefix(), progress);
    if (written < 0) std::abort();
    if (written > 0 &&
        !std::filesystem::exists(FrameSplit::FrameFileName(OutputPrefix(), written))) {
      std::abort();
    }
  } catch (const FrameSplit::DivideError&) {
  } catch (const Toolkit::PlatformError&) {
  }
  CheckAgainstPlainSearch(source);
  return 0;
}
