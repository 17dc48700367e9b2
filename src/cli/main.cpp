// SPDX-License-Identifier: MIT
// mervane-split: divides an animated GIF into one GIF file per frame, the
// same way the window does, for use from scripts.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "cli/arguments.h"
#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_sets.h"
#include "frame_compose/png_writer.h"
#include "frame_compose/save_frames.h"
#include "frame_split/frame_split.h"
#include "gif_format/gif_markers.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"
#include "toolkit/platform_error.h"
#include "toolkit/utf8_path.h"
#if MERVANE_FRAME_FORMATS
#include "frame_formats/format_compose.h"
#include "frame_formats/format_sniff.h"
#include "frame_formats/format_source.h"
#endif

namespace {

constexpr char kProgram[] = "mervane-split";
constexpr int kExitWritten = 0;
constexpr int kExitNotDivisible = 1;
constexpr int kExitFailure = 2;
constexpr char kNoMemory[] =
    "not enough memory; nothing more written (fewer frames at once, with --frames, may fit)";
constexpr char kUnexpected[] = "an unexpected failure; nothing more written";

constexpr char kUsage[] =
    "Usage: mervane-split [OPTION]... SOURCE [OUTPUT_PREFIX]\n"
    "  or:  mervane-split --info [--json] [--frames LIST] SOURCE\n"
    "Divide SOURCE, an animated GIF, WebP or APNG, into one file per frame,\n"
    "losslessly. The format is told by the bytes, not the name.\n"
    "\n"
    "Frame files are named OUTPUT_PREFIX, the frame number with at least three\n"
    "digits (001, 002, ...) and the source's extension: \".gif\", \".webp\" or\n"
    "\".png\" (\".png\" with --png). The default prefix is SOURCE's file name\n"
    "without a final \".gif\" (\".webp\" for a WebP, \".png\" for an APNG), in\n"
    "the current folder.\n"
    "\n"
    "By default each frame file holds the source's own bytes for that frame, so\n"
    "frames that only change part of the picture hold only that part: a GIF's\n"
    "frame as a GIF, a WebP's as a still WebP, an APNG's as a PNG, each the\n"
    "frame's patch, which opened alone may show only part of the picture.\n"
    "      --full         write each frame as it appears instead: the whole picture\n"
    "                     in a file of the source's format, colours exact: a GIF\n"
    "                     with the frame's delay (more than 256 colours: tiles of\n"
    "                     up to 256 colours each), a lossless WebP, or a PNG\n"
    "      --png          write each frame as it appears as an RGBA PNG\n"
    "      --sheet COLUMNS  write one PNG holding every frame as it appears, in a\n"
    "                     grid of COLUMNS columns filled row by row, named\n"
    "                     OUTPUT_PREFIX-sheet-COLSxROWS-WxH.png (W x H: one cell),\n"
    "                     with its JSON (cells, frames, delays) beside it\n"
    "      --distinct     with --full, --png or --sheet: keep a frame only when it\n"
    "                     looks different from the frame before it; it keeps its\n"
    "                     own number and the delays of the frames it stands for\n"
    "                     (a GIF's run longer than 655.35 s, the most a GIF frame\n"
    "                     shows, is kept as several frames)\n"
    "      --info         write no files; print each frame's number, byte offset\n"
    "                     and length in SOURCE, rectangle, delay, disposal,\n"
    "                     transparency and colour table, then the totals (for a\n"
    "                     WebP or APNG: rectangle, delay, dispose and blend ops,\n"
    "                     and APNG's delay as the fraction stored)\n"
    "      --json         with --info: print them as one JSON object; with frame\n"
    "                     files: write it as OUTPUT_PREFIX.json beside them, each\n"
    "                     frame with its file\n"
    "      --frames LIST  only these frames, as in 3-10,15 or 20- (to the end)\n"
    "      --limit-pixels N  with --full, --png or --sheet: refuse to write more\n"
    "                     than N pixels in all (frames times picture size); the\n"
    "                     default is 4000000000, 0 means no limit\n"
    "      --jobs N       with --full or --png: use N threads in all; the default\n"
    "                     is one per core (the other outputs take one and refuse it)\n"
    "  -h, --help         show this text and exit (on Windows also /?)\n"
    "      --version      show the version and exit\n"
    "      --             end of options: what follows is SOURCE and OUTPUT_PREFIX\n"
    "\n"
    "A damaged or truncated SOURCE is divided as far as it goes, in every mode;\n"
    "one warning names the frame and the byte offset, and the status is 0.\n"
    "\n"
    "Exit status: 0 frames were written (or facts printed); 1 SOURCE has no\n"
    "looping signature (\"NETSCAPE\") and nothing was written (the default cut\n"
    "only: --full, --png, --sheet and --info take any GIF); 2 any other failure\n"
    "(frame files written before it stay, and none is left half written).\n"
    "Nothing is written when a frame name would be SOURCE itself, or when\n"
    "anything but a regular file stands at one; a regular file there, frame or\n"
    "JSON, is replaced. Folders named in OUTPUT_PREFIX are made.\n"
    "\n"
    "Examples:\n"
    "  mervane-split clip.gif            clip001.gif, clip002.gif, ... here\n"
    "  mervane-split --png --frames 1-3 clip.gif f/c\n"
    "                                    f/c001.png to f/c003.png\n"
    "  mervane-split --png --distinct --json clip.gif f/c\n"
    "                                    one PNG per run of identical frames, and\n"
    "                                    f/c.json with their delays\n"
    "  mervane-split --sheet 4 clip.gif  one sprite sheet, 4 frames a row, and JSON\n"
    "  mervane-split --info clip.gif     each frame's facts; nothing written\n"
    "  mervane-split -- -odd.gif         a SOURCE whose name starts with a dash\n";

// A bar on standard error, redrawn only when its whole percentage changes.
class TerminalBar final : public Toolkit::Progress {
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

// Why no frame may be cut under `prefix`, or empty text: every name is
// looked at before the first file is written, so that a refusal writes nothing.
std::string Obstacle(const std::string& source, const std::string& prefix, int frames,
                     const Cli::FrameSelection& selection,
                     const char* extension = FrameSplit::kFrameExtension) {
  const auto wanted = [&](int k) { return selection.Contains(k); };
  const auto path_of = [&](int k) { return FrameSplit::FrameFileName(prefix, k, extension); };
  try {
    Toolkit::RequireFreeNames(FrameCompose::WantedPaths(frames, wanted, path_of), source);
  } catch (const Toolkit::PlatformError& failure) {
    int frame = 0;
    for (int k = 1; k <= frames && frame == 0; ++k) {
      if (wanted(k) && path_of(k) == failure.path()) frame = k;
    }
    return failure.path() + ": " + failure.reason() + " (frame " + std::to_string(frame) +
           "); nothing written";
  }
  return {};
}

// Empty text when `selection` picks some of `frames` frames; else the refusal.
std::string NoneSelected(const Cli::Arguments& args, int frames) {
  if (frames == 0) return args.source + ": the file holds no frames; nothing written";
  for (int k = 1; k <= frames; ++k) {
    if (args.frames.Contains(k)) return {};
  }
  return "--frames " + args.frames_text + " selects none of the " + std::to_string(frames) +
         " frames of " + args.source;
}

// One warning for a damaged source, the same in every mode: a GIF's frame
// it ends in is written or listed as far as its data reach; an animated
// WebP's or APNG's is decoded whole or not at all, so it is left out.
void Warn(const std::string& damage, bool left_out = false) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: warning: %s; that frame is %s\n", kProgram, damage.c_str(),
               left_out ? "not written" : "incomplete");
}

// A prefix naming folders that do not exist yet gets them, as mkdir -p
// would; called once nothing stands in the way of writing.
void MakePrefixFolder(const std::string& prefix) {
  const std::filesystem::path folder = Toolkit::ToPath(prefix).parent_path();
  if (folder.empty()) return;
  Toolkit::MkDirAll(Toolkit::FromPath(folder));
}

// The folder that files named from `prefix` go to, whole, as the summary
// names it: a relative prefix alone would not say where "here" was.
std::string FolderOf(const std::string& prefix) {
  namespace fs = std::filesystem;
  const fs::path folder = Toolkit::ToPath(prefix).parent_path();
  std::error_code unknown;  // no current folder: the prefix's own words serve
  fs::path whole = fs::absolute(folder.empty() ? fs::path(u8".") : folder, unknown);
  if (unknown) whole = folder.empty() ? fs::path(u8".") : folder;
  whole = whole.lexically_normal();
  if (!whole.has_filename() && whole != whole.root_path()) whole = whole.parent_path();
  return Toolkit::FromPath(whole);
}

int Written(int written, const std::string& prefix) {
  std::printf("%d frame%s written to %s\n", written, written == 1 ? "" : "s",
              FolderOf(prefix).c_str());
  return kExitWritten;
}

// Writes to the terminal's bar when standard error is one.
template <typename Work>
auto WithProgress(Work work) {
  if (Toolkit::StderrIsTerminal()) {
    TerminalBar bar;
    return work(bar);
  }
  Toolkit::NoProgress quiet;
  return work(quiet);
}

// What --info reads: the facts of the selected frames, of the whole
// animation, and where a damaged source ended.
struct Facts {
  FrameCompose::SetFacts set;
  std::optional<FrameCompose::ComposeError> damage;  // told after the facts read before it
};

Facts ReadFacts(const std::vector<std::uint8_t>& bytes, const Cli::Arguments& args) {
  Facts facts;
  facts.set = FrameCompose::ReadSetFacts(
      bytes, args.source, [&](int number) { return args.frames.Contains(number); }, &facts.damage);
  return facts;
}

int Cut(const std::vector<std::uint8_t>& bytes, const Cli::Arguments& args,
        const std::string& prefix) {
  const std::optional<FrameSplit::CutPlan> plan = FrameSplit::PlanCuts(bytes, args.source);
  if (!plan) {
    std::fprintf(stderr,
                 "%s: %s: no looping signature (\"NETSCAPE\"), so it cannot be divided; nothing "
                 "written (use --full or --png to write its frames as they appear)\n",
                 kProgram, args.source.c_str());
    return kExitNotDivisible;
  }
  const int frames = static_cast<int>(plan->frame_starts.size());
  if (const std::string none = NoneSelected(args, frames); !none.empty()) return Fail(none);
  if (const std::string obstacle = Obstacle(args.source, prefix, frames, args.frames);
      !obstacle.empty()) {
    return Fail(obstacle);
  }
  const std::string sidecar = args.json ? FrameCompose::SidecarName(prefix) : std::string();
  if (!sidecar.empty()) Toolkit::RequireFreeNames({sidecar}, args.source);
  MakePrefixFolder(prefix);
  const int written = WithProgress([&](Toolkit::Progress& progress) {
    return FrameSplit::WriteFrames(bytes, *plan, prefix, progress,
                                   [&](int k) { return args.frames.Contains(k); });
  });
  if (!sidecar.empty()) {
    FrameCompose::SetFacts set = ReadFacts(bytes, args).set;
    FrameCompose::NameFiles(set, [&](int k) { return FrameSplit::FrameFileName(prefix, k); });
    FrameCompose::WriteSetJson(sidecar, set);
  }
  if (plan->damage) {
    // The damage lies in the last frame that starts before it.
    const auto& starts = plan->frame_starts;
    const auto frame = std::upper_bound(starts.begin(), starts.end(), plan->damage->offset);
    Warn(args.source + ": frame " + std::to_string(std::max<long>(frame - starts.begin(), 1)) +
         ", byte " + std::to_string(plan->damage->offset) + ": " + plan->damage->reason);
  }
  return Written(written, prefix);
}

// Why writing `wanted` pictures of the survey's size passes the budget, or
// empty text: refused before the first file, not hours into the work.
std::string OverBudget(const Cli::Arguments& args, const FrameCompose::Survey& survey) {
  long long wanted = 0;
  for (int k = 1; k <= survey.frames; ++k) wanted += args.frames.Contains(k) ? 1 : 0;
  const long long pixels = wanted * survey.width * survey.height;
  if (args.limit_pixels <= 0 || pixels <= args.limit_pixels) return {};
  return args.source + ": " + std::to_string(wanted) + " frames of " +
         std::to_string(survey.width) + " x " + std::to_string(survey.height) + " are " +
         std::to_string(pixels) + " pixels to write, more than the limit of " +
         std::to_string(args.limit_pixels) +
         "; nothing written (raise it with --limit-pixels N, or 0 for no limit)";
}

// What every save of frames as they appear shares: the selection, the
// source kept, the threads and the progress.
FrameCompose::SaveRequest RequestFor(const Cli::Arguments& args, const FrameCompose::Survey& survey,
                                     Toolkit::Progress& progress) {
  const float step = progress.Width() / static_cast<float>(std::max(survey.frames, 1));
  FrameCompose::SaveRequest request;
  request.wanted = [&args](int number) { return args.frames.Contains(number); };
  request.last = args.frames.Last();
  request.keep = args.source;
  request.survey = survey;
  request.threads = args.jobs;
  request.distinct = args.distinct;
  request.after_frame = [&progress, step](int number) {
    progress.DrawBox(static_cast<float>(number) * step);
  };
  return request;
}

// Frames as they appear: full-frame GIFs or PNGs, or one sprite sheet.
int WriteComposed(const std::vector<std::uint8_t>& bytes, const Cli::Arguments& args,
                  const std::string& prefix) {
  const bool png = args.output == Cli::Output::kPng;
  const char* extension = png ? FrameCompose::kPngExtension : FrameSplit::kFrameExtension;
  const FrameCompose::Survey survey = FrameCompose::SurveyFrames(bytes);
  if (const std::string none = NoneSelected(args, survey.frames); !none.empty()) return Fail(none);
  if (const std::string over = OverBudget(args, survey); !over.empty()) return Fail(over);
  MakePrefixFolder(prefix);
  std::string sheet;
  const FrameCompose::SaveReport report = WithProgress([&](Toolkit::Progress& progress) {
    FrameCompose::SaveRequest request = RequestFor(args, survey, progress);
    FrameCompose::SaveReport done;
    if (args.output == Cli::Output::kSheet) {
      done =
          FrameCompose::SaveSheet(bytes, args.source, prefix, args.sheet_columns, request, &sheet);
    } else {
      request.kind = png ? FrameCompose::FileKind::kPng : FrameCompose::FileKind::kFullFrameGif;
      request.path_of = [&](int number) {
        return FrameSplit::FrameFileName(prefix, number, extension);
      };
      if (args.json) request.sidecar = FrameCompose::SidecarName(prefix);
      done = FrameCompose::SaveFramesAsTheyAppear(bytes, args.source, request);
    }
    progress.Clear();
    return done;
  });
  if (report.damage) Warn(report.damage->what());
  if (!sheet.empty()) {
    std::printf("%zu frame%s written to %s\n", report.set.frames.size(),
                report.set.frames.size() == 1 ? "" : "s", sheet.c_str());
    return kExitWritten;
  }
  return Written(report.written, prefix);
}

const char* YesNo(bool yes) { return yes ? "yes" : "no"; }

void PrintTable(const Facts& facts) {
  const FrameCompose::AnimationFacts& animation = facts.set.animation;
  std::printf(
      "frame offset length rectangle delay_ms disposal transparent colour_table colours "
      "interlaced complete\n");
  for (const FrameCompose::KeptFrame& kept : facts.set.frames) {
    const FrameCompose::FrameFacts& f = kept.facts;
    std::printf("%d %zu %zu %dx%d+%d+%d %d %s %s %s %d %s %s\n", f.number, f.offset, f.length,
                f.width, f.height, f.left, f.top, f.delay_cs * 10,
                FrameCompose::DisposalName(f.disposal),
                Toolkit::NumberOr(f.transparent_index, "-").c_str(),
                FrameCompose::ColourTableName(f, animation.global_colour_table),
                f.colour_table_size, YesNo(f.interlaced), YesNo(f.complete));
  }
  const std::string loop = !animation.loop_count        ? "once"
                           : *animation.loop_count == 0 ? "forever"
                                                        : std::to_string(*animation.loop_count);
  std::printf("total frames %d, loop %s, screen %dx%d, duration_ms %lld, background %d\n",
              animation.frame_count, loop.c_str(), animation.screen_width, animation.screen_height,
              animation.total_delay_cs * 10, animation.background_index);
}

// The frame facts, as a table or as one JSON object.
int Info(const std::vector<std::uint8_t>& bytes, const Cli::Arguments& args) {
  const Facts facts = ReadFacts(bytes, args);
  if (const std::string none = NoneSelected(args, facts.set.animation.frame_count); !none.empty()) {
    return Fail(none);
  }
  if (args.json) {
    std::fputs(FrameCompose::SetJson(facts.set).c_str(), stdout);
  } else {
    PrintTable(facts);
  }
  if (facts.damage) Warn(facts.damage->what());
  return kExitWritten;
}

#if MERVANE_FRAME_FORMATS

// The frames `args` selects of `frames`, in order.
std::vector<int> Selected(const Cli::Arguments& args, int frames) {
  std::vector<int> numbers;
  for (int k = 1; k <= frames; ++k) {
    if (args.frames.Contains(k)) numbers.push_back(k);
  }
  return numbers;
}

// An APNG cut short gives its whole frames; the one the cut falls in is
// left out, and this says so. A damaged chunk length that cost no frame is
// said too.
void WarnCutShort(const FrameFormats::FormatSource& source, const std::string& name) {
  if (!source.Damage()) return;
  std::fflush(stdout);
  std::fprintf(stderr, "%s: warning: %s: byte %zu: %s; %s\n", kProgram, name.c_str(),
               source.Damage()->offset, source.Damage()->Reason().c_str(),
               source.CutShort() ? "the frames before it are written" : "no frame is lost");
}

void WriteText(const std::string& path, const std::string& text) {
  Toolkit::WriteFileInPieces(
      path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), {}, {});
}

// The exact cut of an animated WebP or APNG: each frame's own compressed
// data as a still file of the same format.
int CutFormat(const FrameFormats::FormatSource& source, const Cli::Arguments& args,
              const std::string& prefix) {
  const int frames = static_cast<int>(source.Frames().size());
  if (const std::string none = NoneSelected(args, frames); !none.empty()) return Fail(none);
  if (const std::string obstacle =
          Obstacle(args.source, prefix, frames, args.frames, source.Extension());
      !obstacle.empty()) {
    return Fail(obstacle);
  }
  const std::string sidecar = args.json ? FrameCompose::SidecarName(prefix) : std::string();
  if (!sidecar.empty()) Toolkit::RequireFreeNames({sidecar}, args.source);
  const auto path_of = [&](int k) {
    return FrameSplit::FrameFileName(prefix, k, source.Extension());
  };
  MakePrefixFolder(prefix);
  const std::vector<int> numbers = Selected(args, frames);
  WithProgress([&](Toolkit::Progress& progress) {
    const float step = progress.Width() / static_cast<float>(std::max(frames, 1));
    for (const int k : numbers) {
      Toolkit::WriteFileInPieces(path_of(k), source.FrameFile(k), {}, {});
      progress.DrawBox(static_cast<float>(k) * step);
    }
    progress.Clear();
    return 0;
  });
  if (!sidecar.empty()) WriteText(sidecar, source.Json(numbers, path_of));
  WarnCutShort(source, args.source);
  return Written(static_cast<int>(numbers.size()), prefix);
}

// Why --full cannot write the frames of a WebP whose canvas is wider or
// taller than a WebP image may be, or empty text: refused before the first
// file, not at it.
std::string TooLargeForWebp(const Cli::Arguments& args, const FrameCompose::Survey& survey) {
  if (std::max(survey.width, survey.height) <= FrameFormats::kLargestWebpSide) return {};
  return args.source + ": its picture of " + std::to_string(survey.width) + " x " +
         std::to_string(survey.height) + " is larger than a WebP holds (" +
         std::to_string(FrameFormats::kLargestWebpSide) +
         " a side); nothing written (--png writes its frames as they appear)";
}

// An animated WebP's or APNG's frames as they appear, through the same
// savers as a GIF's: PNGs, whole frames in the source's own format (a
// lossless WebP, or a PNG), or one sprite sheet; the JSON gives the
// format's own facts, delays in milliseconds as stored.
int ComposeFormat(const std::vector<std::uint8_t>& bytes, const FrameFormats::FormatSource& source,
                  const Cli::Arguments& args, const std::string& prefix) {
  FrameCompose::Survey survey;
  survey.frames = static_cast<int>(source.Frames().size());
  survey.width = source.Animation().canvas_width;
  survey.height = source.Animation().canvas_height;
  const bool full = args.output == Cli::Output::kFullFrames;
  const bool webp_files = full && source.Format() == FrameFormats::SourceFormat::kAnimatedWebp;
  if (const std::string none = NoneSelected(args, survey.frames); !none.empty()) return Fail(none);
  if (const std::string over = OverBudget(args, survey); !over.empty()) return Fail(over);
  if (webp_files) {
    if (const std::string large = TooLargeForWebp(args, survey); !large.empty()) {
      return Fail(large);
    }
  }
  const bool sheet_wanted = args.output == Cli::Output::kSheet;
  const std::string sidecar =
      args.json && !sheet_wanted ? FrameCompose::SidecarName(prefix) : std::string();
  if (!sidecar.empty()) Toolkit::RequireFreeNames({sidecar}, args.source);
  const char* extension = full ? source.Extension() : FrameCompose::kPngExtension;
  const auto path_of = [&](int number) {
    return FrameSplit::FrameFileName(prefix, number, extension);
  };
  MakePrefixFolder(prefix);
  std::string sheet;
  const FrameCompose::SaveReport report = WithProgress([&](Toolkit::Progress& progress) {
    FrameCompose::SaveRequest request = RequestFor(args, survey, progress);
    // Its delays are not a GIF's 16 bits, so a run of the same picture is
    // never divided for length.
    request.longest_run_cs = FrameCompose::kLongestRunCs;
    request.frames = [&](const FrameCompose::FrameSink& sink,
                         FrameCompose::AnimationFacts& animation) {
      FrameFormats::FormatComposeOptions options;
      options.threads = args.jobs;  // an APNG's frames are decoded as the writers encode
      source.Compose(sink, animation, options);
    };
    request.json = [&](const FrameCompose::SetFacts& set,
                       const std::optional<FrameCompose::SheetLayout>& layout) {
      return source.Json(set, layout);
    };
    FrameCompose::SaveReport done;
    if (sheet_wanted) {
      done =
          FrameCompose::SaveSheet(bytes, args.source, prefix, args.sheet_columns, request, &sheet);
    } else {
      request.kind = FrameCompose::FileKind::kPng;
      if (full) request.encode = source.WholeFrameEncoder();
      request.path_of = path_of;
      done = FrameCompose::SaveFramesAsTheyAppear(bytes, args.source, request);
    }
    progress.Clear();
    return done;
  });
  if (report.damage) Warn(report.damage->what(), true);
  // Written once the frames are: its totals are the source's, so the
  // frames after the last one asked for need not be composed.
  if (!sidecar.empty()) WriteText(sidecar, source.Json(report.set));
  WarnCutShort(source, args.source);
  if (!sheet.empty()) {
    std::printf("%zu frame%s written to %s\n", report.set.frames.size(),
                report.set.frames.size() == 1 ? "" : "s", sheet.c_str());
    return kExitWritten;
  }
  return Written(report.written, prefix);
}

int InfoFormat(const FrameFormats::FormatSource& source, const Cli::Arguments& args) {
  const int frames = static_cast<int>(source.Frames().size());
  if (const std::string none = NoneSelected(args, frames); !none.empty()) return Fail(none);
  const std::vector<int> numbers = Selected(args, frames);
  std::fputs((args.json ? source.Json(numbers) : source.Table(numbers)).c_str(), stdout);
  WarnCutShort(source, args.source);
  return kExitWritten;
}

// A source that is not a GIF: an animated WebP or APNG is divided; anything
// else is refused with the format it is in.
int RunOtherFormat(const std::vector<std::uint8_t>& bytes, const Cli::Arguments& args) {
  using FrameFormats::SourceFormat;
  const SourceFormat format = FrameFormats::SniffFormat(bytes);
  switch (format) {
    case SourceFormat::kAnimatedWebp:
    case SourceFormat::kApng:
      break;
    case SourceFormat::kStillWebp:
      return Fail(args.source +
                  ": a still WebP, so not a GIF, animated WebP or APNG (no VP8X chunk with the "
                  "animation flag)");
    case SourceFormat::kShortWebp:
      return Fail(args.source + ": a WebP cut short: its " + std::to_string(bytes.size()) +
                  " bytes end before its first chunk says whether it is animated");
    case SourceFormat::kPng:
      return Fail(args.source +
                  ": a PNG without animation, so not a GIF, animated WebP or APNG (no acTL chunk "
                  "before its image data)");
    default:
      return Fail(args.source +
                  ": not a GIF, animated WebP or APNG (it starts with none of their "
                  "signatures)");
  }
  const FrameFormats::FormatSource source(format, bytes, args.source);
  const std::string prefix =
      args.prefix.value_or(source.Stem(Cli::DefaultPrefix(args.source, std::string())));
  switch (args.output) {
    case Cli::Output::kExactCut:
      return CutFormat(source, args, prefix);
    case Cli::Output::kFullFrames:
    case Cli::Output::kPng:
    case Cli::Output::kSheet:
      return ComposeFormat(bytes, source, args, prefix);
    case Cli::Output::kInfo:
      return InfoFormat(source, args);
  }
  return kExitFailure;
}

#endif

int Run(const Cli::Arguments& args) {
  switch (Toolkit::KindOf(args.source)) {
    case Toolkit::EntryKind::kNothing:
      return Fail("Cannot open " + args.source + ": No such file or directory");
    case Toolkit::EntryKind::kFolder:
      return Fail(args.source + " is a folder");
    default:
      break;
  }
  const std::vector<std::uint8_t> bytes = Toolkit::ReadWholeFile(args.source);
  if (!Gif::HasGifHeader(bytes)) {
#if MERVANE_FRAME_FORMATS
    return RunOtherFormat(bytes, args);
#endif
    return Fail(args.source + ": not a GIF file (it does not start with GIF87a or GIF89a)");
  }
  const std::string prefix = args.prefix.value_or(Cli::DefaultPrefix(args.source));
  switch (args.output) {
    case Cli::Output::kExactCut:
      return Cut(bytes, args, prefix);
    case Cli::Output::kFullFrames:
    case Cli::Output::kPng:
    case Cli::Output::kSheet:
      return WriteComposed(bytes, args, prefix);
    case Cli::Output::kInfo:
      return Info(bytes, args);
  }
  return kExitFailure;
}

// A failure as a user reads it. Ours name the operation, the path and the
// reason; the standard library's own texts ("std::bad_alloc") mean nothing
// to a user and are put in words, naming `source` when it is known.
std::string Described(const std::exception_ptr& failure, const std::string& source) {
  const std::string where = source.empty() ? std::string() : source + ": ";
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return where + kNoMemory;
  } catch (const std::length_error&) {  // a size past what a container holds
    return where + kNoMemory;
  } catch (const Toolkit::PlatformError& ours) {
    return ours.what();
  } catch (const FrameCompose::ComposeError& ours) {
    return ours.what();
  } catch (const std::filesystem::filesystem_error& system) {
    return Toolkit::FromPath(system.path1()) + ": " + system.code().message();
  } catch (const std::system_error& system) {  // a thread that could not start, say
    return where + system.code().message() + "; nothing more written";
  } catch (const std::runtime_error& ours) {  // what this program throws itself
    return ours.what();
  } catch (...) {
    return where + kUnexpected;
  }
}

int Main(int argc, char** argv, std::string& source) {
  Cli::ArgumentError error;
  const std::optional<Cli::Arguments> args =
      Cli::ParseArguments(Toolkit::ProgramArguments(argc, argv), error);
  if (!args) {
    // Where "/?" asks for help, it is offered as well.
    const std::string slash_help =
        Toolkit::IsPlatformHelpRequest("/?") ? std::string(" or '") + kProgram + " /?'" : "";
    std::fprintf(stderr, "%s: %s\nTry '%s --help'%s for more information.\n", kProgram,
                 error.message.c_str(), kProgram, slash_help.c_str());
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
  source = args->source;
  return Run(*args);
}

}  // namespace

int main(int argc, char** argv) {
  std::string source;  // named in a failure once known
  try {
    return Main(argc, argv, source);
  } catch (...) {
    return Fail(Described(std::current_exception(), source));
  }
}
