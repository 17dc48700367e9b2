// SPDX-License-Identifier: MIT
#include "frame_compose/frame_files.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "gif_format/gif_markers.h"

namespace FrameCompose {
namespace {

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

constexpr std::size_t kMostColours = 256;

// PNG, written around libdeflate: its chunks are few and simple.
constexpr char kPngHeaderChunk[] = "IHDR";
constexpr char kPngDataChunk[] = "IDAT";
constexpr char kPngEndChunk[] = "IEND";
constexpr std::uint8_t kPngBitDepth = 8;
constexpr std::uint8_t kPngColourRgba = 6;
constexpr std::uint8_t kPngFilterNone = 0;
constexpr std::size_t kLargestPngChunk = std::size_t{1} << 30;  // a chunk's length is 31 bits
// libdeflate's fastest level: --png frames are many, and mostly flat. On
// 1500 frames of testsrc2, levels 2 and 4 made files 6% and 12% smaller in
// 1.2 and 1.6 times the time; level 1 is 14% smaller than libpng's level 3
// with the "sub" filter.
constexpr int kPngLevel = 1;
// Signature, IHDR, IEND and one IDAT's length, type and CRC.
constexpr std::size_t kPngFraming = 8 + 25 + 12 + 12;

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.insert(out.end(),
             {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
              static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

// Length, type, data, and the CRC-32 of type and data.
void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
              std::span<const std::uint8_t> data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const auto* name = reinterpret_cast<const std::uint8_t*>(type);
  out.insert(out.end(), name, name + 4);
  out.insert(out.end(), data.begin(), data.end());
  std::uint32_t crc = libdeflate_crc32(0, name, 4);
  // A null buffer would start the CRC afresh.
  if (!data.empty()) crc = libdeflate_crc32(crc, data.data(), data.size());
  PutBigEndian(out, crc);
}
constexpr int kLzwBits = Gif::kLzwMostBits;
constexpr int kLzwCodes = 1 << kLzwBits;

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

// GIF's variable-length LZW, least significant bit first, in sub-blocks.
// The string table is a small open-addressed hash of (prefix code, index)
// keys, which stays in the processor's nearest cache.
class LzwWriter {
 public:
  // `codes` is scratch space, kept by the caller from picture to picture.
  LzwWriter(std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& codes)
      : out_(out), codes_buffer_(codes) {}

  // Appends the image data of `indices`: the minimum code size, then the
  // codes in sub-blocks, then the block terminator.
  void Write(const std::vector<std::uint8_t>& indices, int min_code_size) {
    // The codes go to one buffer first, cut into sub-blocks at the end: no
    // check per byte. Every index costs at most one code of 12 bits, plus
    // a clear code now and then and the two at the ends.
    codes_buffer_.resize(indices.size() * 2 + 16);
    codes_ = codes_buffer_.data();
    written_ = 0;
    accumulator_ = 0;
    bits_ = 0;
    PutCodes(indices, min_code_size);
    PutSubBlocks(min_code_size);
  }

 private:
  static constexpr int kHashBits = 13;  // twice the 4096 codes
  static constexpr std::uint32_t kHashSize = 1u << kHashBits;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

  // The codes of `indices`, from the first clear code to the end of
  // information, packed into codes_.
  void PutCodes(const std::vector<std::uint8_t>& indices, int min_code_size) {
    const int clear = 1 << min_code_size;
    const int end_of_information = clear + 1;
    Reset(min_code_size);
    Put(clear);
    std::uint32_t prefix = indices.empty() ? kEmpty : indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
      const std::uint8_t index = indices[i];
      // Flat pictures ask the same code for the same next index again and
      // again: one remembered answer per code saves most hash probes.
      if (memo_index_[prefix] == index) {
        prefix = memo_child_[prefix];
        continue;
      }
      const std::uint32_t key = (prefix << 8) | index;
      std::uint32_t slot = (key * 2654435761u) >> (32 - kHashBits);
      std::uint32_t entry;
      while ((entry = table_[slot]) != kEmpty && (entry >> kLzwBits) != key) {
        slot = (slot + 1) & (kHashSize - 1);
      }
      if (entry != kEmpty) {
        memo_index_[prefix] = index;
        memo_child_[prefix] = static_cast<std::uint16_t>(entry & (kLzwCodes - 1));
        prefix = memo_child_[prefix];
        continue;
      }
      Put(static_cast<int>(prefix));
      // Start afresh one code short of the 12-bit limit, as common encoders do.
      if (next_code_ < kLzwCodes - 1) {
        table_[slot] = (key << kLzwBits) | static_cast<std::uint32_t>(next_code_);
        memo_index_[prefix] = index;
        memo_child_[prefix] = static_cast<std::uint16_t>(next_code_);
        if (next_code_ == (1 << width_) && width_ < kLzwBits) ++width_;
        ++next_code_;
      } else {
        Put(clear);
        Reset(min_code_size);
      }
      prefix = index;
    }
    if (prefix != kEmpty) Put(static_cast<int>(prefix));
    Put(end_of_information);
  }

  void PutSubBlocks(int min_code_size) {
    for (; bits_ > 0; bits_ -= std::min(bits_, 8)) {
      codes_[written_++] = static_cast<std::uint8_t>(accumulator_);
      accumulator_ >>= 8;
    }
    out_.push_back(static_cast<std::uint8_t>(min_code_size));
    for (std::size_t from = 0; from < written_; from += Gif::kMostSubBlockLength) {
      const std::size_t length = std::min(Gif::kMostSubBlockLength, written_ - from);
      out_.push_back(static_cast<std::uint8_t>(length));
      out_.insert(out_.end(), codes_ + from, codes_ + from + length);
    }
    out_.push_back(Gif::kBlockTerminator);
  }

  void Reset(int min_code_size) {
    table_.fill(kEmpty);
    memo_index_.fill(kNoMemo);
    width_ = min_code_size + 1;
    next_code_ = (1 << min_code_size) + 2;
  }
  // Codes are packed least significant bit first, four bytes at a time.
  void Put(int code) {
    accumulator_ |= static_cast<std::uint64_t>(code) << bits_;
    bits_ += width_;
    if (bits_ < 32) return;
    for (int byte = 0; byte < 4; ++byte) {
      codes_[written_ + byte] = static_cast<std::uint8_t>(accumulator_ >> (8 * byte));
    }
    written_ += 4;
    accumulator_ >>= 32;
    bits_ -= 32;
  }

  std::vector<std::uint8_t>& out_;
  static constexpr std::uint16_t kNoMemo = 0xFFFF;  // no index is this large
  std::array<std::uint32_t, kHashSize> table_;      // key << 12 | code, or kEmpty
  std::array<std::uint16_t, kLzwCodes> memo_index_;
  std::array<std::uint16_t, kLzwCodes> memo_child_;
  std::vector<std::uint8_t>& codes_buffer_;
  std::uint8_t* codes_ = nullptr;  // codes_buffer_'s bytes
  std::size_t written_ = 0;
  std::uint64_t accumulator_ = 0;
  int bits_ = 0;
  int width_ = 0;
  int next_code_ = 0;
};

void PutWord(std::vector<std::uint8_t>& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

int TableBits(std::size_t colours) {
  int bits = 1;
  while ((std::size_t{1} << bits) < colours) ++bits;
  return bits;
}

void PutColourTable(std::vector<std::uint8_t>& out, const std::vector<std::uint32_t>& palette,
                    int bits) {
  for (std::size_t i = 0; i < (std::size_t{1} << bits); ++i) {
    std::uint8_t rgba[4] = {0, 0, 0, 0};
    if (i < palette.size()) std::memcpy(rgba, &palette[i], sizeof rgba);
    out.insert(out.end(), rgba, rgba + 3);
  }
}

// The GIF file of `picture`; `codes` is scratch space.
std::vector<std::uint8_t> EncodeGif(const IndexedPicture& picture, int delay_cs,
                                    std::vector<std::uint8_t>& codes) {
  const std::vector<Tile>& tiles = picture.tiles;
  const bool one = tiles.size() == 1;
  std::vector<std::uint8_t> out(Gif::kGif89aHeader.begin(), Gif::kGif89aHeader.end());
  PutWord(out, picture.width);
  PutWord(out, picture.height);
  const int global_bits = one ? TableBits(tiles[0].palette.size()) : 1;
  out.push_back(one ? static_cast<std::uint8_t>(Gif::kColourTableFlag |
                                                ((global_bits - 1) << Gif::kColourResolutionShift) |
                                                (global_bits - 1))
                    : 0);
  out.push_back(0);  // background colour index
  out.push_back(0);  // pixel aspect ratio
  if (one) PutColourTable(out, tiles[0].palette, global_bits);

  LzwWriter lzw(out, codes);
  for (std::size_t t = 0; t < tiles.size(); ++t) {
    const Tile& tile = tiles[t];
    out.insert(out.end(), Gif::kGraphicControlExtensionMarker.begin(),
               Gif::kGraphicControlExtensionMarker.end());
    out.push_back(static_cast<std::uint8_t>(Gif::kDisposalLeave << Gif::kDisposalShift |
                                            (tile.transparent ? Gif::kTransparentColourFlag : 0)));
    PutWord(out, t + 1 == tiles.size() ? delay_cs : 0);
    out.push_back(static_cast<std::uint8_t>(tile.transparent_index));
    out.push_back(Gif::kBlockTerminator);
    out.push_back(Gif::kImageSeparator);
    PutWord(out, tile.left);
    PutWord(out, tile.top);
    PutWord(out, tile.width);
    PutWord(out, tile.height);
    const int bits = TableBits(tile.palette.size());
    out.push_back(one ? 0 : static_cast<std::uint8_t>(Gif::kColourTableFlag | (bits - 1)));
    if (!one) PutColourTable(out, tile.palette, bits);
    lzw.Write(tile.indices, std::max(2, bits));
  }
  out.push_back(Gif::kTrailer);
  return out;
}

}  // namespace

struct FrameEncoder::Buffers {
  std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor{
      nullptr, libdeflate_free_compressor};
  std::vector<std::uint8_t> rows, codes;
  // Room for the compressed rows, never cleared: only what libdeflate
  // writes is touched, mostly a small part of its bound, so most of a large
  // frame's pages are never faulted in, and a program ended mid-save (END)
  // has that many fewer to give back before it is gone.
  std::unique_ptr<std::uint8_t[]> packed;
  std::size_t packed_room = 0;
};

FrameEncoder::FrameEncoder() : buffers_(std::make_unique<Buffers>()) {}
FrameEncoder::~FrameEncoder() = default;

void FrameEncoder::Release() {
  // One huge picture does not hold its memory for the encoder's lifetime.
  for (std::vector<std::uint8_t>* buffer : {&buffers_->rows, &buffers_->codes}) {
    if (buffer->capacity() > kMostKeptBuffer) *buffer = {};
  }
  if (buffers_->packed_room > kMostKeptBuffer) {
    buffers_->packed.reset();
    buffers_->packed_room = 0;
  }
}

std::vector<std::uint8_t> FrameEncoder::FullFrameGif(const Canvas& canvas, int delay_cs) {
  std::vector<std::uint8_t> file = EncodeGif(IndexColours(canvas), delay_cs, buffers_->codes);
  Release();
  return file;
}

std::vector<std::uint8_t> EncodeFullFrameGif(const Canvas& canvas, int delay_cs) {
  return FrameEncoder().FullFrameGif(canvas, delay_cs);
}

std::vector<std::uint8_t> EncodePng(const Canvas& canvas) { return FrameEncoder().Png(canvas); }

std::vector<std::uint8_t> FrameEncoder::Png(const Canvas& canvas) {
  if (canvas.width <= 0 || canvas.height <= 0) {
    throw std::runtime_error("a PNG of " + std::to_string(canvas.width) + " x " +
                             std::to_string(canvas.height) + " pixels cannot be written");
  }
  // Every row behind its filter byte, "none": on frames of flat colours the
  // "up" filter came out no smaller (1500 frames of ffmpeg's testsrc2) and
  // took half as long again.
  const std::size_t width = static_cast<std::size_t>(canvas.width);
  const std::size_t row = 1 + width * sizeof(std::uint32_t);
  // The compressor and the buffers stay from frame to frame: allocated
  // afresh, a frame's megabytes went back to the system and were faulted in
  // again, which cost as much as compressing them.
  auto& compressor = buffers_->compressor;
  if (!compressor) compressor.reset(libdeflate_alloc_compressor(kPngLevel));
  if (!compressor) throw std::bad_alloc();
  std::vector<std::uint8_t>& rows = buffers_->rows;
  rows.resize(row * static_cast<std::size_t>(canvas.height));
  for (std::size_t y = 0; y < static_cast<std::size_t>(canvas.height); ++y) {
    rows[y * row] = kPngFilterNone;
    std::memcpy(rows.data() + y * row + 1, canvas.pixels.data() + y * width,
                width * sizeof(std::uint32_t));
  }
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), rows.size());
  if (buffers_->packed_room < bound) {
    buffers_->packed.reset();  // never two at once
    buffers_->packed = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
    buffers_->packed_room = bound;
  }
  const std::span<const std::uint8_t> packed(buffers_->packed.get(), bound);
  const std::size_t packed_size = libdeflate_zlib_compress(
      compressor.get(), rows.data(), rows.size(), buffers_->packed.get(), bound);
  if (packed_size == 0) throw std::runtime_error("the PNG's image data could not be compressed");

  std::vector<std::uint8_t> out(kPngSignature.begin(), kPngSignature.end());
  out.reserve(packed_size + kPngFraming);
  std::vector<std::uint8_t> header;
  PutBigEndian(header, static_cast<std::uint32_t>(canvas.width));
  PutBigEndian(header, static_cast<std::uint32_t>(canvas.height));
  header.insert(header.end(), {kPngBitDepth, kPngColourRgba, 0, 0, 0});  // deflate, none, none
  PutChunk(out, kPngHeaderChunk, header);
  for (std::size_t at = 0; at < packed_size; at += kLargestPngChunk) {
    PutChunk(out, kPngDataChunk, packed.subspan(at, std::min(kLargestPngChunk, packed_size - at)));
  }
  PutChunk(out, kPngEndChunk, {});
  Release();
  return out;
}

}  // namespace FrameCompose
