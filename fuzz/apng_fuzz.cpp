// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the APNG reader, its exact cut and its composer.
// A refusal is an answer; a crash, a hang, a memory error, a cut that is
// not a whole PNG of its frame's size, a composer that disagrees with the
// reader on the frame count, or one whose frames decoded ahead on another
// thread differ in number from those decoded on the caller's is a finding.

#include <cstdint>
#include <cstdlib>

#include "format_fuzz.h"
#include "frame_compose/frame_compose.h"
#include "frame_formats/apng_cut.h"
#include "frame_formats/format_sniff.h"
#include "frame_formats/png_chunks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace Png = FrameFormats::Png;
  const std::span<const std::uint8_t> source(data, size);
  const FrameFormats::FormatComposeOptions options = FormatFuzz::SmallBudgets();
  FrameFormats::ApngPlan plan;
  const FrameFormats::Status status = FrameFormats::ReadApng(source, options.budgets, plan);
  if (status.ok()) {
    if (plan.frames.empty()) std::abort();
    for (const FrameFormats::ApngFrame& frame : plan.frames) {
      const auto cut = FrameFormats::ApngFrameFileBytes(source, plan, frame.record.number);
      if (FrameFormats::SniffFormat(cut) != FrameFormats::SourceFormat::kPng) std::abort();
      Png::Chunk chunk;
      for (std::size_t at = Png::kSignatureSize; at < cut.size(); at = chunk.end()) {
        if (!Png::ReadChunk(cut, at, true, chunk).ok()) std::abort();
        if (chunk.type == Png::kImageHeader &&
            Png::ReadBig32(chunk.data.data()) != static_cast<std::uint32_t>(frame.record.width)) {
          std::abort();
        }
      }
    }
  }
  // Once on the caller's thread alone, once with frames decoded ahead on
  // another: both must hand on the same frames and fail at the same one.
  int first_seen = -1;
  std::uint64_t first_hash = 0;
  for (const int threads : {1, 2}) {
    FrameFormats::FormatComposeOptions composing = options;
    composing.threads = threads;
    FrameFormats::AnimationRecord animation;
    int seen = 0;
    std::uint64_t hash = 0;  // of every frame's pixels, in order
    const FrameFormats::FormatFrameSink checked = FormatFuzz::CheckedSink(animation, seen);
    const auto sink = [&](const FrameFormats::FrameRecord& record,
                          const FrameCompose::Canvas& canvas) {
      for (const std::uint32_t pixel : canvas.pixels) hash = hash * 1000003 + pixel;
      return checked(record, canvas);
    };
    try {
      FrameFormats::ComposeApng(source, "input", sink, animation, composing);
      if (!status.ok() || seen != static_cast<int>(plan.frames.size())) std::abort();
    } catch (const FrameCompose::ComposeError&) {
      // A frame whose data libpng refuses ends composing; the reader's
      // verdict on the structure must still stand.
      if (status.ok() && seen >= static_cast<int>(plan.frames.size())) std::abort();
    }
    if (first_seen >= 0 && (seen != first_seen || hash != first_hash)) std::abort();
    first_seen = seen;
    first_hash = hash;
  }
  return 0;
}
