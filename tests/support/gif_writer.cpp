// SPDX-License-Identifier: MIT
#include "support/gif_writer.h"

#include <algorithm>
#include <unordered_map>

namespace GifTest {
namespace {

void PutWord(Bytes& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// Packs variable-width codes least significant bit first, as GIF wants.
class BitPacker {
 public:
  void Put(int code, int width) {
    accumulator_ |= static_cast<std::uint32_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      bytes_.push_back(static_cast<std::uint8_t>(accumulator_ & 0xFF));
      accumulator_ >>= 8;
      bits_ -= 8;
    }
  }
  Bytes Finish() {
    if (bits_ > 0) bytes_.push_back(static_cast<std::uint8_t>(accumulator_ & 0xFF));
    return bytes_;
  }

 private:
  Bytes bytes_;
  std::uint32_t accumulator_ = 0;
  int bits_ = 0;
};

}  // namespace

int ColourBits(std::size_t palette_size) {
  int bits = 1;
  while ((std::size_t{1} << bits) < palette_size && bits < 8) ++bits;
  return bits;
}

Bytes HeaderAndScreen(int width, int height, std::span<const Rgb> palette) {
  Bytes out = FromText("GIF89a");
  PutWord(out, width);
  PutWord(out, height);
  const int bits = ColourBits(palette.size());
  out.push_back(static_cast<std::uint8_t>(0x80 | ((bits - 1) << 4) | (bits - 1)));
  out.push_back(0);  // background colour index
  out.push_back(0);  // pixel aspect ratio
  for (std::size_t i = 0; i < (std::size_t{1} << bits); ++i) {
    const Rgb colour = i < palette.size() ? palette[i] : Rgb{};
    out.insert(out.end(), {colour.r, colour.g, colour.b});
  }
  return out;
}

Bytes LoopingExtension() {
  Bytes out = {0x21, 0xFF, 0x0B};
  Append(out, FromText("NETSCAPE2.0"));
  out.insert(out.end(), {0x03, 0x01, 0x00, 0x00, 0x00});
  return out;
}

Bytes GraphicControlExtension(std::uint16_t delay, int disposal, int transparent) {
  Bytes out = {0x21, 0xF9, 0x04,
               static_cast<std::uint8_t>((disposal << 2) | (transparent >= 0 ? 1 : 0))};
  PutWord(out, delay);
  out.push_back(static_cast<std::uint8_t>(transparent >= 0 ? transparent : 0));
  out.push_back(0x00);  // block terminator
  return out;
}

Bytes CommentExtension(const std::string& text) {
  Bytes out = {0x21, 0xFE};
  for (std::size_t at = 0; at < text.size(); at += 255) {
    const std::string piece = text.substr(at, 255);
    out.push_back(static_cast<std::uint8_t>(piece.size()));
    Append(out, FromText(piece));
  }
  out.push_back(0x00);
  return out;
}

Bytes LzwSubBlocks(std::span<const std::uint8_t> indices, int min_code_size) {
  const int clear = 1 << min_code_size;
  const int end_of_information = clear + 1;
  BitPacker packer;
  std::unordered_map<std::uint32_t, int> table;
  int width = min_code_size + 1;
  int next_code = clear + 2;
  packer.Put(clear, width);
  int prefix = -1;
  for (const std::uint8_t index : indices) {
    if (prefix < 0) {
      prefix = index;
      continue;
    }
    const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8) | index;
    const auto found = table.find(key);
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    packer.Put(prefix, width);
    // Start afresh one code short of the 12-bit limit, as common encoders do,
    // so that no decoder has to handle a full table.
    if (next_code < 4095) {
      table.emplace(key, next_code);
      // The decoder widens one code later than the encoder adds the entry.
      if (next_code == (1 << width) && width < 12) ++width;
      ++next_code;
    } else {
      packer.Put(clear, width);
      table.clear();
      width = min_code_size + 1;
      next_code = clear + 2;
    }
    prefix = index;
  }
  if (prefix >= 0) packer.Put(prefix, width);
  packer.Put(end_of_information, width);
  const Bytes packed = packer.Finish();

  Bytes out;
  for (std::size_t at = 0; at < packed.size(); at += 255) {
    const std::size_t size = std::min<std::size_t>(255, packed.size() - at);
    out.push_back(static_cast<std::uint8_t>(size));
    out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
               packed.begin() + static_cast<std::ptrdiff_t>(at + size));
  }
  return out;
}

Bytes ImageDescriptorAndData(const Frame& frame, int colour_bits) {
  Bytes out = {0x2C};
  PutWord(out, frame.left);
  PutWord(out, frame.top);
  PutWord(out, frame.width);
  PutWord(out, frame.height);
  const bool local = !frame.local_palette.empty();
  if (local) colour_bits = ColourBits(frame.local_palette.size());
  out.push_back(static_cast<std::uint8_t>((local ? 0x80 | (colour_bits - 1) : 0) |
                                          (frame.interlaced ? 0x40 : 0)));
  for (std::size_t i = 0; local && i < (std::size_t{1} << colour_bits); ++i) {
    const Rgb colour = i < frame.local_palette.size() ? frame.local_palette[i] : Rgb{};
    out.insert(out.end(), {colour.r, colour.g, colour.b});
  }
  // Interlaced rows go in four passes: every 8th from 0, every 8th from 4,
  // every 4th from 2, every 2nd from 1.
  std::vector<std::uint8_t> rows;
  for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
    for (int y = frame.interlaced ? start : 0; y < frame.height; y += frame.interlaced ? step : 1) {
      const auto row = frame.indices.begin() + static_cast<std::ptrdiff_t>(y) * frame.width;
      rows.insert(rows.end(), row, row + frame.width);
    }
    if (!frame.interlaced) break;
  }
  const int min_code_size = colour_bits < 2 ? 2 : colour_bits;
  out.push_back(static_cast<std::uint8_t>(min_code_size));
  Append(out, LzwSubBlocks(rows, min_code_size));
  out.push_back(0x00);  // block terminator
  return out;
}

Bytes ConstantLzwSubBlocks(std::uint64_t count, std::uint8_t index, int min_code_size) {
  const int clear = 1 << min_code_size;
  Bytes packed;
  std::uint64_t accumulator = 0;
  int bits = 0;
  const auto put = [&](int code, int width) {
    accumulator |= static_cast<std::uint64_t>(code) << bits;
    for (bits += width; bits >= 8; bits -= 8, accumulator >>= 8) {
      packed.push_back(static_cast<std::uint8_t>(accumulator));
    }
  };
  int width = min_code_size + 1, next = clear + 2;
  std::uint64_t length = 1;  // each string is one longer than the one before
  put(clear, width);
  while (count > 0) {
    const std::uint64_t sent = std::min(length, count);
    put(sent == 1 ? index : clear + static_cast<int>(sent), width);
    count -= sent;
    if (count == 0) break;
    if (next < 4095) {
      if (next == (1 << width) && width < 12) ++width;
      ++next;
      length = sent + 1;
    } else {
      put(clear, width);
      width = min_code_size + 1, next = clear + 2, length = 1;
    }
  }
  put(clear + 1, width);
  if (bits > 0) packed.push_back(static_cast<std::uint8_t>(accumulator));
  Bytes out;
  for (std::size_t at = 0; at < packed.size(); at += 255) {
    const std::size_t size = std::min<std::size_t>(255, packed.size() - at);
    out.push_back(static_cast<std::uint8_t>(size));
    out.insert(out.end(), packed.begin() + static_cast<long>(at),
               packed.begin() + static_cast<long>(at + size));
  }
  return out;
}

Bytes ConstantFrames(int count, int frame_width, int frame_height, int screen_width,
                     int screen_height, int colours) {
  const Rgb two[] = {{255, 0, 0}, {0, 128, 0}};
  Bytes out = HeaderAndScreen(screen_width, screen_height, two);
  Append(out, LoopingExtension());
  for (int i = 0; i < count; ++i) {
    Append(out, GraphicControlExtension(10));
    out.insert(out.end(), {0x2C, 0, 0, 0, 0});  // at the top left
    PutWord(out, frame_width);
    PutWord(out, frame_height);
    out.insert(out.end(), {0x00, 0x02});  // no local table; LZW minimum code size
    Append(out, ConstantLzwSubBlocks(static_cast<std::uint64_t>(frame_width) * frame_height,
                                     static_cast<std::uint8_t>(i % colours), 2));
    out.push_back(0x00);
  }
  Append(out, Trailer());
  return out;
}

Bytes Trailer() { return {0x3B}; }

Bytes Encode(const Animation& animation) {
  Bytes out = HeaderAndScreen(animation.width, animation.height, animation.palette);
  if (animation.looping) Append(out, LoopingExtension());
  const int bits = ColourBits(animation.palette.size());
  for (const Frame& frame : animation.frames) {
    if (frame.control) {
      Append(out, GraphicControlExtension(frame.delay, frame.disposal, frame.transparent));
    }
    Append(out, ImageDescriptorAndData(frame, bits));
  }
  Append(out, Trailer());
  return out;
}

Animation SolidFrames(int count, int width, int height) {
  Animation animation;
  animation.width = width;
  animation.height = height;
  animation.palette = {{255, 0, 0}, {0, 128, 0}, {0, 0, 255}, {255, 255, 0}};
  for (int i = 0; i < count; ++i) {
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.indices.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                         static_cast<std::uint8_t>(i % 4));
    animation.frames.push_back(frame);
  }
  return animation;
}

Bytes Concat(std::initializer_list<Bytes> pieces) {
  Bytes out;
  for (const Bytes& piece : pieces) Append(out, piece);
  return out;
}

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace GifTest
