// SPDX-License-Identifier: MIT
// Processes and special files for the tests: the Windows side.

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/process.h"
#include "support/special_files.h"

namespace GifTest {
namespace {

std::wstring Wide(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

// One argument as CommandLineToArgvW reads it back: quoted when it holds a
// blank or a quote, with backslashes doubled only before a quote.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(2 * backslashes, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

std::wstring CommandLine(const std::vector<std::string>& argv) {
  std::wstring line;
  for (const std::string& argument : argv) {
    if (!line.empty()) line.push_back(L' ');
    line += Quoted(Wide(argument));
  }
  return line;
}

// Closes a handle when it goes.
struct Handle {
  HANDLE value = nullptr;
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  void Close() {
    if (value != nullptr && value != INVALID_HANDLE_VALUE) CloseHandle(value);
    value = nullptr;
  }
};

void Pipe(Handle& read_end, Handle& write_end) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  if (!CreatePipe(&read_end.value, &write_end.value, &inherited, 0) ||
      !SetHandleInformation(read_end.value, HANDLE_FLAG_INHERIT, 0)) {
    throw std::runtime_error("pipe failed");
  }
}

// Reads until the writer closes, turning the child's text-mode "\r\n" back
// into "\n" as a text-mode read would.
void Drain(HANDLE from, std::string& sink) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) sink.append(buffer, got);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < sink.size(); ++i) {
    if (!(sink[i] == '\r' && i + 1 < sink.size() && sink[i + 1] == '\n')) sink[kept++] = sink[i];
  }
  sink.resize(kept);
}

PROCESS_INFORMATION Start(const std::vector<std::string>& argv, const std::string& working_dir,
                          STARTUPINFOW& startup) {
  std::wstring line = CommandLine(argv);
  const std::wstring program = Wide(argv.at(0));
  const std::wstring folder = Wide(working_dir);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    throw std::runtime_error("cannot start " + argv.at(0));
  }
  CloseHandle(process.hThread);
  return process;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& working_dir) {
  Handle out_read, out_write, err_read, err_write;
  Pipe(out_read, out_write);
  Pipe(err_read, err_write);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out_write.value;
  startup.hStdError = err_write.value;
  Handle process;
  process.value = Start(argv, working_dir, startup).hProcess;
  // Only the child may hold the write ends now, so the reads end when it does.
  out_write.Close();
  err_write.Close();
  ProcessResult result;
  std::thread errors([&] { Drain(err_read.value, result.err); });
  Drain(out_read.value, result.out);
  errors.join();
  WaitForSingleObject(process.value, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process.value, &code)) result.exit_code = static_cast<int>(code);
  return result;
}

Spawned::Spawned(const std::vector<std::string>& argv) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  process_ = Start(argv, "", startup).hProcess;
}

Spawned::~Spawned() {
  if (!exited_) TerminateProcess(process_, 1);
  CloseHandle(process_);
}

int Spawned::WaitForExit(double seconds) {
  const auto milliseconds = static_cast<DWORD>(seconds * 1000);
  if (WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return -1;
  exited_ = true;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return static_cast<int>(code);
}

bool MakeFifo(const std::string&) { return false; }

bool WithFileSizeLimit(std::size_t, const std::function<void()>&) { return false; }

bool WithMemoryHeadroom(std::size_t, const std::function<void()>&) { return false; }

bool WithSmallDiskAt(const std::string&, std::size_t, const std::function<void()>&) {
  return false;
}

std::optional<std::size_t> OpenDescriptorCount() {
  DWORD count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return std::nullopt;
  return count;
}

}  // namespace GifTest
