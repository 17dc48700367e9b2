// SPDX-License-Identifier: MIT
// Processes and special files for the tests: the POSIX side.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sched.h>
#include <sys/mount.h>
#endif

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/process.h"
#include "support/special_files.h"

namespace GifTest {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& working_dir) {
  int out_pipe[2], err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::dup2(err_pipe[1], STDERR_FILENO);
    if (!working_dir.empty() && ::chdir(working_dir.c_str()) != 0) ::_exit(127);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  ProcessResult result;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace GifTest

namespace GifTest {

Spawned::Spawned(const std::vector<std::string>& argv) {
  pid_ = ::fork();
  if (pid_ == 0) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
}

Spawned::~Spawned() {
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

int Spawned::WaitForExit(double seconds) {
  int status = 0;
  const bool done = PollUntil(seconds, [&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; });
  if (!done) return -1;
  exited_ = true;
  // A process ended by a signal (a sanitizer's abort, say) has still exited.
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace GifTest

namespace GifTest {

bool MakeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

bool WithFileSizeLimit(std::size_t bytes, const std::function<void()>& work) {
  rlimit old{};
  if (::getrlimit(RLIMIT_FSIZE, &old) != 0) return false;
  rlimit limited = old;
  limited.rlim_cur = bytes;
  // Past the limit a write fails with EFBIG, once this signal no longer ends the process.
  const auto previous = ::signal(SIGXFSZ, SIG_IGN);
  if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) return false;
  work();
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, previous);
  return true;
}

bool WithMemoryHeadroom(std::size_t headroom, const std::function<void()>& work) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
  return false;
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || !defined(__linux__)
  return false;
#else
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return false;
  unsigned long pages = 0;
  const bool read = std::fscanf(statm, "%lu", &pages) == 1;
  std::fclose(statm);
  rlimit old{};
  if (!read || ::getrlimit(RLIMIT_AS, &old) != 0) return false;
  rlimit limited = old;
  limited.rlim_cur = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + headroom;
  if (old.rlim_cur != RLIM_INFINITY && limited.rlim_cur > old.rlim_cur) return false;
  if (::setrlimit(RLIMIT_AS, &limited) != 0) return false;
  work();
  ::setrlimit(RLIMIT_AS, &old);
  return true;
#endif
}

bool WithSmallDiskAt(const std::string& path, std::size_t bytes,
                     const std::function<void()>& work) {
#if defined(__linux__)
  // A mount namespace of this process's own: the host never sees the disk.
  if (::unshare(CLONE_NEWNS) != 0) return false;
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  const std::string size = "size=" + std::to_string(bytes);
  if (::mount("mervane-test", path.c_str(), "tmpfs", 0, size.c_str()) != 0) return false;
  work();
  ::umount2(path.c_str(), MNT_DETACH);
  return true;
#else
  return false;
#endif
}

std::optional<std::size_t> OpenDescriptorCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

}  // namespace GifTest
