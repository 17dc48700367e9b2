// SPDX-License-Identifier: MIT
#pragma once

// Shared by file_ops.cpp and the platform files beside it; not for callers.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "toolkit/platform_error.h"
#include "toolkit/utf8_path.h"

namespace Toolkit::Internal {

// The name a file being written to `path` has until it is complete: in the
// same folder, so that renaming it into place cannot cross file systems, and
// not named like a frame. `attempt` tells apart names taken already.
std::string TemporaryNameFor(const std::string& path, unsigned process, unsigned attempt);

// A file being written under a name of its own: removed when this goes
// unless Keep() was called, and by RemoveUnfinishedFiles if the program ends
// first. Any thread may hold one.
class UnfinishedFile {
 public:
  UnfinishedFile() = default;
  UnfinishedFile(const UnfinishedFile&) = delete;
  UnfinishedFile& operator=(const UnfinishedFile&) = delete;
  ~UnfinishedFile();

  // Calls `create`, which tries to make the file `name` and says whether it
  // did, while no other thread can run RemoveUnfinishedFiles, and holds the
  // file from then on when it did: a program that ends at any moment never
  // leaves a file made but not listed. Returns what `create` said. Throws
  // PlatformError, making nothing, once RemoveUnfinishedFiles has run.
  // REQUIRES: nothing held yet.
  bool Create(const std::string& name, const std::function<bool()>& create);
  void Keep() { kept_ = true; }
  const std::string& Name() const { return name_; }

 private:
  std::string name_;  // empty: nothing held
  bool kept_ = false;
};

// How many bytes go to the disk in one call: between two, a write stops once
// the program is ending (see ThrowIfEnding). A thread inside one call cannot
// be stopped until it returns.
inline constexpr std::size_t kWritePiece = std::size_t{16} << 20;

// Throws PlatformError("write", path, ...) once RemoveUnfinishedFiles has run.
void ThrowIfEnding(const std::string& path);

// True when the file at `path` cannot be replaced by this process however
// it is written: another user's file in a shared folder whose sticky bit
// lets only the file's (or the folder's) owner rename over it. False where
// the platform has no such rule.
bool HeldByAnotherUser(const std::string& path);

// Makes `buffer` the first `length` bytes of the file at `path`, read in
// one read; or, with `between` given, grown and read in pieces of
// kReadPiece with `between` called after each, so that even clearing a
// large buffer never keeps the caller from its events for long. Throws
// PlatformError when it cannot be opened or read, or holds fewer bytes.
void ReadInto(const std::string& path, std::vector<std::uint8_t>& buffer, std::size_t length,
              const std::function<void()>& between);

// A std::filesystem failure. On Windows its code is a system error, not an
// errno value, so the number comes from the portable condition and the
// reason from the code's own message.
PlatformError CodeError(const std::string& operation, const std::string& path,
                        const std::error_code& code);

}  // namespace Toolkit::Internal
