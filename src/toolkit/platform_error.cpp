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
  int number = ErrorNumber::kPathFileAccessError;
  switch (errno_value) {
    case ENOENT:
      number = ErrorNumber::kFileNotFound;
      break;
    case ENOTDIR:
      number = ErrorNumber::kPathNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      number = ErrorNumber::kPermissionDenied;
      break;
    case ENOSPC:
      number = ErrorNumber::kDiskFull;
      break;
    case EFBIG:
    case EOVERFLOW:
      number = ErrorNumber::kOverflow;
      break;
    default:
      break;
  }
  return PlatformError(std::move(operation), std::move(path), std::strerror(errno_value), number);
}

}  // namespace Toolkit
