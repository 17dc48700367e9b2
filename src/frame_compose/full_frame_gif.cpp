// SPDX-License-Identifier: MIT
#include "frame_compose/full_frame_gif.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "gif_format/gif_markers.h"

namespace FrameCompose {
namespace {

constexpr int kLzwBits = Gif::kLzwMostBits;
constexpr int kLzwCodes = 1 << kLzwBits;

using Tile = IndexedPicture::Tile;

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

}  // namespace

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

}  // namespace FrameCompose
