// File operations that differ by platform: the Windows side. Every call
// that takes a path uses the wide (UTF-16) form, so that any file name works
// whatever the ANSI code page.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "toolkit/file_ops.h"
#include "toolkit/file_ops_internal.h"
#include "toolkit/platform_error.h"

namespace Toolkit {
namespace fs = std::filesystem;
using Internal::FromPath;
using Internal::ToPath;

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File Open(const std::string& path, const wchar_t* mode) {
  return File(_wfopen(ToPath(path).c_str(), mode), &std::fclose);
}

}  // namespace

void Internal::ReadInto(const std::string& path, std::span<std::uint8_t> buffer) {
  const File file = Open(path, L"rb");
  if (!file) throw ErrnoError("open", path, errno);
  if (std::fread(buffer.data(), 1, buffer.size(), file.get()) != buffer.size()) {
    throw PlatformError("read", path, "file became shorter while it was read",
                        ErrorNumber::kPathFileAccessError);
  }
}

void WriteFileInPieces(const std::string& path, std::span<const std::uint8_t> first,
                       std::span<const std::uint8_t> second, std::span<const std::uint8_t> third) {
  // The C runtime has no O_NOFOLLOW: refuse a link at the name before opening it.
  if (IsSymbolicLink(path)) throw Internal::LinkError("create", path);
  File file = Open(path, L"wb");
  if (!file) throw ErrnoError("create", path, errno);
  for (const auto piece : {first, second, third}) {
    if (!piece.empty() && std::fwrite(piece.data(), 1, piece.size(), file.get()) != piece.size()) {
      throw ErrnoError("write", path, errno);
    }
  }
  if (std::fclose(file.release()) != 0) throw ErrnoError("write", path, errno);
}

EntryKind KindOf(const std::string& path) {
  // The C++ library here sees no links at all. Any reparse point (a symbolic
  // link or a junction) leads elsewhere, so every one counts as a link.
  const DWORD attributes = GetFileAttributesW(ToPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kNothing;
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::kSymbolicLink
                                                          : EntryKind::kOther;
}

std::string AppPath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length == buffer.size()) {
    throw PlatformError("find", "the executable", "no module name",
                        ErrorNumber::kPathFileAccessError);
  }
  return FromPath(fs::path(std::wstring(buffer.data(), length)).parent_path());
}

std::string UserCacheFolder(const std::string& program) {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local != nullptr && *local != 0) return FromPath(fs::path(local) / ToPath(program));
  throw PlatformError("find", "the user's cache folder", "LOCALAPPDATA is not set",
                      ErrorNumber::kPathNotFound);
}

std::string PathSeparator() { return "\\"; }

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
