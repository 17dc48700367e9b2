// SPDX-License-Identifier: MIT
#pragma once

// Paths travel through the program as UTF-8 text; std::filesystem takes
// them as such on every platform only by way of char8_t, since a plain
// std::string would mean the ANSI code page on Windows. These two are the
// one crossing between the two forms.

#include <filesystem>
#include <string>

namespace Toolkit {

// The path that the UTF-8 text `text` names, unchanged byte for byte.
inline std::filesystem::path ToPath(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// `path` as UTF-8 text.
inline std::string FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace Toolkit
