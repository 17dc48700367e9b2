// SPDX-License-Identifier: MIT
#pragma once

// The divider's cut in one call, as tests, fuzzers and benchmarks want it:
// the window and the command line plan the cut and write the frames as
// steps of their own.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "frame_split/frame_split.h"
#include "toolkit/progress.h"

namespace GifTest {

struct SplitReport {
  int frames = 0;                              // frame files written; 0: no looping signature
  std::optional<FrameSplit::WalkStop> damage;  // set when the last frame may be incomplete
};

// FrameSplit::PlanCuts, then FrameSplit::WriteFrames. With no looping
// signature nothing is written and `progress` is not touched.
// `source_name` only names the source in messages. Throws as those do.
SplitReport SplitAndReport(std::span<const std::uint8_t> source, const std::string& source_name,
                           const std::string& output_prefix, Toolkit::Progress& progress);

// SplitAndReport, returning only the number of frame files written.
int SplitAnimation(std::span<const std::uint8_t> source, const std::string& source_name,
                   const std::string& output_prefix, Toolkit::Progress& progress);

// The file at `source_path`, read whole (Toolkit::ReadWholeFile, which
// throws Toolkit::PlatformError for a file missing, unreadable, empty or
// 2 GiB or larger), then divided as above.
int SplitAnimation(const std::string& source_path, const std::string& output_prefix,
                   Toolkit::Progress& progress);

}  // namespace GifTest
