#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>

namespace Cli {
namespace {

constexpr char kGifExtension[] = ".gif";

bool EndsWithNoCase(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         std::equal(ending.begin(), ending.end(), text.end() - static_cast<long>(ending.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

std::optional<FrameSelection> FrameSelection::Parse(const std::string& list) {
  FrameSelection selection;
  std::size_t at = 0;
  const auto number = [&](int& value) {
    const std::size_t start = at;
    long long parsed = 0;
    while (at < list.size() && std::isdigit(static_cast<unsigned char>(list[at])) &&
           parsed <= std::numeric_limits<int>::max()) {
      parsed = parsed * 10 + (list[at++] - '0');
    }
    value = static_cast<int>(std::min<long long>(parsed, std::numeric_limits<int>::max()));
    return at > start && parsed >= 1;
  };
  do {
    Range range{0, 0};
    if (!number(range.first)) return std::nullopt;
    range.last = range.first;
    if (at < list.size() && list[at] == '-') {
      ++at;
      range.last = std::numeric_limits<int>::max();
      if (at < list.size() && list[at] != ',' &&
          (!number(range.last) || range.last < range.first)) {
        return std::nullopt;
      }
    }
    selection.ranges_.push_back(range);
  } while (at < list.size() && list[at++] == ',');
  if (at != list.size() || list.empty() || list.back() == ',') return std::nullopt;
  return selection;
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
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
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
    } else if (arg == "--frames" || arg.rfind("--frames=", 0) == 0) {
      std::string list;
      if (arg == "--frames") {
        if (i + 1 == args.size()) {
          complain("option '--frames' requires an argument");
          continue;
        }
        list = args[++i];
      } else {
        list = arg.substr(std::string("--frames=").size());
      }
      if (const auto frames = FrameSelection::Parse(list)) {
        parsed.frames = *frames;
      } else {
        complain("invalid frame list '" + list +
                 "' (use numbers from 1 and ranges, as in 3-10,15)");
      }
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
