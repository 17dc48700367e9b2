// SPDX-License-Identifier: MIT
#pragma once

namespace MainWindow {

// Raises a flag of the window's, such as busy (a drop or a save being
// worked on) or a drag out under way, for as long as the handler that made
// it runs, and lowers it however that handler ends.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;
  ~FlagScope() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace MainWindow
