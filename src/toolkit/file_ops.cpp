// SPDX-License-Identifier: MIT
#include "toolkit/file_ops.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <system_error>

#include "toolkit/file_ops_internal.h"
#include "toolkit/platform_error.h"

// The operations std::filesystem gives alike on every platform; the rest are
// in file_ops_linux.cpp and file_ops_windows.cpp.

namespace Toolkit {
namespace fs = std::filesystem;
using Internal::CodeError;

PlatformError Internal::CodeError(const std::string& operation, const std::string& path,
                                  const std::error_code& code) {
  const std::error_condition condition = code.default_error_condition();
  const FailureKind kind = condition.category() == std::generic_category()
                               ? KindOfErrno(condition.value())
                               : FailureKind::kUnusable;
  return PlatformError(operation, path, code.message(), kind);
}

namespace {

struct UnfinishedFiles {
  std::mutex lock;
  std::vector<std::string> names;
  std::atomic<bool> ending{false};  // set once, by RemoveUnfinishedFiles
};

UnfinishedFiles& Unfinished() {
  static UnfinishedFiles files;
  return files;
}

constexpr char kEnding[] = "the program is ending";

}  // namespace

bool Internal::UnfinishedFile::Create(const std::string& name,
                                      const std::function<bool()>& create) {
  const std::lock_guard hold(Unfinished().lock);
  if (Unfinished().ending) {
    throw PlatformError("create", name, kEnding, FailureKind::kUnusable);
  }
  if (!create()) return false;
  name_ = name;
  Unfinished().names.push_back(name_);
  return true;
}

Internal::UnfinishedFile::~UnfinishedFile() {
  if (name_.empty()) return;
  std::error_code ignored;
  if (!kept_) fs::remove(ToPath(name_), ignored);
  const std::lock_guard hold(Unfinished().lock);
  auto& names = Unfinished().names;
  names.erase(std::find(names.begin(), names.end(), name_));
}

void Internal::ThrowIfEnding(const std::string& path) {
  if (Unfinished().ending) {
    throw PlatformError("write", path, kEnding, FailureKind::kUnusable);
  }
}

void RemoveUnfinishedFiles() {
  const std::lock_guard hold(Unfinished().lock);
  Unfinished().ending = true;
  for (const std::string& name : Unfinished().names) {
    std::error_code ignored;
    fs::remove(ToPath(name), ignored);
  }
}

std::int32_t FileLen(const std::string& path) {
  std::error_code code;
  const fs::path native = ToPath(path);
  const auto status = fs::status(native, code);
  if (code) throw CodeError("get the length of", path, code);
  // A folder, pipe or device has no length to read in one go; a pipe would
  // even block the read.
  if (!fs::is_regular_file(status)) {
    throw PlatformError("get the length of", path, "not a regular file", FailureKind::kUnusable);
  }
  const std::uintmax_t size = fs::file_size(native, code);
  if (code) throw CodeError("get the length of", path, code);
  if (size > static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max())) {
    throw PlatformError("get the length of", path, "file is 2 GiB or larger",
                        FailureKind::kTooLarge);
  }
  return static_cast<std::int32_t>(size);
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path,
                                        const std::function<void()>& between) {
  const std::int32_t length = FileLen(path);
  if (length == 0) {
    throw PlatformError("read", path, "file is empty", FailureKind::kEmpty);
  }
  std::vector<std::uint8_t> buffer;
  Internal::ReadInto(path, buffer, static_cast<std::size_t>(length), between);
  return buffer;
}

std::string Dir(const std::string& path, int attributes) {
  if (path.empty()) return {};
  std::error_code code;
  const auto status = fs::status(ToPath(path), code);
  if (code || !fs::exists(status)) return {};
  if (fs::is_directory(status) && (attributes & kAttrDirectory) == 0) return {};
  return FileNameOf(path);
}

std::string FileNameOf(const std::string& path) {
  const fs::path native = ToPath(path);
  fs::path name = native.filename();
  if (name.empty()) name = native.parent_path().filename();  // "folder/" names the folder
  return FromPath(name);
}

std::string FolderOf(const std::string& path) { return FromPath(ToPath(path).parent_path()); }

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

bool IsSymbolicLink(const std::string& path) { return KindOf(path) == EntryKind::kSymbolicLink; }

namespace {

std::string ObstacleOf(EntryKind kind) {
  switch (kind) {
    case EntryKind::kNothing:
    case EntryKind::kRegularFile:
      return {};
    case EntryKind::kSymbolicLink:
      return "a symbolic link stands at that name";
    case EntryKind::kFolder:
      return "a folder stands at that name";
    case EntryKind::kOther:
      break;
  }
  return "a special file stands at that name";
}

}  // namespace

void RequireFreeName(const std::string& path, const std::string& keep) {
  // One look at each name: most are new, and only a file already there can be `keep`.
  const EntryKind kind = KindOf(path);
  if (kind == EntryKind::kNothing) return;
  if (const std::string obstacle = ObstacleOf(kind); !obstacle.empty()) {
    throw PlatformError("create", path, obstacle, FailureKind::kUnusable);
  }
  if (!keep.empty() && SameFile(path, keep)) {
    throw PlatformError("create", path, "that is the file being divided", FailureKind::kUnusable);
  }
  // Found now, not after the frames before it were written.
  if (Internal::HeldByAnotherUser(path)) {
    throw PlatformError("replace", path,
                        "it belongs to another user, in a shared folder where only its owner may "
                        "replace it",
                        FailureKind::kDenied);
  }
}

std::string Internal::TemporaryNameFor(const std::string& path, unsigned process,
                                       unsigned attempt) {
  // Short, whatever the name it stands in for: that may already be as long
  // as the file system allows.
  const std::string name =
      ".mervane-" + std::to_string(process) + "-" + std::to_string(attempt) + ".part";
  return FromPath(ToPath(path).parent_path() / ToPath(name));
}

namespace {

std::string FoldedCase(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

std::set<std::string> FoldedNamesIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code code;
  for (fs::directory_iterator entry(folder.empty() ? fs::path(".") : folder, code), end;
       !code && entry != end; entry.increment(code)) {
    names.insert(FoldedCase(FromPath(entry->path().filename())));
  }
  return names;
}

}  // namespace

void RequireFreeNames(const std::vector<std::string>& paths, const std::string& keep) {
  std::map<fs::path, std::set<std::string>> taken;  // by folder
  std::map<fs::path, std::size_t> fitting;          // by folder: the longest name known to fit
  for (const std::string& path : paths) {
    const fs::path native = ToPath(path);
    // A name too long fails only when its file is made: frame 1000 of a
    // long prefix, after 999 files were written. The file system is asked
    // once for each longer name, not once for every name.
    std::size_t& fits = fitting[native.parent_path()];
    const std::size_t length = native.filename().native().size();
    if (length > fits) {
      if (!NameFits(path)) {
        throw PlatformError("create", path, "the name is longer than the file system takes",
                            FailureKind::kUnusable);
      }
      fits = length;
    }
    auto [names, listed] = taken.try_emplace(native.parent_path());
    if (listed) names->second = FoldedNamesIn(native.parent_path());
    if (names->second.count(FoldedCase(FromPath(native.filename()))) != 0) {
      RequireFreeName(path, keep);
    }
  }
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code code;
  const bool same = fs::equivalent(ToPath(a), ToPath(b), code);
  return !code && same;
}

void RequireRealFolder(const std::string& path) {
  std::error_code code;
  const auto status = fs::symlink_status(ToPath(path), code);
  if (code) throw CodeError("use", path, code);
  if (KindOf(path) == EntryKind::kSymbolicLink) {
    throw PlatformError("use", path, "it is a symbolic link, not a folder", FailureKind::kUnusable);
  }
  if (!fs::is_directory(status)) {
    throw PlatformError("use", path, "it is not a folder", FailureKind::kUnusable);
  }
}

void KillEveryFile(const std::string& folder, const std::vector<std::string>& keep) {
  // Listing through a link would delete the files of whatever it points to.
  RequireRealFolder(folder);
  std::error_code code;
  fs::directory_iterator entries(ToPath(folder), code);
  if (code) throw CodeError("list", folder, code);
  bool matched = false;
  std::string first_failure_path;
  std::error_code first_failure;
  for (const fs::directory_entry& entry : entries) {
    // A pipe or a socket is an entry of the folder like a file; a folder is
    // kept. A link is looked at, never through.
    std::error_code kind_code;
    const bool is_folder = !entry.is_symlink(kind_code) && entry.is_directory(kind_code);
    if (is_folder) continue;
    matched = true;
    const std::string path = FromPath(entry.path());
    if (std::any_of(keep.begin(), keep.end(),
                    [&](const std::string& kept) { return SameFile(path, kept); })) {
      continue;
    }
    std::error_code remove_code;
    if (!fs::remove(entry.path(), remove_code) && remove_code && !first_failure) {
      first_failure = remove_code;
      first_failure_path = path;
    }
  }
  if (!matched) {
    throw PlatformError("delete files in", folder, "no file found", FailureKind::kNotFound);
  }
  if (first_failure) throw CodeError("delete", first_failure_path, first_failure);
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code code;
  const fs::path absolute = fs::absolute(ToPath(path), code);
  return code ? path : FromPath(absolute);
}

void MkDirAll(const std::string& path) {
  std::error_code code;
  fs::create_directories(ToPath(path), code);
  if (code) throw CodeError("create folder", path, code);
}

}  // namespace Toolkit
