// SPDX-License-Identifier: MIT
#pragma once

// A walk over a GIF stream's block structure, so that marker bytes count only
// where a block really starts, not where they turn up by chance inside a
// colour table, a comment or compressed image data.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace FrameSplit {

// Where the walk could not go on, and why.
struct WalkStop {
  std::size_t offset = 0;
  std::string reason;
};

struct BlockWalk {
  // Offsets of every extension introducer (21) the walk found at a block
  // start, ascending.
  std::vector<std::size_t> extension_starts;
  // Absent when the walk reached the trailer: nothing from there on is a
  // block. Otherwise the walk stopped at `stop->offset` (at most the source
  // size), and from there on every marker match counts, as a plain search
  // would count it.
  std::optional<WalkStop> stop;
};

// Walks `source` from its signature: the screen descriptor and global colour
// table, then extensions (21, label, sub-blocks to a 00), images (2C, 9
// descriptor bytes, local colour table, LZW minimum code size, sub-blocks to
// a 00), up to the trailer 3B. It stops at offset 0 when the source does not
// start with "GIF" or is shorter than its header and global colour table; at
// a block's start when the block runs past the end; at a byte that starts no
// known block; and at the source size when the data ends without a trailer.
// REQUIRES: nothing. Reads each sub-block length once, so it runs in about
// L / 256 steps on image data.
BlockWalk WalkBlocks(std::span<const std::uint8_t> source);

// Offsets of every `marker` match that counts under `walk`: matches at one of
// its extension starts, and every match at or after its stop. Ascending; at
// most `limit` of them. REQUIRES: marker starts with the extension introducer.
std::vector<std::size_t> CountingMatches(std::span<const std::uint8_t> source,
                                         const BlockWalk& walk,
                                         std::span<const std::uint8_t> marker,
                                         std::size_t limit = static_cast<std::size_t>(-1));

// First match of `marker` at or after `from`, by plain byte comparison, or
// kNoMatch.
inline constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);
std::size_t FindMarker(std::span<const std::uint8_t> source, std::size_t from,
                       std::span<const std::uint8_t> marker);

}  // namespace FrameSplit
