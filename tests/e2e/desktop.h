// SPDX-License-Identifier: MIT
#pragma once

// What the end-to-end tests do on the X server: wait for it, run xdotool,
// find a window by its title, and put a copy of mervane in a folder of its own.

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"

namespace GifTest {

inline ProcessResult Xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "/usr/bin/xdotool");
  return RunProcess(args);
}

// Waits until the X server named by DISPLAY answers, so that a program
// started next does not race the server's start-up on a loaded machine.
inline bool WaitForXServer(double seconds = 30) {
  return PollUntil(seconds, [] { return Xdotool({"getmouselocation"}).exit_code == 0; });
}

// The id of the first visible window titled exactly `title`, or empty text.
inline std::string FindWindow(const std::string& title) {
  std::istringstream lines(Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"}).out);
  std::string first;
  std::getline(lines, first);
  return first;
}

// Copies the built mervane into `folder` (made if missing), where it will
// keep its work folder; returns the copy's path.
inline std::filesystem::path CopyMervane(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(MERVANE_EXE, folder / "mervane");
  std::filesystem::permissions(folder / "mervane", std::filesystem::perms::owner_all);
  return folder / "mervane";
}

}  // namespace GifTest
