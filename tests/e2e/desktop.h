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

// A window's place and size on the screen, frame included where there is one.
struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
};
inline WindowRect GeometryOf(const std::string& window) {
  WindowRect rect;
  std::istringstream shell(Xdotool({"getwindowgeometry", "--shell", window}).out);
  for (std::string line; std::getline(shell, line);) {
    const auto value = [&] { return std::stoi(line.substr(line.find('=') + 1)); };
    if (line.rfind("X=", 0) == 0) rect.x = value();
    if (line.rfind("Y=", 0) == 0) rect.y = value();
    if (line.rfind("WIDTH=", 0) == 0) rect.width = value();
    if (line.rfind("HEIGHT=", 0) == 0) rect.height = value();
  }
  return rect;
}

// The window that has the keyboard focus, and its title.
inline std::string FocusedWindow() {
  std::string id = Xdotool({"getwindowfocus"}).out;
  while (!id.empty() && id.back() == '\n') id.pop_back();
  return id;
}
inline std::string FocusedTitle() {
  std::string title = Xdotool({"getwindowfocus", "getwindowname"}).out;
  while (!title.empty() && title.back() == '\n') title.pop_back();
  return title;
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
