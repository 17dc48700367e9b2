// mervane-split: divides an animated GIF into one GIF file per frame, the
// same way the window does, for use from scripts.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "frame_split/frame_split.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitNotDivisible = 1;
constexpr int kExitFailure = 2;
constexpr std::size_t kExtensionLength = 4;  // characters cut from the name for the prefix

constexpr char kUsage[] =
    "Usage: mervane-split SOURCE [OUTPUT_PREFIX]\n"
    "Divide the animated GIF SOURCE into one GIF file per frame.\n"
    "\n"
    "Frame files are named OUTPUT_PREFIX, the frame number with at least three\n"
    "digits (001, 002, ...) and \".gif\". The default prefix is SOURCE's file name\n"
    "without its last four characters, in the current folder.\n"
    "\n"
    "Exit status: 0 frames were written; 1 SOURCE has no looping signature\n"
    "(\"NETSCAPE\") and nothing was written; 2 any other failure (frame files\n"
    "written before it stay).\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// A bar on standard error, redrawn only when its whole percentage changes.
class TerminalBar final : public FrameSplit::SplitProgress {
 public:
  float Width() override { return kFull; }
  void DrawBox(float right) override {
    const int percent = right >= kFull ? 100 : static_cast<int>(right * 100.0f / kFull);
    if (percent == shown_) return;
    shown_ = percent;
    constexpr int kCells = 40;
    const int filled = percent * kCells / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                 kCells - filled, "", percent);
    std::fflush(stderr);
  }
  void Clear() override {
    if (shown_ >= 0) std::fprintf(stderr, "\r%*s\r", 47, "");
    std::fflush(stderr);
  }
  void DoEvents() override {}

 private:
  static constexpr float kFull = 1000.0f;
  int shown_ = -1;
};

std::string DefaultPrefix(const std::string& source) {
  const std::u8string name =
      std::filesystem::path(std::u8string(source.begin(), source.end())).filename().u8string();
  return Toolkit::DropLastCharacters(std::string(name.begin(), name.end()), kExtensionLength);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(kUsage, stdout);
    return kExitWritten;
  }
  if (argc >= 2 && std::string_view(argv[1]) == "--version") {
    std::printf("mervane-split %s\n", MERVANE_VERSION);
    return kExitWritten;
  }
  if (argc < 2 || argc > 3) {
    std::fputs(kUsage, stderr);
    return kExitFailure;
  }
  const std::string source = argv[1];
  const std::string prefix = argc == 3 ? argv[2] : DefaultPrefix(source);
  try {
    const std::vector<std::uint8_t> bytes = Toolkit::ReadWholeFile(source);
    FrameSplit::SplitReport report;
    if (Toolkit::StderrIsTerminal()) {
      TerminalBar bar;
      report = FrameSplit::SplitAndReport(bytes, source, prefix, bar);
    } else {
      FrameSplit::NoProgress quiet;
      report = FrameSplit::SplitAndReport(bytes, source, prefix, quiet);
    }
    const int written = report.frames;
    if (report.damage) {
      std::fprintf(stderr,
                   "mervane-split: warning: %s: byte %zu: %s; the last frame may be incomplete\n",
                   source.c_str(), report.damage->offset, report.damage->reason.c_str());
    }
    if (written == 0) {
      std::fprintf(stderr,
                   "mervane-split: %s: no looping signature (\"NETSCAPE\"), so it cannot be "
                   "divided; nothing written\n",
                   source.c_str());
      return kExitNotDivisible;
    }
    std::printf("%d frame%s written\n", written, written == 1 ? "" : "s");
    return kExitWritten;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "mervane-split: %s\n", failure.what());
    return kExitFailure;
  }
}
