// SPDX-License-Identifier: MIT
#pragma once

// Reading the JSON the frame sets come with, enough for tests: every
// number that follows a field's name, in order.

#include <cstdlib>
#include <string>
#include <vector>

namespace GifTest {

// Every whole number that follows `field` (as in "\"delay_ms\": ") in `json`.
template <typename Number = int>
std::vector<Number> Numbers(const std::string& json, const std::string& field) {
  std::vector<Number> numbers;
  for (auto at = json.find(field); at != std::string::npos; at = json.find(field, at + 1)) {
    numbers.push_back(
        static_cast<Number>(std::strtoll(json.c_str() + at + field.size(), nullptr, 10)));
  }
  return numbers;
}

}  // namespace GifTest
