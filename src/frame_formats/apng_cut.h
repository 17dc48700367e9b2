// SPDX-License-Identifier: MIT
#pragma once

// APNG's animation blocks: the animation control (acTL) before the image
// data, a frame control (fcTL) opening each frame, and the frame's data in
// the default image's IDAT chunks (when that image is the first frame) or in
// fdAT chunks. Every chunk's CRC is checked: a frame file gets a new CRC, so
// a damaged source would otherwise come out looking whole.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame_formats/format_status.h"

namespace FrameFormats {

struct ApngFrame {
  FrameRecord record;
  std::size_t control_offset = 0;  // of the frame's fcTL chunk
  // The frame's compressed image data, in order: IDAT data, or fdAT data
  // without their sequence numbers.
  std::vector<ByteRange> data;
};

// Where each frame's chunks are. Offsets are into the source it was made from.
struct ApngPlan {
  int width = 0, height = 0;
  ByteRange header;  // the IHDR chunk's 13 data bytes
  std::optional<ByteRange> palette, transparency;
  std::uint32_t plays = 0;  // 0 = for ever
  // False when the default image is shown by viewers without animation
  // only; it is then neither cut nor composed.
  bool default_image_is_frame = false;
  std::vector<ApngFrame> frames;
  // Set when the file ends inside a chunk before IEND (kPastEnd), or a
  // chunk after the first frame's data fails its CRC or has a length no
  // chunk may have: `frames` then holds only those whose data are surely
  // whole, and `frames_lost` is set. Also set, with every frame read, when
  // one chunk's length alone ran past the end while a good CRC closed it
  // sooner (kChunkLength).
  std::optional<Status> damage;
  bool frames_lost = false;
};

// Reads the chunk structure of `source` into `plan`, checking the header,
// every chunk's CRC and length, sequence numbers (0, 1, 2, ... across fcTL
// and fdAT), each frame's region against the canvas, and the budgets: the
// canvas before any frame, acTL's frame count before any frame is listed.
// Nothing is inflated. A complete file's frame count must equal acTL's.
// A file cut short, or whose chunks are damaged (CRC, length) past its
// first whole frame, gives the frames before the damage, with `damage` set,
// or the damage when no frame is whole. A chunk whose length runs past the end
// but whose CRC checks out at a shorter length (Png::ClosingLength) is
// read at that length, once, and noted in `damage`. Returns kNotThisFormat for a file
// without the PNG signature or without acTL before its first IDAT (a plain
// PNG). REQUIRES: nothing. Memory is proportional to the chunk count.
Status ReadApng(std::span<const std::uint8_t> source, const Budgets& budgets, ApngPlan& plan);

// ReadApng, throwing FrameSplit::DivideError naming `source_name`, the
// byte and the reason on any fault.
ApngPlan PlanApngCuts(std::span<const std::uint8_t> source, const std::string& source_name,
                      const Budgets& budgets = {});

// The PNG file of frame `number` (1-based) of `plan`, cut from `source`:
// the PNG signature; IHDR with the frame's width and height and the
// source's other header fields; the source's PLTE and tRNS where present;
// one IDAT for each of the frame's data chunks, holding their bytes
// unchanged; IEND. Only lengths and CRCs are new. REQUIRES: plan was made
// by ReadApng from this `source`, 1 <= number <= plan.frames.size().
std::vector<std::uint8_t> ApngFrameFileBytes(std::span<const std::uint8_t> source,
                                             const ApngPlan& plan, int number);

// The same file with `image_data` as its one IDAT's data in place of the
// frame's own: the frame's picture in another zlib stream, for a decoder.
// REQUIRES: as ApngFrameFileBytes; image_data.size() <= 2^31 - 1.
std::vector<std::uint8_t> ApngFrameFileWithData(std::span<const std::uint8_t> source,
                                                const ApngPlan& plan, int number,
                                                std::span<const std::uint8_t> image_data);

}  // namespace FrameFormats
