#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

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

std::optional<Arguments> ParseArguments(const std::vector<std::string>& args,
                                        ArgumentError& error) {
  Arguments parsed;
  std::vector<std::string> operands;
  std::optional<std::string> unknown;
  bool options_ended = false;
  for (const std::string& arg : args) {
    if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      parsed.help = true;
    } else if (arg == "--version") {
      parsed.version = true;
    } else if (!unknown) {
      unknown = arg;
    }
  }
  if (parsed.help || parsed.version) return parsed;
  if (unknown) {
    error.message = (unknown->rfind("--", 0) == 0 ? "unrecognized option '" : "invalid option '") +
                    *unknown + "'";
    return std::nullopt;
  }
  if (operands.empty()) {
    error.message = "missing SOURCE";
    return std::nullopt;
  }
  if (operands.size() > 2) {
    error.message = "extra operand '" + operands[2] + "'";
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
