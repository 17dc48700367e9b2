// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace GifTest {

// Makes a named pipe at `path`; false where the platform has none (Windows).
bool MakeFifo(const std::string& path);

// Runs `work` with files limited to `bytes`, so that writing past it fails
// as a full disk does; false, without running it, where that cannot be set.
bool WithFileSizeLimit(std::size_t bytes, const std::function<void()>& work);

// Runs `work` with the address space limited to what the process holds
// now plus `headroom` bytes, so that reserving more fails as it does on a
// machine out of memory; false, without running it, where that cannot be
// set (not Linux, or under a sanitizer, whose allocator aborts instead).
bool WithMemoryHeadroom(std::size_t headroom, const std::function<void()>& work);

// Runs `work` with a disk of `bytes` mounted at the folder `path`, seen by
// this process alone, so that writing there fails with "disk full"; false,
// without running it, where no such disk can be mounted (not root, not
// Linux).
bool WithSmallDiskAt(const std::string& path, std::size_t bytes, const std::function<void()>& work);

// How many descriptors (handles on Windows) the process holds open, or
// nothing when that cannot be counted.
std::optional<std::size_t> OpenDescriptorCount();

}  // namespace GifTest
