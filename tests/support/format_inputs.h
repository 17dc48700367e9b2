// SPDX-License-Identifier: MIT
#pragma once

// Animated WebP and APNG files for the window's tests: an APNG from the
// APNG writer, an animated WebP from Debian's img2webp, each frame a solid
// colour of its own.

#include <string>

namespace FormatTest {

enum class Kind { kWebp, kApng };

// ".webp" or ".png".
const char* ExtensionOf(Kind kind);
// "WebP" or "APNG".
const char* NameOf(Kind kind);

// Writes an animation of `frames` frames of `width` x `height` (each
// opaque, of a colour no other frame has, 100 ms) to `path`; false, with
// the reason in `why`, when img2webp is missing or fails.
bool WriteAnimation(Kind kind, const std::string& path, int frames, int width, int height,
                    std::string* why = nullptr);

// Writes an animated WebP of `frames` frames of 1 x 1 pixel, each at its
// own place along the top of a canvas of `width` x `height`, to `path`: a
// small file whose frames, as they appear, are each the whole canvas. False,
// with the reason in `why`, when the encoder fails.
bool WriteSparseWebp(const std::string& path, int frames, int width, int height,
                     std::string* why = nullptr);

}  // namespace FormatTest
