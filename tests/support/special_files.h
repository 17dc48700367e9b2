#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace GifTest {

// Makes a named pipe at `path`; false where the platform has none (Windows).
bool MakeFifo(const std::string& path);

// How many descriptors (handles on Windows) the process holds open, or
// nothing when that cannot be counted.
std::optional<std::size_t> OpenDescriptorCount();

}  // namespace GifTest
