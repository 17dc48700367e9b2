// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the composer, and the first frames it yields to
// both file encoders, whose output must compose back to the same picture,
// and to the folding of runs of identical frames, which must keep their
// time; and writes the frames' JSON.
// A ComposeError is an answer; a crash, a hang, a memory error or a
// picture that does not survive its own file is a finding.

#include <cstdint>
#include <cstdlib>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_files.h"
#include "frame_compose/frame_sets.h"

namespace {

constexpr int kFramesEncoded = 3;

// Each frame is encoded twice and composed again: a 512 x 512 canvas at most
// keeps a run to milliseconds, so that a minute tries thousands of inputs.
FrameCompose::ComposeOptions SmallScreens() {
  FrameCompose::ComposeOptions options;
  options.largest_canvas_bytes = std::size_t{1} << 20;
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FrameCompose::AnimationFacts animation;
  long long delays_added = 0, delays_kept = 0;
  FrameCompose::FrameRuns runs(
      true, [&](const FrameCompose::KeptFrame& kept, const FrameCompose::Canvas&) {
        delays_kept += kept.facts.delay_cs;
        // Each kept frame fits a GIF frame's delay and stands for frames in a row.
        if (kept.facts.delay_cs > FrameCompose::kLongestDelayCs) std::abort();
        for (std::size_t i = 1; i < kept.stands_for.size(); ++i) {
          if (kept.stands_for[i] != kept.stands_for[i - 1] + 1) std::abort();
        }
      });
  try {
    FrameCompose::Compose(
        std::span(data, size), "input",
        [&](const FrameCompose::FrameFacts& frame, const FrameCompose::Canvas* canvas) {
          delays_added += frame.delay_cs;
          runs.Add(frame, *canvas);
          if (canvas->width == 0 || canvas->height == 0) return false;
          FrameCompose::EncodePng(*canvas);
          const std::vector<std::uint8_t> file = FrameCompose::EncodeFullFrameGif(*canvas, 1);
          FrameCompose::Canvas last;
          FrameCompose::AnimationFacts again;
          FrameCompose::Compose(
              file, "round trip",
              [&](const FrameCompose::FrameFacts&, const FrameCompose::Canvas* tile) {
                last = *tile;
                return true;
              },
              again, SmallScreens());
          for (std::size_t i = 0; i < canvas->pixels.size(); ++i) {
            const std::uint32_t pixel = canvas->pixels[i];
            const bool clear = (reinterpret_cast<const std::uint8_t*>(&pixel))[3] == 0;
            if ((clear ? 0u : pixel) != last.pixels.at(i)) std::abort();
          }
          return frame.number < kFramesEncoded;
        },
        animation, SmallScreens());
  } catch (const FrameCompose::ComposeError&) {
  }
  runs.Finish();
  if (delays_added != delays_kept) std::abort();
  try {
    FrameCompose::SetJson(FrameCompose::ReadSetFacts(std::span(data, size), "input", {}));
  } catch (const FrameCompose::ComposeError&) {
  }
  return 0;
}
