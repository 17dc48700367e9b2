// SPDX-License-Identifier: MIT
#pragma once

namespace MainWindow {

// Marks the window busy (a drop or a save being worked on) for as long as
// the handler that made it runs.
class DividingScope {
 public:
  explicit DividingScope(bool& flag) : flag_(flag) { flag_ = true; }
  DividingScope(const DividingScope&) = delete;
  DividingScope& operator=(const DividingScope&) = delete;
  ~DividingScope() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace MainWindow
