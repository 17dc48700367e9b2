// SPDX-License-Identifier: MIT
// File operations that differ by platform: the Linux side, over POSIX
// descriptors, with /proc/self/exe for the executable's own path.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "toolkit/file_ops.h"
#include "toolkit/file_ops_internal.h"
#include "toolkit/platform_error.h"

namespace Toolkit {
namespace fs = std::filesystem;

namespace {

// Owns a POSIX descriptor, so that every way out of an operation closes it.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now so that a failing close (a deferred write error) is reported.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

}  // namespace

void Internal::ReadInto(const std::string& path, std::vector<std::uint8_t>& buffer,
                        std::size_t length, const std::function<void()>& between) {
  // Non-blocking, and checked once open: a pipe swapped in since the length
  // was taken must not block the read.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) throw ErrnoError("open", path, errno);
  struct stat opened {};
  if (::fstat(fd.get(), &opened) != 0) throw ErrnoError("open", path, errno);
  if (!S_ISREG(opened.st_mode)) {
    throw PlatformError("open", path, "not a regular file", FailureKind::kUnusable);
  }
  const std::size_t piece = between ? kReadPiece : length;
  buffer.reserve(length);
  // One read fills the buffer (or a piece of it); the loop only resumes a
  // read the kernel split.
  for (std::size_t done = 0; done < length;) {
    if (done == buffer.size()) buffer.resize(std::min(length, done + piece));
    const ssize_t got = ::read(fd.get(), buffer.data() + done, buffer.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw ErrnoError("read", path, errno);
    }
    if (got == 0) {
      throw PlatformError("read", path, "file became shorter while it was read",
                          FailureKind::kUnusable);
    }
    done += static_cast<std::size_t>(got);
    if (between && done == buffer.size()) between();
  }
}

namespace {

// Writes the three pieces to `fd`, at most Internal::kWritePiece bytes a
// call, resuming writes the kernel splits.
void WriteAll(int fd, const std::string& path, std::span<const std::uint8_t> first,
              std::span<const std::uint8_t> second, std::span<const std::uint8_t> third) {
  iovec pieces[3] = {
      {const_cast<std::uint8_t*>(first.data()), first.size()},
      {const_cast<std::uint8_t*>(second.data()), second.size()},
      {const_cast<std::uint8_t*>(third.data()), third.size()},
  };
  iovec* pending = pieces;
  int count = 3;
  while (count > 0) {
    Internal::ThrowIfEnding(path);
    iovec call[3];
    int used = 0;
    for (std::size_t room = Internal::kWritePiece; used < count && room > 0; ++used) {
      call[used] = pending[used];
      call[used].iov_len = std::min(room, pending[used].iov_len);
      room -= call[used].iov_len;
    }
    const ssize_t wrote = ::writev(fd, call, used);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      throw ErrnoError("write", path, errno);
    }
    // A short write: skip what went out and go on with the rest.
    std::size_t left = static_cast<std::size_t>(wrote);
    while (count > 0 && left >= pending->iov_len) {
      left -= pending->iov_len;
      ++pending;
      --count;
    }
    if (count > 0) {
      pending->iov_base = static_cast<std::uint8_t*>(pending->iov_base) + left;
      pending->iov_len -= left;
    }
  }
}

// O_EXCL never opens what stands at the name already, and with O_NOFOLLOW
// not even a dangling link's target is made.
constexpr int kCreateNew = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;

}  // namespace

void WriteFileInPieces(const std::string& path, std::span<const std::uint8_t> first,
                       std::span<const std::uint8_t> second, std::span<const std::uint8_t> third) {
  // Most names are new: the file is made in place, three calls in all.
  // Whatever goes wrong once it is made, the unfinished file goes with it.
  int raw = -1, refused = 0;
  const auto create = [&](const std::string& name) {
    raw = ::open(name.c_str(), kCreateNew, 0666);
    refused = errno;
    return raw >= 0;
  };
  if (Internal::UnfinishedFile unfinished; unfinished.Create(path, [&] { return create(path); })) {
    Descriptor fd(raw);
    WriteAll(fd.get(), path, first, second, third);
    if (fd.Close() != 0) throw ErrnoError("write", path, errno);
    unfinished.Keep();
    return;
  }
  if (refused != EEXIST) throw ErrnoError("create", path, refused);
  // Something stands there. Only a regular file is replaced, by a file of a
  // name of our own renamed over it once complete, so that it keeps its old
  // content if writing fails. Renaming replaces the entry itself: a link
  // planted there since the look is replaced, never written through.
  RequireFreeName(path, {});
  static std::atomic<unsigned> attempts{0};
  static const auto process = static_cast<unsigned>(::getpid());
  Internal::UnfinishedFile unfinished;
  for (int tries = 0; raw < 0 && tries < 100; ++tries) {
    const std::string temporary = Internal::TemporaryNameFor(path, process, attempts++);
    if (!unfinished.Create(temporary, [&] { return create(temporary); }) && refused != EEXIST)
      break;
  }
  if (raw < 0) throw ErrnoError("create", path, refused);
  const std::string& temporary = unfinished.Name();
  Descriptor fd(raw);
  WriteAll(fd.get(), path, first, second, third);
  if (fd.Close() != 0) throw ErrnoError("write", path, errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) throw ErrnoError("create", path, errno);
  unfinished.Keep();
}

EntryKind KindOf(const std::string& path) {
  // Asked once per frame name before a division: a plain lstat keeps that cheap.
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return EntryKind::kNothing;
  if (S_ISLNK(status.st_mode)) return EntryKind::kSymbolicLink;
  if (S_ISREG(status.st_mode)) return EntryKind::kRegularFile;
  if (S_ISDIR(status.st_mode)) return EntryKind::kFolder;
  return EntryKind::kOther;
}

bool Internal::HeldByAnotherUser(const std::string& path) {
  const uid_t self = ::geteuid();
  struct stat file {
  }, folder{};
  const fs::path native(path);
  const fs::path parent = native.has_parent_path() ? native.parent_path() : fs::path(".");
  if (self == 0 || ::lstat(path.c_str(), &file) != 0 || file.st_uid == self) return false;
  return ::stat(parent.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
         folder.st_uid != self;
}

bool NameFits(const std::string& path) {
  const fs::path native(path);
  const fs::path folder = native.has_parent_path() ? native.parent_path() : fs::path(".");
  errno = 0;
  long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (longest <= 0) longest = NAME_MAX;  // no folder yet, or no limit said
  return native.filename().native().size() <= static_cast<std::size_t>(longest);
}

std::string AppPath() {
  std::error_code code;
  const fs::path executable = fs::read_symlink("/proc/self/exe", code);
  if (code) throw Internal::CodeError("find", "/proc/self/exe", code);
  return FromPath(executable.parent_path());
}

std::string UserCacheFolder(const std::string& program) {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && *cache == '/') return std::string(cache) + "/" + program;
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return std::string(home) + "/.cache/" + program;
  throw PlatformError("find", "the user's cache folder", "no cache or home folder is set",
                      FailureKind::kNoSuchFolder);
}

void RequireOwnFolder(const std::string& path, bool make, FolderAccess access) {
  if (make && ::mkdir(path.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
    if (errno != ENOENT) throw ErrnoError("create folder", path, errno);
    MkDirAll(FromPath(ToPath(path).parent_path()));
    if (::mkdir(path.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
      throw ErrnoError("create folder", path, errno);
    }
  }
  RequireRealFolder(path);
  // Looked at, and closed, through one descriptor: a link put there since
  // is refused, never followed.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat folder {};
  if (fd.get() < 0 || ::fstat(fd.get(), &folder) != 0) throw ErrnoError("use", path, errno);
  if (folder.st_uid != ::geteuid()) {
    throw PlatformError("use", path, "it belongs to another user", FailureKind::kDenied);
  }
  // Another user who may write in the folder may put files there, or
  // replace ours; one who may only read it may still learn what we keep.
  const mode_t closed = access == FolderAccess::kNobody ? (S_IRWXG | S_IRWXO) : (S_IWGRP | S_IWOTH);
  if ((folder.st_mode & closed) == 0) return;
  // A folder of the program's own that a umask of 002 left open to the
  // user's group is closed; nothing in it is trusted for having been there.
  if (make && ::fchmod(fd.get(), folder.st_mode & 07777 & ~closed) == 0) return;
  throw PlatformError("use", path,
                      (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0 ? "other users may write in it"
                                                                  : "other users may open it",
                      FailureKind::kDenied);
}

std::optional<std::string> ReadOwnFile(const std::string& path, std::size_t limit) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat opened {};
  if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != ::geteuid() ||
      static_cast<std::uintmax_t>(opened.st_size) > limit) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(opened.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

std::string PathSeparator() { return "/"; }

bool IsPlatformHelpRequest(const std::string&) { return false; }

bool IsPlatformOptionForm(const std::string&) { return false; }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // The bytes of each argument are the file names' own bytes here.
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

}  // namespace Toolkit
