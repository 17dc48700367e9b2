#include "toolkit/file_ops.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

#include "toolkit/platform_error.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace Toolkit {
namespace fs = std::filesystem;

namespace {

fs::path ToPath(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string FromPath(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

PlatformError LinkError(const std::string& operation, const std::string& path) {
  return PlatformError(operation, path, "a symbolic link stands at that name",
                       ErrorNumber::kPathFileAccessError);
}

PlatformError CodeError(const std::string& operation, const std::string& path,
                        const std::error_code& code) {
  return ErrnoError(operation, path, code.value());
}

#if !defined(_WIN32)
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
#endif

}  // namespace

std::int32_t FileLen(const std::string& path) {
  std::error_code code;
  const fs::path native = ToPath(path);
  const auto status = fs::status(native, code);
  if (code) throw CodeError("get the length of", path, code);
  // A folder, pipe or device has no length to read in one go; a pipe would
  // even block the read.
  if (!fs::is_regular_file(status)) {
    throw PlatformError("get the length of", path, "not a regular file",
                        ErrorNumber::kPathFileAccessError);
  }
  const std::uintmax_t size = fs::file_size(native, code);
  if (code) throw CodeError("get the length of", path, code);
  if (size > static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max())) {
    throw PlatformError("get the length of", path, "file is 2 GiB or larger",
                        ErrorNumber::kOverflow);
  }
  return static_cast<std::int32_t>(size);
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  const std::int32_t length = FileLen(path);
  if (length == 0) {
    throw PlatformError("read", path, "file is empty", ErrorNumber::kSubscriptOutOfRange);
  }
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(length));
#if defined(_WIN32)
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(ToPath(path).c_str(), L"rb"),
                                                       &std::fclose);
  if (!file) throw ErrnoError("open", path, errno);
  if (std::fread(buffer.data(), 1, buffer.size(), file.get()) != buffer.size()) {
    throw PlatformError("read", path, "file changed while it was read",
                        ErrorNumber::kPathFileAccessError);
  }
#else
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw ErrnoError("open", path, errno);
  std::size_t done = 0;
  // One read fills the buffer; the loop only resumes a read the kernel split.
  while (done < buffer.size()) {
    const ssize_t got = ::read(fd.get(), buffer.data() + done, buffer.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw ErrnoError("read", path, errno);
    }
    if (got == 0) {
      throw PlatformError("read", path, "file became shorter while it was read",
                          ErrorNumber::kPathFileAccessError);
    }
    done += static_cast<std::size_t>(got);
  }
#endif
  return buffer;
}

void WriteFileInPieces(const std::string& path, std::span<const std::uint8_t> first,
                       std::span<const std::uint8_t> second, std::span<const std::uint8_t> third) {
#if defined(_WIN32)
  // No O_NOFOLLOW here: refuse a link at the name before opening it.
  if (IsSymbolicLink(path)) throw LinkError("create", path);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(ToPath(path).c_str(), L"wb"),
                                                       &std::fclose);
  if (!file) throw ErrnoError("create", path, errno);
  for (const auto piece : {first, second, third}) {
    if (!piece.empty() && std::fwrite(piece.data(), 1, piece.size(), file.get()) != piece.size()) {
      throw ErrnoError("write", path, errno);
    }
  }
  if (std::fclose(file.release()) != 0) throw ErrnoError("write", path, errno);
#else
  // A link planted at a frame name must not carry the frame elsewhere.
  Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
  if (fd.get() < 0) {
    if (errno == ELOOP) throw LinkError("create", path);
    throw ErrnoError("create", path, errno);
  }
  iovec pieces[3] = {
      {const_cast<std::uint8_t*>(first.data()), first.size()},
      {const_cast<std::uint8_t*>(second.data()), second.size()},
      {const_cast<std::uint8_t*>(third.data()), third.size()},
  };
  iovec* pending = pieces;
  int count = 3;
  while (count > 0) {
    const ssize_t wrote = ::writev(fd.get(), pending, count);
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
  if (fd.Close() != 0) throw ErrnoError("write", path, errno);
#endif
}

std::string Dir(const std::string& path, int attributes) {
  if (path.empty()) return {};
  std::error_code code;
  const fs::path native = ToPath(path);
  const auto status = fs::status(native, code);
  if (code || !fs::exists(status)) return {};
  if (fs::is_directory(status) && (attributes & kAttrDirectory) == 0) return {};
  fs::path name = native.filename();
  if (name.empty()) name = native.parent_path().filename();  // "folder/" names the folder
  return FromPath(name);
}

void MkDir(const std::string& path) {
  std::error_code code;
  const fs::path native = ToPath(path);
  if (fs::exists(fs::symlink_status(native, code))) {
    throw ErrnoError("create folder", path, EEXIST);
  }
  if (!fs::create_directory(native, code)) {
    throw CodeError("create folder", path,
                    code ? code : std::make_error_code(std::errc::file_exists));
  }
}

EntryKind KindOf(const std::string& path) {
#if defined(_WIN32)
  std::error_code code;
  const fs::file_status status = fs::symlink_status(ToPath(path), code);
  if (fs::is_symlink(status)) return EntryKind::kSymbolicLink;
  return fs::exists(status) ? EntryKind::kOther : EntryKind::kNothing;
#else
  // Asked once per frame name before a division: a plain lstat keeps that cheap.
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return EntryKind::kNothing;
  return S_ISLNK(status.st_mode) ? EntryKind::kSymbolicLink : EntryKind::kOther;
#endif
}

bool IsSymbolicLink(const std::string& path) { return KindOf(path) == EntryKind::kSymbolicLink; }

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code code;
  const bool same = fs::equivalent(ToPath(a), ToPath(b), code);
  return !code && same;
}

void RequireRealFolder(const std::string& path) {
  std::error_code code;
  const auto status = fs::symlink_status(ToPath(path), code);
  if (code) throw CodeError("use", path, code);
  if (fs::is_symlink(status)) {
    throw PlatformError("use", path, "it is a symbolic link, not a folder",
                        ErrorNumber::kPathFileAccessError);
  }
  if (!fs::is_directory(status)) {
    throw PlatformError("use", path, "it is not a folder", ErrorNumber::kPathFileAccessError);
  }
}

void KillEveryFile(const std::string& folder) {
  // Listing through a link would delete the files of whatever it points to.
  RequireRealFolder(folder);
  std::error_code code;
  fs::directory_iterator entries(ToPath(folder), code);
  if (code) throw CodeError("list", folder, code);
  bool matched = false;
  std::string first_failure_path;
  std::error_code first_failure;
  for (const fs::directory_entry& entry : entries) {
    std::error_code kind_code;
    const bool is_file = entry.is_symlink(kind_code) || entry.is_regular_file(kind_code);
    if (!is_file) continue;
    matched = true;
    std::error_code remove_code;
    if (!fs::remove(entry.path(), remove_code) && remove_code && !first_failure) {
      first_failure = remove_code;
      first_failure_path = FromPath(entry.path());
    }
  }
  if (!matched) {
    throw PlatformError("delete files in", folder, "no file found", ErrorNumber::kFileNotFound);
  }
  if (first_failure) throw CodeError("delete", first_failure_path, first_failure);
}

std::string AppPath() {
  std::error_code code;
#if defined(_WIN32)
  wchar_t buffer[32768];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  if (length == 0) throw PlatformError("find", "the executable", "no module name", 75);
  const fs::path executable(std::wstring(buffer, length));
#else
  const fs::path executable = fs::read_symlink("/proc/self/exe", code);
  if (code) throw CodeError("find", "/proc/self/exe", code);
#endif
  return FromPath(executable.parent_path());
}

std::string UserCacheFolder(const std::string& program) {
#if defined(_WIN32)
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local != nullptr && *local != 0) return FromPath(fs::path(local) / ToPath(program));
#else
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && *cache == '/') return std::string(cache) + "/" + program;
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return std::string(home) + "/.cache/" + program;
#endif
  throw PlatformError("find", "the user's cache folder", "no cache or home folder is set",
                      ErrorNumber::kPathNotFound);
}

void MkDirAll(const std::string& path) {
  std::error_code code;
  fs::create_directories(ToPath(path), code);
  if (code) throw CodeError("create folder", path, code);
}

std::string PathSeparator() {
#if defined(_WIN32)
  return "\\";
#else
  return "/";
#endif
}

bool StderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return ::isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace Toolkit
