// mervane-split: divides an animated GIF into one GIF file per frame, the
// same way the window does, for use from scripts.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "frame_split/frame_split.h"
#include "toolkit/file_ops.h"

namespace {

constexpr char kProgram[] = "mervane-split";
constexpr int kExitWritten = 0;
constexpr int kExitNotDivisible = 1;
constexpr int kExitFailure = 2;

constexpr char kUsage[] =
    "Usage: mervane-split [OPTION]... SOURCE [OUTPUT_PREFIX]\n"
    "Divide the animated GIF SOURCE into one GIF file per frame, losslessly.\n"
    "\n"
    "Frame files are named OUTPUT_PREFIX, the frame number with at least three\n"
    "digits (001, 002, ...) and \".gif\". The default prefix is SOURCE's file name\n"
    "without a final \".gif\", in the current folder.\n"
    "\n"
    "  -h, --help     show this text and exit\n"
    "      --version  show the version and exit\n"
    "      --         end of options: what follows is SOURCE and OUTPUT_PREFIX\n"
    "\n"
    "A damaged or truncated SOURCE is divided as far as it goes; a warning on\n"
    "standard error gives the byte offset where its blocks stop.\n"
    "\n"
    "Exit status: 0 frames were written; 1 SOURCE has no looping signature\n"
    "(\"NETSCAPE\") and nothing was written; 2 any other failure (frame files\n"
    "written before it stay). Nothing is written when a frame name would be\n"
    "SOURCE itself or is a symbolic link.\n";

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

int Fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return kExitFailure;
}

// Why no frame may be written under `prefix`, or empty text: a frame name
// that is the source itself, or a symbolic link, would lose a file.
std::string Obstacle(const std::string& source, const std::string& prefix, std::size_t frames) {
  for (int k = 1; k <= static_cast<int>(frames); ++k) {
    const std::string name = FrameSplit::FrameFileName(prefix, k);
    if (Toolkit::SameFile(name, source)) {
      return name + ": frame " + std::to_string(k) + " would overwrite the source; nothing written";
    }
    if (Toolkit::IsSymbolicLink(name)) {
      return name + ": a symbolic link stands at this frame name; nothing written";
    }
  }
  return {};
}

int Divide(const std::string& source, const std::string& prefix) {
  const std::vector<std::uint8_t> bytes = Toolkit::ReadWholeFile(source);
  const std::optional<FrameSplit::CutPlan> plan = FrameSplit::PlanCuts(bytes, source);
  if (!plan) {
    std::fprintf(stderr,
                 "%s: %s: no looping signature (\"NETSCAPE\"), so it cannot be divided; nothing "
                 "written\n",
                 kProgram, source.c_str());
    return kExitNotDivisible;
  }
  if (const std::string obstacle = Obstacle(source, prefix, plan->frame_starts.size());
      !obstacle.empty()) {
    return Fail(obstacle);
  }
  int written = 0;
  if (Toolkit::StderrIsTerminal()) {
    TerminalBar bar;
    written = FrameSplit::WriteFrames(bytes, *plan, prefix, bar);
  } else {
    FrameSplit::NoProgress quiet;
    written = FrameSplit::WriteFrames(bytes, *plan, prefix, quiet);
  }
  if (plan->damage) {
    std::fprintf(stderr, "%s: warning: %s: byte %zu: %s; the last frame may be incomplete\n",
                 kProgram, source.c_str(), plan->damage->offset, plan->damage->reason.c_str());
  }
  std::printf("%d frame%s written\n", written, written == 1 ? "" : "s");
  return kExitWritten;
}

}  // namespace

int main(int argc, char** argv) {
  Cli::ArgumentError error;
  const std::optional<Cli::Arguments> args =
      Cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!args) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                 error.message.c_str(), kProgram);
    return kExitFailure;
  }
  if (args->help) {
    std::fputs(kUsage, stdout);
    return kExitWritten;
  }
  if (args->version) {
    std::printf("%s %s\n", kProgram, MERVANE_VERSION);
    return kExitWritten;
  }
  try {
    return Divide(args->source, args->prefix.value_or(Cli::DefaultPrefix(args->source)));
  } catch (const std::exception& failure) {
    return Fail(failure.what());
  }
}
