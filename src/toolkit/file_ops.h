// SPDX-License-Identifier: MIT
#pragma once

// File operations over std::filesystem, POSIX descriptors and the Windows
// wide-character calls. Paths are UTF-8 text exactly as the caller joined
// them; nothing here normalises separators.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Toolkit {

// The attribute mask Dir takes for folders; with 0, it matches files only.
inline constexpr int kAttrDirectory = 16;

// Size in bytes of the file at `path`.
// Throws PlatformError when it does not exist, is not a regular file (a
// folder, a pipe, a device), or is 2 GiB or larger (lengths are 32-bit
// signed throughout the program).
std::int32_t FileLen(const std::string& path);

// Reads the whole file with a single read into a buffer of exactly FileLen
// bytes. REQUIRES: nothing. Throws PlatformError when the file is missing or
// unreadable, and when it is empty, because a buffer of no bytes is refused.
// The descriptor is closed on every path out. With `between` given, the
// file is read in pieces of kReadPiece bytes instead, and `between` is
// called after each, so that a window can go on answering while a large
// file comes in; an exception from it ends the read.
inline constexpr std::size_t kReadPiece = std::size_t{8} << 20;
std::vector<std::uint8_t> ReadWholeFile(const std::string& path,
                                        const std::function<void()>& between = {});

// Writes `first`, `second` and `third` one after the other as the whole
// content of the file `path`, replacing a regular file of that name. A free
// name is created in place, exclusively (open, write, close: three calls);
// where a regular file stands, the bytes go to a new file of a temporary
// name in the same folder, renamed over it once complete. Either way `path`
// holds its old content (or nothing) or the whole new one, never part of
// it: on failure the file being written is removed. Throws PlatformError,
// writing nothing, when anything but a regular file stands at `path` (a
// symbolic link, a folder, a special file); no entry at `path` is ever
// opened, so neither a link nor a pipe there can be followed or block.
void WriteFileInPieces(const std::string& path, std::span<const std::uint8_t> first,
                       std::span<const std::uint8_t> second, std::span<const std::uint8_t> third);

// Removes the files WriteFileInPieces is still writing, on any thread, so
// that a program ended in the middle of a write leaves no part of a file.
// For the moment just before the process ends.
void RemoveUnfinishedFiles();

// The name, without its folder, of the entry at `path`, or empty text when
// there is none. Plain files always match; folders match only when
// `attributes` includes kAttrDirectory (16). An empty path yields empty text.
std::string Dir(const std::string& path, int attributes);

// The last part of `path`, whether or not anything stands there; a path
// that ends in a separator names its last folder.
std::string FileNameOf(const std::string& path);
// Everything of `path` before its last part, without the separator; empty
// text for a bare name.
std::string FolderOf(const std::string& path);

// Creates the folder `path`. Throws PlatformError when it exists already (as
// a file or a folder), when its parent is missing, or when it cannot be made.
void MkDir(const std::string& path);

// What stands at `path`, looked at without following a link. On Windows
// every reparse point (a symbolic link or a junction) counts as a link.
enum class EntryKind { kNothing, kSymbolicLink, kRegularFile, kFolder, kOther };
EntryKind KindOf(const std::string& path);

// Throws PlatformError("create", path, reason) when a file written at `path`
// would lose another: anything but a regular file stands there (the reason
// says "a symbolic link stands at that name", "a folder stands at that
// name", or, for a pipe, socket or device, "a special file stands at that
// name"), or `path` is the file `keep` itself (by device and inode, however
// named; empty `keep`: none).
void RequireFreeName(const std::string& path, const std::string& keep);

// True when the last part of `path` is no longer than the file system
// holding its folder takes for a name (255 bytes on most; 255 UTF-16 units
// on Windows). The folder need not exist.
bool NameFits(const std::string& path);

// RequireFreeName for each of `paths`, in order, looking at the disk far
// less: one listing of each folder, and a look only at names the listing
// shows taken (compared without regard to ASCII case, as some file systems
// compare them). A folder that cannot be listed (none there yet) holds no
// names. A name longer than NameFits allows is refused as well.
void RequireFreeNames(const std::vector<std::string>& paths, const std::string& keep);

// True when the entry at `path` is a symbolic link, dangling or not.
bool IsSymbolicLink(const std::string& path);

// True when `a` and `b` both exist and are the same file (same device and
// inode, however they are named).
bool SameFile(const std::string& a, const std::string& b);

// Throws PlatformError("use", path, reason) unless the entry at `path` is
// itself a folder: a symbolic link, even to a folder, is refused.
void RequireRealFolder(const std::string& path);

// Deletes every entry directly inside `folder` that is not a folder: plain
// files, symbolic links (never their targets), pipes and sockets.
// Sub-folders are kept, and so are the files `keep` names (however they are
// named there: a user's own file dropped from the folder). Throws PlatformError when
// `folder` is not a real folder (see RequireRealFolder), holds no such file
// or cannot be listed, or when one file cannot be deleted (the others are
// still tried).
void KillEveryFile(const std::string& folder, const std::vector<std::string>& keep = {});

// `path` made absolute against the current folder, for a process that does
// not share it; unchanged when it already is absolute, empty, or the current
// folder cannot be had. Nothing is resolved: links and ".." stay as given.
std::string AbsolutePath(const std::string& path);

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

// Who besides the user may reach a folder that RequireOwnFolder accepts.
enum class FolderAccess {
  kNobody,         // no one: no read, write or search bit for group or others
  kOthersMayRead,  // others may list it, never write in it
};

// Makes `path` when `make` is set and it is missing (its parents as
// MkDirAll does, the folder itself open to the user alone), then checks that
// files kept in it are out of other users' reach: a real folder, not a
// symbolic link; owned by the user the program runs as; and open to others
// no further than `access` allows. With `make` set (a folder that is the
// program's own), a folder of the user's that is open further is closed to
// others instead. Throws PlatformError("use", path, reason) saying which of
// these fails, or the error of making it. On Windows, where the user's own
// profile folders keep other users out, only a real folder (no link or
// junction) is required.
void RequireOwnFolder(const std::string& path, bool make, FolderAccess access);

// The bytes of the file at `path` when it is a regular file of the user the
// program runs as and at most `limit` bytes long; nothing when it is
// missing, someone else's, a link, not a regular file or longer. The owner
// is checked on the file opened, so a file swapped in meanwhile is not
// read. On Windows only the kind and the length are checked.
std::optional<std::string> ReadOwnFile(const std::string& path, std::size_t limit);

// The platform's path separator as text: "/" here, "\" on Windows.
std::string PathSeparator();

// True when `arg` asks for a program's usage in the platform's own way
// besides -h and --help: "/?" on Windows; nothing elsewhere, where "/?"
// may name a file.
bool IsPlatformHelpRequest(const std::string& arg);

// True when `arg` has the form of an option in the platform's own way
// besides "-x" and "--x": on Windows "/" and letters, digits or "?" alone
// ("/?", "/x", "/help"); never elsewhere, where such a text names a file.
bool IsPlatformOptionForm(const std::string& arg);

// True when the standard error stream is an interactive terminal.
bool StderrIsTerminal();

// The arguments after the program's name, as UTF-8 text. REQUIRES: main's
// own argc and argv. On Windows they come from the wide command line, since
// argv there cannot hold every file name, and the console is set to show
// UTF-8 output.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace Toolkit
