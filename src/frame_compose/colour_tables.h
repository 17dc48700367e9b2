// SPDX-License-Identifier: MIT
#pragma once

// A composed picture's colours as GIF colour tables: one table when the
// picture has up to 256 colours, else tiles and colour layers of up to 256
// each, which a full-frame GIF draws one over the other.

#include <cstdint>
#include <vector>

#include "frame_compose/frame_compose.h"

namespace FrameCompose {

// A canvas mapped to palette indices, in tiles of up to 256 colours each.
struct IndexedPicture {
  struct Tile {
    Tile(int l, int t, int w, int h) : left(l), top(t), width(w), height(h) {}
    int left, top, width, height;
    std::vector<std::uint32_t> palette;
    bool transparent = false;
    int transparent_index = 0;  // the palette entry that stands for transparency
    std::vector<std::uint8_t> indices;
  };
  int width = 0, height = 0;
  std::vector<Tile> tiles;
};

// Tiles of up to 256 colours: the whole canvas when it can, else rectangles
// of up to 256 colours, halved across their longer side until each fits,
// and, where colours are mixed too finely for that, layers of up to 255
// colours over a small rectangle, each transparent where the others stand.
// A canvas that kept its indices into the global table is one tile over
// that table. REQUIRES: canvas.pixels.size() == width * height.
IndexedPicture IndexColours(const Canvas& canvas);

}  // namespace FrameCompose
