// SPDX-License-Identifier: MIT
#include "toolkit/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "toolkit/platform_error.h"

namespace {

TEST(Conversions, RoundToNearestTiesToEvenAndOverflowFails) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    std::optional<long long> as_int32;
  };
  const Case cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-2.5, -2},
      {22.75, 23},
      {567.1875, 567},
      {32767.5, 32768},
      {-32769.0, -32769},
      {2147483647.4, 2147483647LL},
      {2147483647.5, std::nullopt},
      {-2147483648.5, -2147483648LL},
      {-2147483649.0, std::nullopt},
      {nan, std::nullopt},
      {inf, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    if (c.as_int32) {
      EXPECT_EQ(Toolkit::CLng(c.value), *c.as_int32);
      continue;
    }
    try {
      Toolkit::CLng(c.value);
      ADD_FAILURE() << "no overflow";
    } catch (const Toolkit::PlatformError& error) {
      EXPECT_EQ(error.kind(), Toolkit::FailureKind::kTooLarge);
    }
  }
}

TEST(Conversions, FormatPadsToThePictureAndNeverCuts) {
  const std::pair<long long, const char*> cases[] = {
      {0, "000"}, {1, "001"}, {42, "042"}, {999, "999"}, {1000, "1000"}, {123456, "123456"}};
  for (const auto& [number, text] : cases) EXPECT_EQ(Toolkit::Format(number, "000"), text);
}

TEST(Conversions, DropLastCharactersCountsCodePoints) {
  const std::pair<const char*, const char*> cases[] = {
      {"anim.gif", "anim"},
      {".gif", ""},
      {"a.g", ""},
      {"", ""},
      {"\xE3\x82\xA2\xE3\x83\x8B\xE3\x83\xA1.gif", "\xE3\x82\xA2\xE3\x83\x8B\xE3\x83\xA1"},
      {"\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88\xE3\x81\x8A", "\xE3\x81\x82"},
      {"my file.GIF", "my file"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Toolkit::DropLastCharacters(text, 4), expected) << text;
  }
}

}  // namespace
