// SPDX-License-Identifier: MIT
#pragma once

// Which format a source is in, told by its bytes alone, never by its name.

#include <cstdint>
#include <span>

namespace FrameFormats {

enum class SourceFormat {
  kUnknown,
  kGif,           // starts with GIF87a or GIF89a
  kAnimatedWebp,  // RIFF/WEBP whose VP8X chunk sets the animation flag
  kStillWebp,     // any other RIFF/WEBP long enough to tell
  kShortWebp,     // RIFF/WEBP that ends before its first chunk says what it holds
  kApng,          // a PNG with acTL before its first IDAT
  kPng,           // any other PNG
};

// The format of `source`. A WebP is animated when its first chunk is VP8X
// with the animation flag set (the reader then requires ANIM and ANMF); a
// PNG is an APNG when its chunks, walked by their lengths from the
// signature, reach acTL before the first IDAT, or stop before it at an
// IHDR or acTL whose length does not fit (the APNG reader then names the
// damage).
// CRCs are not checked here: the readers do that. REQUIRES: nothing; reads at most the chunk
// headers.
SourceFormat SniffFormat(std::span<const std::uint8_t> source);

// A name for messages: "GIF", "animated WebP", "WebP" (still or short),
// "APNG", "PNG", or "unknown".
const char* FormatName(SourceFormat format);

}  // namespace FrameFormats
