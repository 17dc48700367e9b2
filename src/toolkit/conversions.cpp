// SPDX-License-Identifier: MIT
#include "toolkit/conversions.h"

#include <cmath>
#include <limits>

#include "toolkit/platform_error.h"

namespace Toolkit {
namespace {

template <typename Int>
Int RoundToEven(double value, const char* type_name) {
  // nearbyint honours the default rounding mode, which is to nearest, ties to even.
  const double rounded = std::nearbyint(value);
  if (!std::isfinite(rounded) || rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
    throw PlatformError(std::string("convert to ") + type_name, std::to_string(value), "Overflow",
                        FailureKind::kTooLarge);
  }
  return static_cast<Int>(rounded);
}

}  // namespace

std::int32_t CLng(double value) { return RoundToEven<std::int32_t>(value, "32-bit integer"); }

std::string Format(long long number, std::string_view picture) {
  const bool negative = number < 0;
  // Work on the magnitude as unsigned so that the smallest long long is safe.
  unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(number)
                                          : static_cast<unsigned long long>(number);
  std::string digits = std::to_string(magnitude);
  if (digits.size() < picture.size()) digits.insert(0, picture.size() - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

}  // namespace Toolkit

namespace Toolkit {

std::string DropLastCharacters(std::string_view text, std::size_t count) {
  std::size_t end = text.size();
  while (count > 0 && end > 0) {
    --end;
    // Step back over continuation bytes to the start of the character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    --count;
  }
  return count > 0 ? std::string() : std::string(text.substr(0, end));
}

}  // namespace Toolkit
