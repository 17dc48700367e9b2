// SPDX-License-Identifier: MIT
#include "toolkit/platform_error.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace Toolkit {

PlatformError::PlatformError(std::string operation, std::string path, std::string reason,
                             int number)
    : std::runtime_error("Cannot " + operation + " " + path + ": " + reason),
      operation_(std::move(operation)),
      path_(std::move(path)),
      reason_(std::move(reason)),
      number_(number) {}

int ErrorNumberOf(int errno_value) {
  struct Mapping {
    int errno_value;
    int number;
  };
  static constexpr Mapping kNumbers[] = {
      {ENOENT, ErrorNumber::kFileNotFound},     {ENOTDIR, ErrorNumber::kPathNotFound},
      {EACCES, ErrorNumber::kPermissionDenied}, {EPERM, ErrorNumber::kPermissionDenied},
      {EROFS, ErrorNumber::kPermissionDenied},  {ENOSPC, ErrorNumber::kDiskFull},
      {EFBIG, ErrorNumber::kOverflow},          {EOVERFLOW, ErrorNumber::kOverflow},
  };
  for (const Mapping& mapping : kNumbers) {
    if (mapping.errno_value == errno_value) return mapping.number;
  }
  return ErrorNumber::kPathFileAccessError;
}

PlatformError ErrnoError(std::string operation, std::string path, int errno_value) {
  return PlatformError(std::move(operation), std::move(path), std::strerror(errno_value),
                       ErrorNumberOf(errno_value));
}

}  // namespace Toolkit
