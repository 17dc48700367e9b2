#pragma once

// The command line of mervane-split, read the GNU way: options anywhere,
// "--" ends them, "-h"/"--help" and "--version" win over everything else.

#include <optional>
#include <string>
#include <vector>

namespace Cli {

struct Arguments {
  bool help = false;
  bool version = false;
  std::string source;
  std::optional<std::string> prefix;  // absent: DefaultPrefix(source)
};

// What is wrong with a command line, in one line without the program name.
struct ArgumentError {
  std::string message;
};

// Reads `args` (without the program name). Returns Arguments, or sets
// `error` and returns nothing: an unknown option, no SOURCE, or more than two
// operands. With help or version set, the operands are not checked.
std::optional<Arguments> ParseArguments(const std::vector<std::string>& args, ArgumentError& error);

// The prefix frame files get when none is given: SOURCE's file name without
// its folder and without a final ".gif" in any case (the whole name when it
// has none), so that they land in the current folder.
std::string DefaultPrefix(const std::string& source);

}  // namespace Cli
