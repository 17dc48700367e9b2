// SPDX-License-Identifier: MIT
#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "toolkit/file_ops.h"
#include "toolkit/utf8_path.h"

namespace Cli {
namespace {

constexpr long long kMostJobs = 1024;  // threads for --jobs at most
constexpr long long kMostSheetColumns = 65535;

bool EndsWithNoCase(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         std::equal(ending.begin(), ending.end(), text.end() - static_cast<long>(ending.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

// A whole decimal number that fits in a long long, every character a digit.
std::optional<long long> ParseCount(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<FrameSelection> FrameSelection::Parse(const std::string& list, std::string& bad) {
  FrameSelection selection;
  std::size_t at = 0;
  const auto refuse = [&](std::size_t from) {
    bad = from < list.size() ? list.substr(from) : "(nothing)";
    return std::nullopt;
  };
  // A number from 1 to INT_MAX at `at`, or nothing.
  const auto number = [&]() -> std::optional<int> {
    const std::size_t start = at;
    long long parsed = 0;
    while (at < list.size() && list[at] >= '0' && list[at] <= '9') {
      parsed = parsed * 10 + (list[at++] - '0');
      if (parsed > std::numeric_limits<int>::max()) return std::nullopt;
    }
    if (at == start || parsed < 1) return std::nullopt;
    return static_cast<int>(parsed);
  };
  for (;;) {
    const std::size_t item = at;
    const std::optional<int> first = number();
    if (!first) return refuse(item);
    Range range{*first, *first};
    if (at < list.size() && list[at] == '-') {
      ++at;
      range.last = std::numeric_limits<int>::max();
      if (at < list.size() && list[at] != ',') {
        const std::optional<int> last = number();
        if (!last || *last < range.first) return refuse(item);
        range.last = *last;
      }
    }
    selection.ranges_.push_back(range);
    if (at == list.size()) return selection;
    if (list[at] != ',') return refuse(at);
    ++at;
  }
}

bool FrameSelection::Contains(int number) const {
  return ranges_.empty() || std::any_of(ranges_.begin(), ranges_.end(), [&](const Range& range) {
           return range.first <= number && number <= range.last;
         });
}

std::optional<int> FrameSelection::Last() const {
  int last = 0;
  for (const Range& range : ranges_) last = std::max(last, range.last);
  if (ranges_.empty() || last == std::numeric_limits<int>::max()) return std::nullopt;
  return last;
}

namespace {

// An option that takes a value sets its field, or says what is wrong with
// the value.
using ValueSetter = std::optional<std::string> (*)(const std::string& value, Arguments& parsed);

std::optional<std::string> SetFrames(const std::string& list, Arguments& parsed) {
  std::string bad;
  const auto frames = FrameSelection::Parse(list, bad);
  if (!frames) {
    return "invalid frame list '" + list + "' at '" + bad +
           "' (use numbers from 1 and ranges, as in 3-10,15)";
  }
  parsed.frames = *frames;
  parsed.frames_text = list;
  return std::nullopt;
}

std::optional<std::string> SetLimitPixels(const std::string& value, Arguments& parsed) {
  const auto limit = ParseCount(value);
  if (!limit) return "invalid pixel limit '" + value + "' (use a whole number, 0 for no limit)";
  parsed.limit_pixels = *limit;
  return std::nullopt;
}

std::optional<std::string> SetJobs(const std::string& value, Arguments& parsed) {
  const auto jobs = ParseCount(value);
  if (!jobs || *jobs < 1 || *jobs > kMostJobs) {
    return "invalid job count '" + value + "' (use a whole number from 1 to " +
           std::to_string(kMostJobs) + ")";
  }
  parsed.jobs = static_cast<int>(*jobs);
  return std::nullopt;
}

std::optional<std::string> SetSheet(const std::string& value, Arguments& parsed) {
  const auto columns = ParseCount(value);
  if (!columns || *columns < 1 || *columns > kMostSheetColumns) {
    return "invalid column count '" + value + "' (use a whole number from 1 to " +
           std::to_string(kMostSheetColumns) + ")";
  }
  parsed.sheet_columns = static_cast<int>(*columns);
  return std::nullopt;
}

struct ValuedOption {
  const char* name;
  ValueSetter set;
};
constexpr ValuedOption kValuedOptions[] = {{"--frames", SetFrames},
                                           {"--limit-pixels", SetLimitPixels},
                                           {"--jobs", SetJobs},
                                           {"--sheet", SetSheet}};

// Reads the arguments one by one; the first problem found is the one told.
class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  std::optional<Arguments> Run(ArgumentError& error) {
    for (std::size_t i = 0; i < args_.size(); ++i) Take(i);
    if (parsed_.help || parsed_.version) return parsed_;
    CheckTogether();
    if (problem_) {
      error.message = *problem_;
      return std::nullopt;
    }
    parsed_.source = operands_[0];
    if (operands_.size() == 2) parsed_.prefix = operands_[1];
    return parsed_;
  }

 private:
  // Takes args_[i], and the value after it when it is an option's.
  void Take(std::size_t& i) {
    const std::string& arg = args_[i];
    if (!options_ended_ && Toolkit::IsPlatformHelpRequest(arg)) {
      parsed_.help = true;
    } else if (!options_ended_ && Toolkit::IsPlatformOptionForm(arg)) {
      Complain("unknown option '" + arg + "'");
    } else if (options_ended_ || arg == "-" || arg.empty() || arg[0] != '-') {
      operands_.push_back(arg);
    } else if (arg == "--") {
      options_ended_ = true;
    } else if (!TakeFlag(arg) && !TakeValued(i)) {
      Complain("unknown option '" + arg + "'");
    }
  }

  bool TakeFlag(const std::string& arg) {
    if (arg == "-h" || arg == "--help") {
      parsed_.help = true;
    } else if (arg == "--version") {
      parsed_.version = true;
    } else if (arg == "--full") {
      Choose(Output::kFullFrames);
    } else if (arg == "--png") {
      Choose(Output::kPng);
    } else if (arg == "--info") {
      Choose(Output::kInfo);
    } else if (arg == "--json") {
      parsed_.json = true;
    } else if (arg == "--distinct") {
      parsed_.distinct = true;
    } else {
      return false;
    }
    return true;
  }

  // An option with its value, as "--name VALUE" or "--name=VALUE"; false
  // when args_[i] is no such option.
  bool TakeValued(std::size_t& i) {
    const std::string& arg = args_[i];
    for (const ValuedOption& option : kValuedOptions) {
      const std::string name = option.name;
      std::string value;
      if (arg.rfind(name + "=", 0) == 0) {
        value = arg.substr(name.size() + 1);
      } else if (arg != name) {
        continue;
      } else if (i + 1 == args_.size()) {
        Complain("option '" + name + "' requires an argument");
        return true;
      } else {
        value = args_[++i];
      }
      if (auto wrong = option.set(value, parsed_)) Complain(std::move(*wrong));
      if (name == "--sheet") Choose(Output::kSheet);
      return true;
    }
    return false;
  }

  void Choose(Output output) {
    parsed_.output = output;
    ++outputs_;
  }

  void CheckTogether() {
    if (outputs_ > 1) Complain("choose one of --full, --png, --sheet and --info");
    const Output output = parsed_.output;
    if (parsed_.distinct && output != Output::kFullFrames && output != Output::kPng &&
        output != Output::kSheet) {
      Complain("--distinct goes with --full, --png or --sheet");
    }
    if (parsed_.jobs != 0 && output != Output::kFullFrames && output != Output::kPng) {
      // A sheet is one file, and the exact cut copies bytes: one thread each.
      Complain("--jobs goes with --full or --png (the other outputs are written by one thread)");
    }
    const std::size_t most_operands = parsed_.output == Output::kInfo ? 1 : 2;
    if (operands_.empty()) Complain("missing SOURCE");
    if (operands_.size() > most_operands) {
      Complain("extra operand '" + operands_[most_operands] + "'");
    }
  }

  void Complain(std::string text) {
    if (!problem_) problem_ = std::move(text);
  }

  const std::vector<std::string>& args_;
  Arguments parsed_;
  std::vector<std::string> operands_;
  std::optional<std::string> problem_;
  int outputs_ = 0;
  bool options_ended_ = false;
};

}  // namespace

std::optional<Arguments> ParseArguments(const std::vector<std::string>& args,
                                        ArgumentError& error) {
  return Parser(args).Run(error);
}

std::string DefaultPrefix(const std::string& source, const std::string& extension) {
  std::string prefix = Toolkit::FromPath(Toolkit::ToPath(source).filename());
  if (EndsWithNoCase(prefix, extension)) prefix.resize(prefix.size() - extension.size());
  return prefix;
}

}  // namespace Cli
