// SPDX-License-Identifier: MIT
#include "toolkit/platform_error.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace Toolkit {

PlatformError::PlatformError(std::string operation, std::string path, std::string reason,
                             FailureKind kind)
    : std::runtime_error("Cannot " + operation + " " + path + ": " + reason),
      operation_(std::move(operation)),
      path_(std::move(path)),
      reason_(std::move(reason)),
      kind_(kind) {}

FailureKind KindOfErrno(int errno_value) {
  struct Mapping {
    int errno_value;
    FailureKind kind;
  };
  static constexpr Mapping kKinds[] = {
      {ENOENT, FailureKind::kNotFound}, {ENOTDIR, FailureKind::kNoSuchFolder},
      {EACCES, FailureKind::kDenied},   {EPERM, FailureKind::kDenied},
      {EROFS, FailureKind::kDenied},    {ENOSPC, FailureKind::kDiskFull},
      {EFBIG, FailureKind::kTooLarge},  {EOVERFLOW, FailureKind::kTooLarge},
  };
  for (const Mapping& mapping : kKinds) {
    if (mapping.errno_value == errno_value) return mapping.kind;
  }
  return FailureKind::kUnusable;
}

PlatformError ErrnoError(std::string operation, std::string path, int errno_value) {
  return PlatformError(std::move(operation), std::move(path), std::strerror(errno_value),
                       KindOfErrno(errno_value));
}

}  // namespace Toolkit
