// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the animated WebP reader, its exact cut and its
// composer. A refusal is an answer; a crash, a hang, a memory error, a cut
// that is not a still WebP, or a composer that disagrees with the reader on
// the frame count is a finding.

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "format_fuzz.h"
#include "frame_compose/frame_compose.h"
#include "frame_formats/format_sniff.h"
#include "frame_formats/webp_cut.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> source(data, size);
  const FrameFormats::FormatComposeOptions options = FormatFuzz::SmallBudgets();
  FrameFormats::WebpPlan plan;
  const FrameFormats::Status status = FrameFormats::ReadWebp(source, options.budgets, plan);
  if (status.ok()) {
    for (const FrameFormats::FrameRecord& record : plan.frames) {
      const auto cut = FrameFormats::WebpFrameFileBytes(source, record.number);
      if (FrameFormats::SniffFormat(cut) != FrameFormats::SourceFormat::kStillWebp) std::abort();
    }
  }
  FrameFormats::AnimationRecord animation;
  int seen = 0;
  try {
    FrameFormats::ComposeWebp(source, "input", FormatFuzz::CheckedSink(animation, seen), animation,
                              options);
    if (!status.ok() || seen != static_cast<int>(plan.frames.size())) std::abort();
  } catch (const FrameCompose::ComposeError&) {
    if (status.ok() && seen >= static_cast<int>(plan.frames.size())) std::abort();
  }
  return 0;
}
