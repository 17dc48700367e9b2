// SPDX-License-Identifier: MIT
#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>

namespace Cli {
namespace {

constexpr char kGifExtension[] = ".gif";
constexpr long long kMostJobs = 1024;  // threads for --jobs at most

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

std::optional<Arguments> ParseArguments(const std::vector<std::string>& args,
                                        ArgumentError& error) {
  Arguments parsed;
  std::vector<std::string> operands;
  std::optional<std::string> problem;
  const auto complain = [&](std::string text) {
    if (!problem) problem = std::move(text);
  };
  int outputs = 0;
  const auto choose = [&](Output output) {
    parsed.output = output;
    ++outputs;
  };
  bool options_ended = false;
  // The value of the option `name` at args[i], as "--name VALUE" (taking the
  // next argument) or "--name=VALUE"; nothing when args[i] is another option.
  bool wanted_value = false;
  const auto value_of = [&](const std::string& name, std::size_t& i) -> std::optional<std::string> {
    wanted_value = false;
    const std::string& arg = args[i];
    if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
    if (arg != name) return std::nullopt;
    if (i + 1 == args.size()) {
      complain("option '" + name + "' requires an argument");
      wanted_value = true;
      return std::nullopt;
    }
    return args[++i];
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    wanted_value = false;
    if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      parsed.help = true;
    } else if (arg == "--version") {
      parsed.version = true;
    } else if (arg == "--full") {
      choose(Output::kFullFrames);
    } else if (arg == "--png") {
      choose(Output::kPng);
    } else if (arg == "--info") {
      choose(Output::kInfo);
    } else if (arg == "--json") {
      parsed.json = true;
    } else if (const auto list = value_of("--frames", i)) {
      std::string bad;
      if (const auto frames = FrameSelection::Parse(*list, bad)) {
        parsed.frames = *frames;
        parsed.frames_text = *list;
      } else {
        complain("invalid frame list '" + *list + "' at '" + bad +
                 "' (use numbers from 1 and ranges, as in 3-10,15)");
      }
    } else if (const auto value = value_of("--limit-pixels", i)) {
      if (const auto limit = ParseCount(*value)) {
        parsed.limit_pixels = *limit;
      } else {
        complain("invalid pixel limit '" + *value + "' (use a whole number, 0 for no limit)");
      }
    } else if (const auto value = value_of("--jobs", i)) {
      const auto jobs = ParseCount(*value);
      if (jobs && *jobs >= 1 && *jobs <= kMostJobs) {
        parsed.jobs = static_cast<int>(*jobs);
      } else {
        complain("invalid job count '" + *value + "' (use a whole number from 1 to " +
                 std::to_string(kMostJobs) + ")");
      }
    } else if (wanted_value) {
      continue;  // an option that takes a value, given none
    } else {
      complain((arg.rfind("--", 0) == 0 ? "unrecognized option '" : "invalid option '") + arg +
               "'");
    }
  }
  if (parsed.help || parsed.version) return parsed;
  if (!problem && outputs > 1) problem = "choose one of --full, --png and --info";
  if (!problem && parsed.json && parsed.output != Output::kInfo) {
    problem = "--json goes with --info";
  }
  const std::size_t most_operands = parsed.output == Output::kInfo ? 1 : 2;
  if (!problem && operands.empty()) problem = "missing SOURCE";
  if (!problem && operands.size() > most_operands) {
    problem = "extra operand '" + operands[most_operands] + "'";
  }
  if (problem) {
    error.message = *problem;
    return std::nullopt;
  }
  parsed.source = operands[0];
  if (operands.size() == 2) parsed.prefix = operands[1];
  return parsed;
}

std::string DefaultPrefix(const std::string& source) {
  const std::u8string name =
      std::filesystem::path(std::u8string(source.begin(), source.end())).filename().u8string();
  std::string prefix(name.begin(), name.end());
  if (EndsWithNoCase(prefix, kGifExtension))
    prefix.resize(prefix.size() - (sizeof kGifExtension - 1));
  return prefix;
}

}  // namespace Cli
