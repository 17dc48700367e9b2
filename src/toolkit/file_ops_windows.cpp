// SPDX-License-Identifier: MIT
// File operations that differ by platform: the Windows side. Every call
// that takes a path uses the wide (UTF-16) form, so that any file name works
// whatever the ANSI code page.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "toolkit/file_ops.h"
#include "toolkit/file_ops_internal.h"
#include "toolkit/platform_error.h"

namespace Toolkit {
namespace fs = std::filesystem;

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File Open(const std::string& path, const wchar_t* mode) {
  return File(_wfopen(ToPath(path).c_str(), mode), &std::fclose);
}

}  // namespace

void Internal::ReadInto(const std::string& path, std::vector<std::uint8_t>& buffer,
                        std::size_t length, const std::function<void()>& between) {
  const File file = Open(path, L"rb");
  if (!file) throw ErrnoError("open", path, errno);
  const std::size_t piece = between ? kReadPiece : length;
  buffer.reserve(length);
  for (std::size_t done = 0; done < length; done += piece) {
    const std::size_t wanted = std::min(piece, length - done);
    buffer.resize(done + wanted);
    if (std::fread(buffer.data() + done, 1, wanted, file.get()) != wanted) {
      throw PlatformError("read", path, "file became shorter while it was read",
                          FailureKind::kUnusable);
    }
    if (between) between();
  }
}

namespace {

PlatformError LastError(const std::string& operation, const std::string& path) {
  return Internal::CodeError(
      operation, path, std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

}  // namespace

namespace {

// CREATE_NEW opens nothing that stands at the name already. Shared for
// deleting only: a program ended mid-write removes the file.
HANDLE CreateNew(const std::string& path) {
  return CreateFileW(ToPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// At most Internal::kWritePiece bytes a call: a thread inside WriteFile
// holds up the end of the program until the call returns.
void WriteAll(HANDLE file, const std::string& path, std::span<const std::uint8_t> first,
              std::span<const std::uint8_t> second, std::span<const std::uint8_t> third) {
  for (const auto piece : {first, second, third}) {
    std::size_t done = 0;
    while (done < piece.size()) {
      Internal::ThrowIfEnding(path);
      const DWORD wanted =
          static_cast<DWORD>(std::min<std::size_t>(piece.size() - done, Internal::kWritePiece));
      DWORD wrote = 0;
      if (!WriteFile(file, piece.data() + done, wanted, &wrote, nullptr) || wrote == 0) {
        throw LastError("write", path);
      }
      done += wrote;
    }
  }
}

}  // namespace

void WriteFileInPieces(const std::string& path, std::span<const std::uint8_t> first,
                       std::span<const std::uint8_t> second, std::span<const std::uint8_t> third) {
  // Most names are new: the file is made in place. A device name (CON,
  // NUL, ...) opens the device even so, and is no file to write: it is
  // told apart before the name is held as a file to remove.
  HANDLE raw = INVALID_HANDLE_VALUE;
  DWORD refused = 0;
  const auto create = [&](const std::string& name, bool device_refused) {
    raw = CreateNew(name);
    refused = GetLastError();
    if (raw == INVALID_HANDLE_VALUE || !device_refused || GetFileType(raw) == FILE_TYPE_DISK) {
      return raw != INVALID_HANDLE_VALUE;
    }
    CloseHandle(raw);
    throw PlatformError("create", name, "a special file stands at that name",
                        FailureKind::kUnusable);
  };
  if (Internal::UnfinishedFile unfinished;
      unfinished.Create(path, [&] { return create(path, true); })) {
    Handle file(raw);
    WriteAll(raw, path, first, second, third);
    if (!CloseHandle(file.release())) throw LastError("write", path);
    unfinished.Keep();
    return;
  }
  if (refused != ERROR_FILE_EXISTS && refused != ERROR_ALREADY_EXISTS) {
    SetLastError(refused);
    throw LastError("create", path);
  }
  // As on POSIX: only a regular file is replaced, by a complete file moved
  // over it. Moving replaces the entry itself, never what a link there names.
  RequireFreeName(path, {});
  static std::atomic<unsigned> attempts{0};
  Internal::UnfinishedFile unfinished;
  for (int tries = 0; raw == INVALID_HANDLE_VALUE && tries < 100; ++tries) {
    const std::string temporary =
        Internal::TemporaryNameFor(path, GetCurrentProcessId(), attempts++);
    if (!unfinished.Create(temporary, [&] { return create(temporary, false); }) &&
        refused != ERROR_FILE_EXISTS) {
      break;
    }
  }
  if (raw == INVALID_HANDLE_VALUE) {
    SetLastError(refused);
    throw LastError("create", path);
  }
  const std::string& temporary = unfinished.Name();
  Handle file(raw);
  WriteAll(raw, path, first, second, third);
  if (!CloseHandle(file.release())) throw LastError("write", path);
  const std::wstring from = ToPath(temporary).wstring(), to = ToPath(path).wstring();
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    throw LastError("create", path);
  }
  unfinished.Keep();
}

EntryKind KindOf(const std::string& path) {
  // The C++ library here sees no links at all. Any reparse point (a symbolic
  // link or a junction) leads elsewhere, so every one counts as a link,
  // whether the name's attributes or the entry opened itself say so.
  const std::wstring native = ToPath(path).wstring();
  const DWORD named = GetFileAttributesW(native.c_str());
  if (named == INVALID_FILE_ATTRIBUTES) return EntryKind::kNothing;
  if ((named & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::kSymbolicLink;
  // The entry itself, through a handle opened on it rather than on what it
  // leads to: a device or a pipe is no disk file, whatever its name says.
  const HANDLE raw = CreateFileW(
      native.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    // Open elsewhere without sharing: the attributes still tell what it is.
    return (named & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kFolder : EntryKind::kRegularFile;
  }
  const Handle entry(raw);
  if (GetFileType(entry.get()) != FILE_TYPE_DISK) return EntryKind::kOther;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(entry.get(), &information)) return EntryKind::kOther;
  const DWORD attributes = information.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::kSymbolicLink;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kFolder
                                                      : EntryKind::kRegularFile;
}

bool Internal::HeldByAnotherUser(const std::string&) { return false; }

bool NameFits(const std::string& path) {
  constexpr std::size_t kLongestName = 255;  // UTF-16 units, on every Windows file system
  return ToPath(path).filename().native().size() <= kLongestName;
}

std::string AppPath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length == buffer.size()) {
    throw PlatformError("find", "the executable", "no module name", FailureKind::kUnusable);
  }
  return FromPath(fs::path(std::wstring(buffer.data(), length)).parent_path());
}

std::string UserCacheFolder(const std::string& program) {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local != nullptr && *local != 0) return FromPath(fs::path(local) / ToPath(program));
  throw PlatformError("find", "the user's cache folder", "LOCALAPPDATA is not set",
                      FailureKind::kNoSuchFolder);
}

void RequireOwnFolder(const std::string& path, bool make, FolderAccess) {
  // The folders this is asked for lie in the user's profile, whose access
  // list keeps other users out and is inherited by what is made there.
  if (make && !fs::exists(ToPath(path))) MkDirAll(path);
  RequireRealFolder(path);
  const DWORD attributes = GetFileAttributesW(ToPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw LastError("use", path);
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    throw PlatformError("use", path, "it is a link or a junction, not a folder",
                        FailureKind::kDenied);
  }
}

std::optional<std::string> ReadOwnFile(const std::string& path, std::size_t limit) {
  const DWORD attributes = GetFileAttributesW(ToPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return std::nullopt;
  }
  const File file = Open(path, L"rb");
  if (!file) return std::nullopt;
  std::string bytes(limit + 1, '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  if (bytes.size() > limit) return std::nullopt;
  return bytes;
}

std::string PathSeparator() { return "\\"; }

bool IsPlatformHelpRequest(const std::string& arg) { return arg == "/?"; }

bool IsPlatformOptionForm(const std::string& arg) {
  // A path from the drive's root ("/clips/a.gif", "/a.gif") holds a
  // separator or a dot after the first slash; an option holds neither.
  return arg.size() > 1 && arg[0] == '/' && std::all_of(arg.begin() + 1, arg.end(), [](char c) {
           return c == '?' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                  (c >= '0' && c <= '9');
         });
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::vector<std::string> ProgramArguments(int, char**) {
  // argv holds the ANSI code page's approximation of each argument; the
  // wide command line holds the names as they are.
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(
      CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
  std::vector<std::string> arguments;
  for (int i = 1; wide && i < count; ++i) arguments.push_back(FromPath(fs::path(wide.get()[i])));
  // Our messages name files in UTF-8: let the console show them so.
  SetConsoleOutputCP(CP_UTF8);
  return arguments;
}

}  // namespace Toolkit
