// SPDX-License-Identifier: MIT
#include "frame_split/frame_split.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "gif_format/gif_markers.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"
#include "toolkit/platform_error.h"

namespace FrameSplit {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace

DivideError::DivideError(const std::string& source_name, std::int64_t offset,
                         const std::string& reason, Kind kind)
    : std::runtime_error(source_name + ": byte " + std::to_string(offset) + ": " + reason),
      offset_(offset),
      kind_(kind) {}

std::string FrameFileName(const std::string& output_prefix, int number,
                          const std::string& extension) {
  return output_prefix + Toolkit::Format(number, kFrameNumberPicture) + extension;
}

std::optional<CutPlan> PlanCuts(std::span<const std::uint8_t> source,
                                const std::string& source_name) {
  // The same refusals, with the same type, as reading the file from its path.
  if (source.empty()) {
    throw Toolkit::PlatformError("read", source_name, "file is empty",
                                 Toolkit::FailureKind::kEmpty);
  }
  if (source.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw Toolkit::PlatformError("read", source_name, "file is 2 GiB or larger",
                                 Toolkit::FailureKind::kTooLarge);
  }
  if (FindMarker(source, 0, Gif::kLoopingSignature) == kNoMatch) return std::nullopt;

  BlockWalk walk = WalkBlocks(source);
  const std::vector<std::size_t> application =
      CountingMatches(source, walk, Gif::kApplicationExtensionMarker, 1);
  if (application.empty()) {
    throw DivideError(source_name, static_cast<std::int64_t>(source.size()),
                      "no application extension (" + Hex(Gif::kApplicationExtensionMarker) +
                          ") at a block start, so there are no header bytes",
                      DivideError::Kind::kNoHeader);
  }
  if (application.front() == 0) {
    throw DivideError(source_name, 0,
                      "application extension at the start of the file leaves no header bytes",
                      DivideError::Kind::kNoHeader);
  }

  CutPlan plan;
  plan.header_end = application.front();
  plan.frame_starts = CountingMatches(source, walk, Gif::kGraphicControlExtensionMarker);
  plan.expected = static_cast<int>(
      plan.frame_starts.end() -
      std::lower_bound(plan.frame_starts.begin(), plan.frame_starts.end(), plan.header_end));
  if (plan.expected == 0) {
    throw DivideError(source_name, static_cast<std::int64_t>(plan.header_end),
                      "no graphic control extension (" + Hex(Gif::kGraphicControlExtensionMarker) +
                          ") after the application extension",
                      DivideError::Kind::kNoFrame);
  }
  plan.damage = std::move(walk.stop);
  return plan;
}

namespace {

// Frame k's own bytes (0-based), between the header and the tail. A body
// ends one byte before the next frame's marker (that byte is the frame's own
// block terminator, written back in the tail), or two bytes before the end
// of the file, where the source's terminator and trailer stand.
std::span<const std::uint8_t> FrameBody(std::span<const std::uint8_t> source, const CutPlan& plan,
                                        std::size_t k) {
  const std::vector<std::size_t>& starts = plan.frame_starts;
  const std::size_t end =
      k + 1 < starts.size() ? starts[k + 1] - 1 : source.size() - Gif::kFrameTail.size();
  return source.subspan(starts[k], end - starts[k]);
}

}  // namespace

std::vector<std::uint8_t> FrameFileBytes(std::span<const std::uint8_t> source, const CutPlan& plan,
                                         int number) {
  const std::span<const std::uint8_t> body =
      FrameBody(source, plan, static_cast<std::size_t>(number) - 1);
  std::vector<std::uint8_t> file;
  file.reserve(plan.header_end + body.size() + Gif::kFrameTail.size());
  file.insert(file.end(), source.begin(),
              source.begin() + static_cast<std::ptrdiff_t>(plan.header_end));
  file.insert(file.end(), body.begin(), body.end());
  file.insert(file.end(), Gif::kFrameTail.begin(), Gif::kFrameTail.end());
  return file;
}

int WriteFrames(std::span<const std::uint8_t> source, const CutPlan& plan,
                const std::string& output_prefix, Toolkit::Progress& progress,
                const std::function<bool(int)>& wanted) {
  const std::span<const std::uint8_t> header = source.first(plan.header_end);
  const float step = progress.Width() / static_cast<float>(plan.expected);
  int written = 0;
  for (std::size_t k = 0; k < plan.frame_starts.size(); ++k) {
    const int number = static_cast<int>(k) + 1;
    if (!wanted || wanted(number)) {
      Toolkit::WriteFileInPieces(FrameFileName(output_prefix, number), header,
                                 FrameBody(source, plan, k), Gif::kFrameTail);
      ++written;
    }
    progress.DrawBox(static_cast<float>(number) * step);
    progress.DoEvents();
  }
  progress.Clear();
  return written;
}

}  // namespace FrameSplit
