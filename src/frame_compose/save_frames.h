#pragma once

// Writes frames as they appear to files: full-frame GIFs or RGBA PNGs. The
// calling thread decodes and composes; a second thread encodes and writes,
// so that the two halves of the work run side by side.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "frame_compose/frame_compose.h"

namespace FrameCompose {

enum class FileKind { kFullFrameGif, kPng };

struct SaveRequest {
  FileKind kind = FileKind::kFullFrameGif;
  std::function<std::string(int number)> path_of;  // where frame `number` goes
  std::function<bool(int number)> wanted;          // empty: every frame
  std::optional<int> last;                         // no frame after this one is read
  // Called on the calling thread after each frame is read, wanted or not.
  std::function<void(int number)> after_frame;
};

// The number of frames of `source`, read without decoding any pixels. A
// source damaged part way counts the frames before the damage.
int CountFrames(std::span<const std::uint8_t> source);

// Writes the wanted frames of `source` as `request` says. Files are created
// or truncated and never written through a symbolic link. Returns the number
// written. Throws ComposeError for damaged data and Toolkit::PlatformError
// for a file that cannot be written; files written before stay. At most
// three composed frames (two waiting, one being written, indices only where
// they suffice) are held besides the composer's own.
int SaveFramesAsTheyAppear(std::span<const std::uint8_t> source, const std::string& source_name,
                           const SaveRequest& request);

}  // namespace FrameCompose
