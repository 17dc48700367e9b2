// SPDX-License-Identifier: MIT
#include "frame_compose/colour_tables.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

namespace FrameCompose {
namespace {

constexpr std::size_t kMostColours = 256;

bool Transparent(std::uint32_t pixel) {
  std::uint8_t bytes[4];
  std::memcpy(bytes, &pixel, sizeof bytes);
  return bytes[3] == 0;
}

using Tile = IndexedPicture::Tile;

// Maps colours to palette indices, up to 256 of them.
class Palette {
 public:
  // The index of `pixel`, adding it when new; -1 when the palette is full.
  int IndexOf(std::uint32_t pixel) {
    // Neighbours mostly share their colour: that answer comes first.
    if (pixel == last_pixel_ && last_index_ >= 0) return last_index_;
    if (Transparent(pixel)) pixel = 0;
    std::size_t slot = Hash(pixel);
    while (slots_[slot].used) {
      if (slots_[slot].pixel == pixel) return Remember(pixel, slots_[slot].index);
      slot = (slot + 1) % slots_.size();
    }
    if (colours.size() == kMostColours) return -1;
    slots_[slot] = {pixel, static_cast<int>(colours.size()), true};
    colours.push_back(pixel);
    if (pixel == 0) has_transparent = true;
    return Remember(pixel, slots_[slot].index);
  }
  std::vector<std::uint32_t> colours;
  bool has_transparent = false;

 private:
  struct Slot {
    std::uint32_t pixel = 0;
    int index = 0;
    bool used = false;
  };
  static std::size_t Hash(std::uint32_t pixel) {
    return (pixel * 2654435761u) >> (32 - 10);  // 1024 slots
  }
  int Remember(std::uint32_t pixel, int index) {
    last_pixel_ = pixel;
    last_index_ = index;
    return index;
  }
  std::array<Slot, 1024> slots_{};
  std::uint32_t last_pixel_ = 0;
  int last_index_ = -1;
};

// Fills `tile` (whose rectangle is set) with indices; false when the
// rectangle holds more than 256 colours.
bool Index(const Canvas& canvas, Tile& tile) {
  Palette palette;
  tile.indices.resize(static_cast<std::size_t>(tile.width) * tile.height);
  std::uint8_t* out = tile.indices.data();
  for (int y = tile.top; y < tile.top + tile.height; ++y) {
    const std::uint32_t* row = canvas.pixels.data() + static_cast<std::size_t>(y) * canvas.width;
    for (int x = tile.left; x < tile.left + tile.width; ++x) {
      const int index = palette.IndexOf(row[x]);
      if (index < 0) return false;
      *out++ = static_cast<std::uint8_t>(index);
    }
  }
  tile.palette = std::move(palette.colours);
  tile.transparent = palette.has_transparent;
  // The transparent colour must be entry 0 of its table: swap it there.
  if (tile.transparent && tile.palette[0] != 0) {
    const auto at = static_cast<std::uint8_t>(
        std::find(tile.palette.begin(), tile.palette.end(), 0u) - tile.palette.begin());
    std::swap(tile.palette[0], tile.palette[at]);
    for (std::uint8_t& index : tile.indices) {
      if (index == 0) {
        index = at;
      } else if (index == at) {
        index = 0;
      }
    }
  }
  return true;
}

// Splits stop at this many pixels: below it a colour table would cost more
// than it serves, and colour layers take over.
constexpr long long kSmallestSplitArea = 64 * 64;
constexpr std::size_t kLayerColours = kMostColours - 1;  // entry 0 stands for "not this layer"

// The pixels of `area` in layers of up to 255 colours each, in the order the
// colours first appear; each layer is a tile over the box its pixels span,
// transparent wherever another layer's pixels (or none) stand.
void AddColourLayers(const Canvas& canvas, const Tile& area, std::vector<Tile>& tiles) {
  std::unordered_map<std::uint32_t, std::uint32_t> order;  // colour -> its number in the area
  const auto pixel_at = [&](int x, int y) {
    return canvas.pixels[static_cast<std::size_t>(y) * canvas.width + x];
  };
  for (int y = area.top; y < area.top + area.height; ++y) {
    for (int x = area.left; x < area.left + area.width; ++x) {
      const std::uint32_t pixel = pixel_at(x, y);
      if (!Transparent(pixel)) order.try_emplace(pixel, static_cast<std::uint32_t>(order.size()));
    }
  }
  const std::size_t layers = (order.size() + kLayerColours - 1) / kLayerColours;
  for (std::size_t layer = 0; layer < layers; ++layer) {
    int x0 = area.left + area.width, y0 = area.top + area.height, x1 = area.left, y1 = area.top;
    for (int y = area.top; y < area.top + area.height; ++y) {
      for (int x = area.left; x < area.left + area.width; ++x) {
        const std::uint32_t pixel = pixel_at(x, y);
        if (Transparent(pixel) || order[pixel] / kLayerColours != layer) continue;
        x0 = std::min(x0, x), x1 = std::max(x1, x + 1), y0 = std::min(y0, y),
        y1 = std::max(y1, y + 1);
      }
    }
    Tile tile{x0, y0, x1 - x0, y1 - y0};
    tile.transparent = true;
    tile.transparent_index = 0;
    tile.palette.assign(std::min(kMostColours, order.size() - layer * kLayerColours + 1), 0u);
    tile.indices.reserve(static_cast<std::size_t>(tile.width) * tile.height);
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const std::uint32_t pixel = pixel_at(x, y);
        std::uint8_t index = 0;
        if (!Transparent(pixel)) {
          const std::uint32_t number = order[pixel];
          if (number / kLayerColours == layer) {
            index = static_cast<std::uint8_t>(number % kLayerColours + 1);
            tile.palette[index] = pixel;
          }
        }
        tile.indices.push_back(index);
      }
    }
    tiles.push_back(std::move(tile));
  }
}

// Tiles `area` with rectangles of up to 256 colours, halving it across its
// longer side until each half fits; small areas that still do not fit go in
// colour layers. Tiles thus grow with the picture's flat regions, so that
// every colour table serves many pixels.
void AddTiles(const Canvas& canvas, Tile area, std::vector<Tile>& tiles) {
  if (Index(canvas, area)) {
    tiles.push_back(std::move(area));
    return;
  }
  if (static_cast<long long>(area.width) * area.height <= kSmallestSplitArea) {
    AddColourLayers(canvas, area, tiles);
    return;
  }
  Tile first{area.left, area.top, area.width, area.height}, second = first;
  if (area.width >= area.height) {
    first.width = area.width / 2;
    second.left += first.width;
    second.width -= first.width;
  } else {
    first.height = area.height / 2;
    second.top += first.height;
    second.height -= first.height;
  }
  AddTiles(canvas, std::move(first), tiles);
  AddTiles(canvas, std::move(second), tiles);
}

}  // namespace

// Tiles of up to 256 colours: the whole canvas when it can, else rectangles
// and, where colours are finely mixed, layers.
IndexedPicture IndexColours(const Canvas& canvas) {
  IndexedPicture picture;
  picture.width = canvas.width;
  picture.height = canvas.height;
  std::vector<Tile>& tiles = picture.tiles;
  if (!canvas.indices.empty()) {
    // The composer kept the picture's indices into the global table.
    Tile whole{0, 0, canvas.width, canvas.height};
    whole.palette = canvas.table;
    whole.transparent = canvas.transparent_index >= 0;
    if (whole.transparent) {
      whole.transparent_index = canvas.transparent_index;
      whole.palette.resize(static_cast<std::size_t>(canvas.transparent_index) + 1, 0u);
    }
    whole.indices = canvas.indices;
    tiles.push_back(std::move(whole));
    return picture;
  }
  AddTiles(canvas, Tile{0, 0, canvas.width, canvas.height}, tiles);
  return picture;
}

}  // namespace FrameCompose
