// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Toolkit {

// Fractional to 32-bit integer: round to nearest, ties to even.
// Throws PlatformError (error 6, "Overflow") when the rounded value does not
// fit the type, or when `value` is not a number.
std::int32_t CLng(double value);

// Formats `number` with a picture made only of zeros, such as "000": at least
// as many digits as the picture has, padded with leading zeros; more digits
// when needed (1000 stays 1000). A negative number keeps its sign in front.
// REQUIRES: `picture` holds only '0' characters.
std::string Format(long long number, std::string_view picture);

// `text` (UTF-8) without its last `count` characters; empty text when it has
// `count` characters or fewer. Characters are code points, so a multi-byte
// name is never cut inside a character.
std::string DropLastCharacters(std::string_view text, std::size_t count);

// `value` in decimal digits, or `absent` when there is none.
template <typename Value>
std::string NumberOr(const std::optional<Value>& value, const char* absent) {
  return value ? std::to_string(*value) : std::string(absent);
}

}  // namespace Toolkit
