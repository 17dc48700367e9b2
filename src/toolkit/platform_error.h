// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace Toolkit {

// The one failure type of every platform operation. It names the operation
// that failed ("open", "create folder", ...), the path it was working on and
// the operating system's reason, and carries an error number, one of
// ErrorNumber below, that sorts the failure into a few kinds. The window
// shows the number beside the description when it cannot start ("Run-time
// error 'N'"), and tells a full disk from other failures of a drop by it.
class PlatformError : public std::runtime_error {
 public:
  PlatformError(std::string operation, std::string path, std::string reason, int number);

  const std::string& operation() const noexcept { return operation_; }
  const std::string& path() const noexcept { return path_; }
  const std::string& reason() const noexcept { return reason_; }
  int number() const noexcept { return number_; }

 private:
  std::string operation_;
  std::string path_;
  std::string reason_;
  int number_;
};

// The error numbers a PlatformError carries, as the start-up box shows them.
namespace ErrorNumber {
inline constexpr int kOverflow = 6;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDiskFull = 61;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
}  // namespace ErrorNumber

// The error number for an errno value; kPathFileAccessError for
// any value without a closer one.
int ErrorNumberOf(int errno_value);

// Builds a PlatformError from an errno value, choosing the error number from it.
PlatformError ErrnoError(std::string operation, std::string path, int errno_value);

}  // namespace Toolkit
