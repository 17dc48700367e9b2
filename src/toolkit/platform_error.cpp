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

PlatformError ErrnoError(std::string operation, std::string path, int errno_value) {
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
  int number = ErrorNumber::kPathFileAccessError;
  for (const Mapping& mapping : kNumbers) {
    if (mapping.errno_value == errno_value) number = mapping.number;
  }
  return PlatformError(std::move(operation), std::move(path), std::strerror(errno_value), number);
}

}  // namespace Toolkit
