// SPDX-License-Identifier: MIT
#pragma once

// The GIF file of a picture in colour tables: the logical screen, then each
// tile as an image of its own, its data in GIF's LZW.

#include <cstdint>
#include <vector>

#include "frame_compose/colour_tables.h"

namespace FrameCompose {

// The GIF89a file of `picture`, whose last tile is shown for `delay_cs`
// hundredths of a second: one tile over a global colour table, or every
// tile with a local table at delay 0, drawn over the ones before. `codes`
// is scratch space, kept by the caller from picture to picture.
// REQUIRES: width, height and every tile's rectangle 1..65535.
std::vector<std::uint8_t> EncodeGif(const IndexedPicture& picture, int delay_cs,
                                    std::vector<std::uint8_t>& codes);

}  // namespace FrameCompose
