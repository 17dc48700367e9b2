// SPDX-License-Identifier: MIT
#pragma once

// Reading the JSON the frame sets come with, enough for tests: every
// number that follows a field's name, in order.

#include <cstdlib>
#include <string>
#include <vector>

namespace GifTest {

// Every whole number that follows `field` (as in "\"delay_ms\": ") in `json`.
inline std::vector<int> Numbers(const std::string& json, const std::string& field) {
  std::vector<int> numbers;
  for (auto at = json.find(field); at != std::string::npos; at = json.find(field, at + 1)) {
    numbers.push_back(std::atoi(json.c_str() + at + field.size()));
  }
  return numbers;
}

}  // namespace GifTest
