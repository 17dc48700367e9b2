// SPDX-License-Identifier: MIT
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
// shell, waits for it, and returns its exit code and output, with line ends
// as "\n" on every platform.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& working_dir = "");

}  // namespace GifTest

namespace GifTest {

// A process started in the background; killed when the object goes unless
// it has exited.
class Spawned {
 public:
  explicit Spawned(const std::vector<std::string>& argv);
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;
  ~Spawned();
  // Waits up to `seconds` for the exit; returns its code (128 + the signal
  // when a signal ended it), or -1 on time-out.
  int WaitForExit(double seconds);
#if !defined(_WIN32)
  int Pid() const { return pid_; }
#endif

 private:
#if defined(_WIN32)
  void* process_ = nullptr;  // the process handle
#else
  int pid_ = -1;
#endif
  bool exited_ = false;
};

// Polls `condition` every 20 ms until it holds or `seconds` pass.
template <typename Condition>
bool PollUntil(double seconds, Condition condition);

}  // namespace GifTest

#include <chrono>
#include <thread>

template <typename Condition>
bool GifTest::PollUntil(double seconds, Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}
