#pragma once

#include <string>
#include <vector>

namespace GifTest {

struct ProcessResult {
  int exit_code = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] is the program's path) in `working_dir` without a
// shell, waits for it, and returns its exit code and output.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& working_dir = "");

}  // namespace GifTest
