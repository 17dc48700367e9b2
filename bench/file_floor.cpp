// SPDX-License-Identifier: MIT
// file_floor PREFIX SIZE...: the least a program can do to write one file
// per SIZE: open (exclusive create), one write, close. It writes files named
// PREFIX001.bin, PREFIX002.bin, ... of those sizes, for bench/cut_bench.sh to
// time the exact cut against.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: file_floor PREFIX SIZE...\n");
    return 2;
  }
  std::vector<char> bytes;
  for (int k = 2; k < argc; ++k) {
    const std::size_t size = std::strtoull(argv[k], nullptr, 10);
    if (bytes.size() < size) bytes.resize(size, 'x');
    char number[16];
    std::snprintf(number, sizeof number, "%03d.bin", k - 1);
    const std::string name = std::string(argv[1]) + number;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, bytes.data(), size) != static_cast<ssize_t>(size) || ::close(fd)) {
      std::perror(name.c_str());
      return 1;
    }
  }
  return 0;
}
