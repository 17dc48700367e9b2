// SPDX-License-Identifier: MIT
#pragma once

// Small animations for the composer's tests, and the composer run over one.

#include <vector>

#include "frame_compose/frame_compose.h"
#include "support/gif_writer.h"

namespace GifTest {

using FrameCompose::Canvas;

// Every frame composed; with `damaged` given, a ComposeError sets it
// instead of reaching the caller.
inline std::vector<Canvas> ComposeAll(const Bytes& gif, bool* damaged = nullptr) {
  std::vector<Canvas> frames;
  FrameCompose::AnimationFacts animation;
  try {
    FrameCompose::Compose(
        gif, "test",
        [&](const FrameCompose::FrameFacts&, const Canvas* canvas) {
          frames.push_back(*canvas);
          return true;
        },
        animation);
  } catch (const FrameCompose::ComposeError&) {
    if (damaged == nullptr) throw;
    *damaged = true;
  }
  return frames;
}

inline Frame Solid(int width, int height, std::uint8_t colour, int left = 0, int top = 0) {
  Frame frame;
  frame.width = width, frame.height = height, frame.left = left, frame.top = top;
  frame.indices.assign(static_cast<std::size_t>(width) * height, colour);
  return frame;
}

// A frame whose pixels run through `colours` indices, with index 0 at the corners.
inline Frame Pattern(int width, int height, int colours, int left = 0, int top = 0) {
  Frame frame = Solid(width, height, 0, left, top);
  for (std::size_t i = 0; i < frame.indices.size(); ++i) {
    frame.indices[i] = static_cast<std::uint8_t>((i * 7 + i / width) % colours);
  }
  return frame;
}

inline Animation Screen(std::vector<Frame> frames) {
  Animation animation;
  animation.width = 12, animation.height = 10;
  animation.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}, {200, 100, 50}};
  animation.frames = std::move(frames);
  return animation;
}

}  // namespace GifTest
