// mervane-split: divides an animated GIF into one GIF file per frame, the
// same way the window does, for use from scripts.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "frame_compose/frame_compose.h"
#include "frame_compose/save_frames.h"
#include "frame_split/frame_split.h"
#include "frame_split/gif_markers.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"

namespace {

constexpr char kProgram[] = "mervane-split";
constexpr int kExitWritten = 0;
constexpr int kExitNotDivisible = 1;
constexpr int kExitFailure = 2;
constexpr char kPngExtension[] = ".png";

constexpr char kUsage[] =
    "Usage: mervane-split [OPTION]... SOURCE [OUTPUT_PREFIX]\n"
    "  or:  mervane-split --info [--json] [--frames LIST] SOURCE\n"
    "Divide the animated GIF SOURCE into one GIF file per frame, losslessly.\n"
    "\n"
    "Frame files are named OUTPUT_PREFIX, the frame number with at least three\n"
    "digits (001, 002, ...) and \".gif\" (\".png\" with --png). The default prefix\n"
    "is SOURCE's file name without a final \".gif\", in the current folder.\n"
    "\n"
    "By default each frame file holds the source's own bytes for that frame, so\n"
    "frames that only change part of the picture hold only that part.\n"
    "      --full         write each frame as it appears instead: the whole picture\n"
    "                     in a GIF of its own, colours exact, with the frame's delay\n"
    "                     (more than 256 colours: tiles of up to 256 colours each)\n"
    "      --png          write each frame as it appears as an RGBA PNG\n"
    "      --info         write no files; print each frame's number, byte offset\n"
    "                     and length in SOURCE, rectangle, delay, disposal,\n"
    "                     transparency and colour table, then the totals\n"
    "      --json         with --info: print them as one JSON object\n"
    "      --frames LIST  only these frames, as in 3-10,15 or 20- (to the end)\n"
    "  -h, --help         show this text and exit\n"
    "      --version      show the version and exit\n"
    "      --             end of options: what follows is SOURCE and OUTPUT_PREFIX\n"
    "\n"
    "A damaged or truncated SOURCE is divided as far as it goes; a warning on\n"
    "standard error gives the byte offset where its blocks stop.\n"
    "\n"
    "Exit status: 0 frames were written (or facts printed); 1 SOURCE has no\n"
    "looping signature (\"NETSCAPE\") and nothing was written (the default cut\n"
    "only: --full, --png and --info take any GIF); 2 any other failure (frame\n"
    "files written before it stay). Nothing is written when a frame name would\n"
    "be SOURCE itself or is a symbolic link.\n";

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
  std::fflush(stdout);  // what was printed before the failure comes first
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return kExitFailure;
}

// Why no frame may be written under `prefix`, or empty text: a frame name
// that is the source itself, or a symbolic link, would lose a file.
std::string Obstacle(const std::string& source, const std::string& prefix, int frames,
                     const Cli::FrameSelection& selection, const char* extension) {
  for (int k = 1; k <= frames; ++k) {
    if (!selection.Contains(k)) continue;
    const std::string name =
        prefix + Toolkit::Format(k, FrameSplit::kFrameNumberPicture) + extension;
    // One look at each name: most are new, and only a file already there
    // can be the source.
    const Toolkit::EntryKind kind = Toolkit::KindOf(name);
    if (kind == Toolkit::EntryKind::kSymbolicLink) {
      return name + ": a symbolic link stands at this frame name; nothing written";
    }
    if (kind == Toolkit::EntryKind::kOther && Toolkit::SameFile(name, source)) {
      return name + ": frame " + std::to_string(k) + " would overwrite the source; nothing written";
    }
  }
  return {};
}

int Written(int written) {
  std::printf("%d frame%s written\n", written, written == 1 ? "" : "s");
  return kExitWritten;
}

// Writes to the terminal's bar when standard error is one.
template <typename Work>
int WithProgress(Work work) {
  if (Toolkit::StderrIsTerminal()) {
    TerminalBar bar;
    return work(bar);
  }
  FrameSplit::NoProgress quiet;
  return work(quiet);
}

int Cut(const std::vector<std::uint8_t>& bytes, const Cli::Arguments& args,
        const std::string& prefix) {
  const std::optional<FrameSplit::CutPlan> plan = FrameSplit::PlanCuts(bytes, args.source);
  if (!plan) {
    std::fprintf(stderr,
                 "%s: %s: no looping signature (\"NETSCAPE\"), so it cannot be divided; nothing "
                 "written\n",
                 kProgram, args.source.c_str());
    return kExitNotDivisible;
  }
  const int frames = static_cast<int>(plan->frame_starts.size());
  if (const std::string obstacle =
          Obstacle(args.source, prefix, frames, args.frames, FrameSplit::kFrameExtension);
      !obstacle.empty()) {
    return Fail(obstacle);
  }
  const int written = WithProgress([&](FrameSplit::SplitProgress& progress) {
    return FrameSplit::WriteFrames(bytes, *plan, prefix, progress,
                                   [&](int k) { return args.frames.Contains(k); });
  });
  if (plan->damage) {
    std::fprintf(stderr, "%s: warning: %s: byte %zu: %s; the last frame may be incomplete\n",
                 kProgram, args.source.c_str(), plan->damage->offset, plan->damage->reason.c_str());
  }
  return Written(written);
}

// Frames as they appear, as full-frame GIFs or PNGs.
int Compose(const std::vector<std::uint8_t>& bytes, const Cli::Arguments& args,
            const std::string& prefix) {
  const bool png = args.output == Cli::Output::kPng;
  const char* extension = png ? kPngExtension : FrameSplit::kFrameExtension;
  const int count = FrameCompose::CountFrames(bytes);
  if (const std::string obstacle = Obstacle(args.source, prefix, count, args.frames, extension);
      !obstacle.empty()) {
    return Fail(obstacle);
  }
  const int written = WithProgress([&](FrameSplit::SplitProgress& progress) {
    const float step = progress.Width() / static_cast<float>(std::max(count, 1));
    FrameCompose::SaveRequest request;
    request.kind = png ? FrameCompose::FileKind::kPng : FrameCompose::FileKind::kFullFrameGif;
    request.path_of = [&](int number) {
      return prefix + Toolkit::Format(number, FrameSplit::kFrameNumberPicture) + extension;
    };
    request.wanted = [&](int number) { return args.frames.Contains(number); };
    request.last = args.frames.Last();
    request.after_frame = [&](int number) { progress.DrawBox(static_cast<float>(number) * step); };
    const int done = FrameCompose::SaveFramesAsTheyAppear(bytes, args.source, request);
    progress.Clear();
    return done;
  });
  return Written(written);
}

const char* DisposalName(int disposal) {
  static constexpr const char* kNames[] = {"unspecified", "leave", "background", "previous"};
  return disposal >= 0 && disposal < 4 ? kNames[disposal] : "reserved";
}

const char* TableName(const FrameCompose::FrameFacts& frame, bool global) {
  return frame.local_colour_table ? "local" : global ? "global" : "none";
}

// The frame facts, as a table or as one JSON object.
int Info(const std::vector<std::uint8_t>& bytes, const Cli::Arguments& args) {
  FrameCompose::ComposeOptions facts_only;
  facts_only.pixels = false;
  std::vector<FrameCompose::FrameFacts> frames;
  FrameCompose::AnimationFacts animation;
  std::exception_ptr damage;  // reported after the facts read before it
  try {
    FrameCompose::Compose(
        bytes, args.source,
        [&](const FrameCompose::FrameFacts& frame, const FrameCompose::Canvas*) {
          if (args.frames.Contains(frame.number)) frames.push_back(frame);
          return true;
        },
        animation, facts_only);
  } catch (const FrameCompose::ComposeError&) {
    if (animation.frame_count == 0) throw;
    damage = std::current_exception();
  }
  const long long duration_ms = animation.total_delay_cs * 10;
  if (args.json) {
    std::printf("{\"frames\": [");
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const auto& f = frames[i];
      std::printf(
          "%s\n  {\"number\": %d, \"offset\": %zu, \"length\": %zu, \"left\": %d, \"top\": %d, "
          "\"width\": %d, \"height\": %d, \"delay_ms\": %d, \"disposal\": \"%s\", "
          "\"transparent_index\": %s, \"colour_table\": \"%s\", \"interlaced\": %s}",
          i == 0 ? "" : ",", f.number, f.offset, f.length, f.left, f.top, f.width, f.height,
          f.delay_cs * 10, DisposalName(f.disposal),
          f.transparent_index ? std::to_string(*f.transparent_index).c_str() : "null",
          TableName(f, animation.global_colour_table), f.interlaced ? "true" : "false");
    }
    std::printf(
        "%s],\n \"count\": %d, \"loop_count\": %s, \"screen\": {\"width\": %d, \"height\": "
        "%d}, \"duration_ms\": %lld}\n",
        frames.empty() ? "" : "\n", animation.frame_count,
        animation.loop_count ? std::to_string(*animation.loop_count).c_str() : "null",
        animation.screen_width, animation.screen_height, duration_ms);
    if (damage) std::rethrow_exception(damage);
    return kExitWritten;
  }
  std::printf("frame offset length rectangle delay_ms disposal transparent colour_table\n");
  for (const auto& f : frames) {
    std::printf("%d %zu %zu %dx%d+%d+%d %d %s %s %s%s\n", f.number, f.offset, f.length, f.width,
                f.height, f.left, f.top, f.delay_cs * 10, DisposalName(f.disposal),
                f.transparent_index ? std::to_string(*f.transparent_index).c_str() : "-",
                TableName(f, animation.global_colour_table), f.interlaced ? " interlaced" : "");
  }
  const std::string loop = !animation.loop_count        ? "once"
                           : *animation.loop_count == 0 ? "forever"
                                                        : std::to_string(*animation.loop_count);
  std::printf("total frames %d, loop %s, screen %dx%d, duration_ms %lld\n", animation.frame_count,
              loop.c_str(), animation.screen_width, animation.screen_height, duration_ms);
  if (damage) std::rethrow_exception(damage);
  return kExitWritten;
}

int Run(const Cli::Arguments& args) {
  const std::vector<std::uint8_t> bytes = Toolkit::ReadWholeFile(args.source);
  const std::string prefix = args.prefix.value_or(Cli::DefaultPrefix(args.source));
  switch (args.output) {
    case Cli::Output::kExactCut:
      return Cut(bytes, args, prefix);
    case Cli::Output::kFullFrames:
    case Cli::Output::kPng:
      return Compose(bytes, args, prefix);
    case Cli::Output::kInfo:
      return Info(bytes, args);
  }
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  Cli::ArgumentError error;
  const std::optional<Cli::Arguments> args =
      Cli::ParseArguments(Toolkit::ProgramArguments(argc, argv), error);
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
    return Run(*args);
  } catch (const std::exception& failure) {
    return Fail(failure.what());
  }
}
