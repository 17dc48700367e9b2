// SPDX-License-Identifier: MIT
#include "support/split_files.h"

#include <vector>

#include "toolkit/file_ops.h"

namespace GifTest {

SplitReport SplitAndReport(std::span<const std::uint8_t> source, const std::string& source_name,
                           const std::string& output_prefix, Toolkit::Progress& progress) {
  const std::optional<FrameSplit::CutPlan> plan = FrameSplit::PlanCuts(source, source_name);
  if (!plan) return {};
  return {FrameSplit::WriteFrames(source, *plan, output_prefix, progress), plan->damage};
}

int SplitAnimation(std::span<const std::uint8_t> source, const std::string& source_name,
                   const std::string& output_prefix, Toolkit::Progress& progress) {
  return SplitAndReport(source, source_name, output_prefix, progress).frames;
}

int SplitAnimation(const std::string& source_path, const std::string& output_prefix,
                   Toolkit::Progress& progress) {
  const std::vector<std::uint8_t> source = Toolkit::ReadWholeFile(source_path);
  return SplitAnimation(source, source_path, output_prefix, progress);
}

}  // namespace GifTest
