#pragma once

// File operations over std::filesystem, POSIX descriptors and the Windows
// wide-character calls. Paths are UTF-8 text exactly as the caller joined
// them; nothing here normalises separators.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Toolkit {

// Attribute masks accepted by Dir.
inline constexpr int kAttrNormal = 0;
inline constexpr int kAttrDirectory = 16;

// Size in bytes of the file at `path`.
// Throws PlatformError when it does not exist, is not a regular file (a
// folder, a pipe, a device), or is 2 GiB or larger (lengths are 32-bit
// signed throughout the program).
std::int32_t FileLen(const std::string& path);

// Reads the whole file with a single read into a buffer of exactly FileLen
// bytes. REQUIRES: nothing. Throws PlatformError when the file is missing or
// unreadable, and when it is empty, because a buffer of no bytes is refused.
// The descriptor is closed on every path out.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// Creates `path`, or truncates it when it exists, and writes `first`, `second`
// and `third` one after the other from byte 0, as one gathered write. No
// bytes of an older, longer file of the same name can remain. A symbolic
// link at `path` is never followed: that is a failure. The descriptor is
// closed on every path out; on failure the partly written file stays.
void WriteFileInPieces(const std::string& path, std::span<const std::uint8_t> first,
                       std::span<const std::uint8_t> second, std::span<const std::uint8_t> third);

// The name, without its folder, of the entry at `path`, or empty text when
// there is none. Plain files always match; folders match only when
// `attributes` includes kAttrDirectory (16). An empty path yields empty text.
std::string Dir(const std::string& path, int attributes);

// Creates the folder `path`. Throws PlatformError when it exists already (as
// a file or a folder), when its parent is missing, or when it cannot be made.
void MkDir(const std::string& path);

// What stands at `path`, looked at without following a link.
enum class EntryKind { kNothing, kSymbolicLink, kOther };
EntryKind KindOf(const std::string& path);

// True when the entry at `path` is a symbolic link, dangling or not.
bool IsSymbolicLink(const std::string& path);

// True when `a` and `b` both exist and are the same file (same device and
// inode, however they are named).
bool SameFile(const std::string& a, const std::string& b);

// Throws PlatformError("use", path, reason) unless the entry at `path` is
// itself a folder: a symbolic link, even to a folder, is refused.
void RequireRealFolder(const std::string& path);

// Deletes every plain file (and every symbolic link, never its target)
// directly inside `folder`; sub-folders are kept. Throws PlatformError when
// `folder` is not a real folder (see RequireRealFolder), holds no such file
// or cannot be listed, or when one file cannot be deleted (the others are
// still tried).
void KillEveryFile(const std::string& folder);

// The folder of the running executable, without a trailing separator except
// for the root folder. Throws PlatformError when it cannot be determined.
std::string AppPath();

// The user's folder for `program`'s cache files, which may not exist yet:
// $XDG_CACHE_HOME/program, else $HOME/.cache/program (on Windows
// %LOCALAPPDATA%\program). Throws PlatformError when no such folder can be named.
std::string UserCacheFolder(const std::string& program);

// Creates `path` and any missing folders above it; a folder already there is
// fine. Throws PlatformError when one cannot be made.
void MkDirAll(const std::string& path);

// The platform's path separator as text: "/" here, "\" on Windows.
std::string PathSeparator();

// True when the standard error stream is an interactive terminal.
bool StderrIsTerminal();

// The arguments after the program's name, as UTF-8 text. REQUIRES: main's
// own argc and argv. On Windows they come from the wide command line, since
// argv there cannot hold every file name, and the console is set to show
// UTF-8 output.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace Toolkit
