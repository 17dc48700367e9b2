// SPDX-License-Identifier: MIT
#pragma once

// One still picture decoded whole: a frame file of the exact cut, shown as
// the file stores it. Not for animations: the composers read those.

#include <cstdint>
#include <span>
#include <string>

#include "frame_compose/frame_compose.h"
#include "frame_formats/format_sniff.h"
#include "frame_formats/format_status.h"

namespace FrameFormats {

// Decodes `file`, a still WebP (libwebp's WebPDecodeRGBA) when `format` is
// kAnimatedWebp or kStillWebp, else a PNG (libpng), into a canvas of the
// file's own size: RGBA, not premultiplied, 8 bits a sample. The size is
// read from the header and checked against `budgets` before any pixel is
// decoded. Throws FrameCompose::ComposeError naming `file_name`, frame
// `number` and the reason for a file that cannot be decoded or is past the
// budget. REQUIRES: nothing.
FrameCompose::Canvas DecodeStill(SourceFormat format, std::span<const std::uint8_t> file,
                                 const std::string& file_name, int number,
                                 const Budgets& budgets = {});

}  // namespace FrameFormats
