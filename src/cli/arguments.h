// SPDX-License-Identifier: MIT
#pragma once

// The command line of mervane-split, read the GNU way: options anywhere,
// "--" ends them, "-h"/"--help" and "--version" win over everything else.

#include <optional>
#include <string>
#include <vector>

namespace Cli {

// Frame numbers picked by a list such as "3-10,15" or "20-" (to the end).
class FrameSelection {
 public:
  FrameSelection() = default;  // every frame
  // Reads `list`: items "N", "N-" and "N-M" separated by single commas,
  // every N a decimal number from 1 to 2^31-1. Nothing, with `bad` set to
  // the part that does not fit, when any character falls outside that
  // grammar, a number is 0 or too large, or a range runs backwards.
  static std::optional<FrameSelection> Parse(const std::string& list, std::string& bad);
  bool Contains(int number) const;
  // The last frame wanted, or nothing when every frame from some point on is.
  std::optional<int> Last() const;

 private:
  struct Range {
    int first, last;
  };
  std::vector<Range> ranges_;  // empty: every frame
};

inline constexpr long long kDefaultPixelLimit = 4'000'000'000;

// What is written for each frame.
enum class Output {
  kExactCut,    // the source's own bytes behind its header (the default)
  kFullFrames,  // a full-frame GIF as a viewer shows the frame (--full)
  kPng,         // an RGBA PNG of the same (--png)
  kSheet,       // one PNG holding every frame as it appears in a grid (--sheet)
  kInfo,        // no files: the frame facts on standard output (--info)
};

struct Arguments {
  bool help = false;
  bool version = false;
  Output output = Output::kExactCut;
  // --info as JSON; with files, their JSON beside them
  bool json = false;
  bool distinct = false;  // one frame per run of identical pictures
  int sheet_columns = 0;  // --sheet COLUMNS
  FrameSelection frames;
  std::string frames_text;  // the list as given, for messages
  // --full, --png and --sheet refuse more pixels than this in all (0: no limit).
  long long limit_pixels = kDefaultPixelLimit;
  // --full and --png use this many threads in all (0: the default).
  int jobs = 0;
  std::string source;
  std::optional<std::string> prefix;  // absent: DefaultPrefix(source)
};

// What is wrong with a command line, in one line without the program name.
struct ArgumentError {
  std::string message;
};

// Reads `args` (without the program name). Returns Arguments, or sets
// `error` and returns nothing: an unknown option ("-x", "--x", or in the
// platform's own form, Toolkit::IsPlatformOptionForm), a bad --frames
// list, two output kinds, --distinct without --full, --png or --sheet,
// --jobs without --full or --png, no SOURCE, or too many operands. With
// help or version set, nothing else is checked.
std::optional<Arguments> ParseArguments(const std::vector<std::string>& args, ArgumentError& error);

// The extension a GIF source's name ends in, dropped from its default prefix.
inline constexpr char kGifExtension[] = ".gif";

// The prefix frame files get when none is given: SOURCE's file name without
// its folder and without a final `extension` in any case (the whole name
// when it has none), so that they land in the current folder. The
// extension is the source's format's own, so that a GIF named "x.png"
// still divides into "x.png001.gif" as it always has. An empty extension
// gives the bare name, for a format that strips its own
// (FrameFormats::FormatSource::Stem).
std::string DefaultPrefix(const std::string& source, const std::string& extension = kGifExtension);

}  // namespace Cli
