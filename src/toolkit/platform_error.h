// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace Toolkit {

// What went wrong, from a closed set: callers decide by the kind, never by
// the words of the reason. Only the window's start-up box turns a kind into
// a number to show (MainWindow::ErrorNumberFor).
enum class FailureKind {
  kNotFound,      // nothing stands at the path, or none of what was sought
  kNoSuchFolder,  // a folder the path needs is missing, is not a folder, or cannot be named
  kDenied,        // permission, a read-only file system, or another user's file or folder
  kDiskFull,      // no room left on the device
  kTooLarge,      // past what its type holds: a file of 2 GiB or more, a 32-bit overflow
  kEmpty,         // a file of no bytes
  kNoHeight,      // a picture of no height, which its width cannot be divided by
  kNoSize,        // a picture of neither width nor height
  kUnusable,      // anything else: the wrong kind of entry, the program ending, any other
                  // system error
};

// The one failure type of every platform operation. It names the operation
// that failed ("open", "create folder", ...), the path it was working on and
// the operating system's reason, and carries the kind of the failure. The
// window tells a full disk from other failures of a drop by the kind.
class PlatformError : public std::runtime_error {
 public:
  PlatformError(std::string operation, std::string path, std::string reason, FailureKind kind);

  const std::string& operation() const noexcept { return operation_; }
  const std::string& path() const noexcept { return path_; }
  const std::string& reason() const noexcept { return reason_; }
  FailureKind kind() const noexcept { return kind_; }

 private:
  std::string operation_;
  std::string path_;
  std::string reason_;
  FailureKind kind_;
};

// The kind of failure an errno value reports; kUnusable for any value
// without a closer one.
FailureKind KindOfErrno(int errno_value);

// Builds a PlatformError from an errno value, its reason the system's text
// and its kind KindOfErrno's.
PlatformError ErrnoError(std::string operation, std::string path, int errno_value);

}  // namespace Toolkit
