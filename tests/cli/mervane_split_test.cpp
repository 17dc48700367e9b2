// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <numeric>

#include "support/compose_helpers.h"
#include "support/gif_writer.h"
#include "support/json_fields.h"
#include "support/process.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using GifTest::RunProcess;

// The folder `below` `folder` as the summary line names it: whole, with
// links resolved as the current folder's own name resolves them.
std::string Whole(const fs::path& folder, const std::string& below = "") {
  fs::path whole = fs::canonical(folder);
  if (!below.empty()) whole /= fs::u8path(below);
  const std::u8string text = whole.make_preferred().u8string();
  return std::string(text.begin(), text.end());
}

std::string LastLine(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
  const auto at = trimmed.rfind('\n');
  return at == std::string::npos ? trimmed : trimmed.substr(at + 1);
}

// One run of mervane-split: its arguments, its status, text its output or
// error must hold, and the names in its current folder afterwards.
struct CliCase {
  std::vector<std::string> args;
  int exit_code;
  std::string in_output;
  std::vector<std::string> written = {};
  // Readies the current folder; false when this system cannot (no links).
  std::function<bool(const GifTest::TempDir& cwd)> prepare = {};
};

// Runs each case in a fresh current folder, whose names are checked; or
// all in `shared`, whose names the caller checks.
void RunCases(const std::vector<CliCase>& cases, const GifTest::TempDir* shared = nullptr) {
  for (const CliCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_FALSE(c.in_output.empty());  // or the check below could not fail
    GifTest::TempDir fresh;
    const GifTest::TempDir& cwd = shared != nullptr ? *shared : fresh;
    if (c.prepare && !c.prepare(cwd)) continue;
    std::vector<std::string> argv = {MERVANE_SPLIT};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto result = RunProcess(argv, cwd.Text());
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_NE((result.out + result.err).find(c.in_output), std::string::npos)
        << result.out << result.err;
    if (shared == nullptr) {
      EXPECT_EQ(GifTest::ListNames(cwd.path()), c.written);
    }
  }
}

class MervaneSplit : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const GifTest::Bytes& bytes) {
    GifTest::WriteBytes(fs::u8path(inputs_.File(name)), bytes);
    return inputs_.File(name);
  }
  GifTest::TempDir inputs_, cwd_;
};

TEST_F(MervaneSplit, WritesFramesBesideTheDefaultPrefixInTheCurrentFolder) {
  const GifTest::Bytes gif = GifTest::Encode(GifTest::SolidFrames(3, 4, 4));
  const std::string source = Put("my anim \xE3\x82\xA2.gif", gif);
  const auto result = RunProcess({MERVANE_SPLIT, source}, cwd_.Text());
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(LastLine(result.out), "3 frames written to " + Whole(cwd_.path()));
  EXPECT_EQ(GifTest::ListNames(cwd_.path()), (std::vector<std::string>{"my anim \xE3\x82\xA2"
                                                                       "001.gif",
                                                                       "my anim \xE3\x82\xA2"
                                                                       "002.gif",
                                                                       "my anim \xE3\x82\xA2"
                                                                       "003.gif"}));
  EXPECT_EQ(GifTest::ReadBytes(inputs_.path() / fs::u8path("my anim \xE3\x82\xA2.gif")), gif);
}

TEST_F(MervaneSplit, ExitCodesTellWrittenNotDivisibleAndFailed) {
  GifTest::Animation still = GifTest::SolidFrames(1, 2, 2);
  still.looping = false;
  const std::string still_path = Put("still.gif", GifTest::Encode(still));
  const std::string no_header = Put("bad.gif", GifTest::Concat({GifTest::FromText("GIF89aNETSCAPE"),
                                                                GifTest::GraphicControlExtension(1),
                                                                {0x00, 0x3B}}));
  const std::string good = Put("good.gif", GifTest::Encode(GifTest::SolidFrames(5, 2, 2)));
  GifTest::Bytes cut_short = GifTest::Encode(GifTest::SolidFrames(2, 2, 2));
  cut_short.resize(cut_short.size() - 3);
  const std::string truncated = Put("short.gif", cut_short);
  const std::string png = Put("picture.png", GifTest::FromText("\x89PNG\r\n\x1a\nNETSCAPE"));
  fs::create_directory(cwd_.path() / "f003.gif");  // blocks the third frame

  RunCases(
      {
          {{still_path, cwd_.File("s")},
           1,
           "NETSCAPE\"), so it cannot be divided; nothing written (use --full or --png"},
          {{inputs_.File("missing.gif")},
           2,
           "Cannot open " + inputs_.File("missing.gif") + ": No such file or directory"},
          {{inputs_.Text()}, 2, inputs_.Text() + " is a folder"},
          {{png}, 2, png + ": "},
          {{png}, 2, "not a GIF"},
          {{no_header}, 2, "application extension"},
          {{good, cwd_.File("made/on the way/f")},
           0,
           "5 frames written to " + Whole(cwd_.path(), "made/on the way") +
               "\n"},                      // folders made as mkdir -p does
          {{good, good + "/f"}, 2, good},  // no folder can be made where a file stands
          {{good, cwd_.File("f")}, 2, cwd_.File("f003.gif")},
          {{}, 2, "Try 'mervane-split --help'"},
          {{good, "a", "b"}, 2, "extra operand 'b'"},
          {{truncated, inputs_.File("t")},
           0,
           "frame 2, byte 75: an image runs past the end of the file; that frame is incomplete"},
      },
      &cwd_);
  // The folder at the third frame's name is seen before any frame is written.
  EXPECT_EQ(GifTest::ListNames(cwd_.path()), (std::vector<std::string>{"f003.gif", "made"}));
  EXPECT_EQ(GifTest::ListNames(cwd_.path() / "made" / "on the way").size(), 5u);
}

TEST_F(MervaneSplit, FollowsCommandLineConventionsAndNeverLosesAFile) {
  const GifTest::Bytes gif = GifTest::Encode(GifTest::SolidFrames(2, 2, 2));
  const std::string a = Put("a.gif", gif);
  Put("-odd.gif", gif);
  Put("clip.GIF", gif);
  Put("noext", gif);
  Put("victim.txt", {7});
  fs::create_directory(inputs_.path() / "self");
  const std::string self = Put("self/s001.gif", gif);
  const bool have_fifo = GifTest::MakeFifo(inputs_.File("pipe.gif"));
  Put("short.gif", GifTest::Bytes(gif.begin(), gif.end() - 6));

  // x002.gif -> victim.txt first.
  const auto plant_link = [&](const GifTest::TempDir& cwd) {
    std::error_code no_links;  // the Windows build's C++ library makes none
    fs::create_symlink(inputs_.path() / "victim.txt", cwd.path() / "x002.gif", no_links);
    return !no_links;
  };
  std::vector<CliCase> cases = {
      {{a, "--help"}, 0, "Usage: mervane-split", {}},
      {{"-h"}, 0, "Divide SOURCE, an animated GIF, WebP or APNG, into one file", {}},
      {{"--version", "--bogus"}, 0, "mervane-split 1.", {}},
      {{"--bogus", a}, 2, "unknown option '--bogus'\nTry 'mervane-split --help'", {}},
      {{"-x", a}, 2, "unknown option '-x'\nTry 'mervane-split --help'", {}},
      {{"--help"}, 0, "\nExamples:\n  mervane-split clip.gif ", {}},
      // A sheet and the exact cut are written by one thread: --jobs says so.
      {{"--jobs", "2", "--sheet", "1", a}, 2, "--jobs goes with --full or --png", {}},
      {{"--jobs=2", a}, 2, "--jobs goes with --full or --png", {}},
      {{"--", inputs_.File("-odd.gif"), "--p"}, 0, "2 frames", {"--p001.gif", "--p002.gif"}},
      {{inputs_.File("clip.GIF")}, 0, "2 frames", {"clip001.gif", "clip002.gif"}},
      {{inputs_.File("noext")}, 0, "2 frames", {"noext001.gif", "noext002.gif"}},
      {{self, inputs_.File("self/s")}, 2, "s001.gif: that is the file being divided (frame 1)", {}},
      // Frames as they appear, frame facts and frame lists.
      {{"--full", "--frames", "2", a, "f"}, 0, "1 frame written", {"f002.gif"}},
      {{"--png", a, "p"}, 0, "2 frames", {"p001.png", "p002.png"}},
      {{"--frames=2-", a, "y"}, 0, "1 frame written", {"y002.gif"}},
      {{"--info", a}, 0, "total frames 2, loop forever, screen 2x2, duration_ms 200", {}},
      {{"--info", "--json", "--frames", "1", a}, 0, "{\"frames\": [\n  {\"number\": 1,", {}},
      {{"--full", "--png", a}, 2, "choose one of --full, --png, --sheet and --info", {}},
      {{"--sheet", "2", "--info", a}, 2, "choose one of", {}},
      {{"--distinct", a}, 2, "--distinct goes with --full, --png or --sheet", {}},
      {{"--sheet", "0", a}, 2, "invalid column count '0'", {}},
      // Timings travel with the files: a JSON beside them, in every mode.
      {{"--json", a, "j"}, 0, "2 frames", {"j.json", "j001.gif", "j002.gif"}},
      {{"--json", "--png", a, "j"}, 0, "2 frames", {"j.json", "j001.png", "j002.png"}},
      {{"--sheet=3", a},
       0,
       "2 frames written to a-sheet-2x1-2x2.png",
       {"a-sheet-2x1-2x2.json", "a-sheet-2x1-2x2.png"}},
      {{"--sheet", "1", a, "q"}, 0, "2 frames", {"q-sheet-1x2-2x2.json", "q-sheet-1x2-2x2.png"}},
      {{"--frames", "0", a}, 2, "invalid frame list '0'", {}},
      // A damaged file: every output gives what it holds, the same warning and status.
      {{inputs_.File("short.gif"), "t"}, 0, "warning: ", {"t001.gif", "t002.gif"}},
      {{"--full", inputs_.File("short.gif"), "t"}, 0, "frame 2, byte", {"t001.gif", "t002.gif"}},
      {{"--png", inputs_.File("short.gif"), "t"}, 0, "frame 2, byte", {"t001.png", "t002.png"}},
      {{"--info", "--json", inputs_.File("short.gif")}, 0, "\"complete\": false}\n],", {}},
      {{a, "x"}, 2, "x002.gif: a symbolic link stands at that name", {"x002.gif"}, plant_link},
  };
  if (have_fifo) cases.push_back({{inputs_.File("pipe.gif")}, 2, "not a regular file", {}});
#if defined(_WIN32)
  cases.push_back({{"/?"}, 0, "Usage: mervane-split", {}});  // as Windows programs do
  cases.push_back(
      {{"/x", a}, 2, "unknown option '/x'\nTry 'mervane-split --help' or 'mervane-split /?'", {}});
#else
  cases.push_back({{"/?"}, 2, "Cannot open /?", {}});  // a path like any other
#endif
  RunCases(cases);
  EXPECT_EQ(GifTest::ReadBytes(inputs_.path() / "victim.txt"), GifTest::Bytes{7});
  EXPECT_EQ(GifTest::ReadBytes(self), gif);
}

TEST_F(MervaneSplit, JunkListsPipesAndHugeOutputsAreRefusedBeforeAnythingIsWritten) {
  const std::string a = Put("a.gif", GifTest::Encode(GifTest::SolidFrames(3, 2, 2)));
  // Two 2 x 2 frames on a 0 x 0 screen: composed on the first frame's extent.
  GifTest::Animation empty_screen = GifTest::SolidFrames(2, 2, 2);
  empty_screen.width = empty_screen.height = 0;
  const std::string zero = Put("zero.gif", GifTest::Encode(empty_screen));
  std::vector<CliCase> cases;
  for (const char* junk :
       {"3 ", "1-2x", "12x", "2.", "1,2;", "2147483648", "4294967296", "1,", "-3", "5-2"}) {
    cases.push_back({{"--frames", junk, a}, 2, std::string("invalid frame list '") + junk, {}});
  }
  for (const char* mode : {"--full", "--info", "--frames=7-"}) {
    cases.push_back(
        {{mode, "--frames=4-9", a}, 2, "--frames 4-9 selects none of the 3 frames", {}});
  }
  const std::string none = Put("none.gif", GifTest::Encode(GifTest::SolidFrames(0, 2, 2)));
  for (const char* mode : {"--png", "--sheet=2", "--info"}) {
    cases.push_back({{mode, none}, 2, none + ": the file holds no frames; nothing written", {}});
  }
  for (const char* mode : {"--full", "--png", "--sheet=2"}) {
    cases.push_back({{mode, "--limit-pixels", "11", a, "o"},
                     2,
                     "12 pixels to write, more than the limit of 11; nothing written (raise it "
                     "with --limit-pixels",
                     {}});
  }
  cases.push_back(
      {{"--full", "--limit-pixels=0", zero, "z"}, 0, "2 frames", {"z001.gif", "z002.gif"}});
  // Sixteen frames of 65535 x 1 side by side: longer than PNG readers take.
  const std::string lines = Put("lines.gif", GifTest::ConstantFrames(16, 65535, 1, 65535, 1));
  cases.push_back({{"--sheet", "16", lines, "s"},
                   2,
                   "a sheet of 1048560 x 1 pixels is larger than PNG readers take",
                   {}});
  // Frames 1-999 of a 248-byte prefix fit in 255 bytes; frame 1000 does not.
  const std::string thousand = Put("k.gif", GifTest::Encode(GifTest::SolidFrames(1000, 1, 1)));
  for (const char* mode : {"--frames=1-", "--full", "--png"}) {
    cases.push_back({{mode, thousand, std::string(248, 'p')},
                     2,
                     "the name is longer than the file system",
                     {}});
  }
  for (const char* jobs : {"0", "x", "1025"}) {
    cases.push_back(
        {{"--full", "--jobs", jobs, a}, 2, std::string("invalid job count '") + jobs, {}});
  }
  if (GifTest::MakeFifo(inputs_.File("probe"))) {
    for (const char* mode : {"--full", "--png", "--frames=1-"}) {
      const std::string name =
          std::string("o002.") + (mode == std::string("--png") ? "png" : "gif");
      // o002.* is a named pipe first.
      const auto plant_fifo = [name](const GifTest::TempDir& cwd) {
        return GifTest::MakeFifo(cwd.File(name));
      };
      cases.push_back(
          {{mode, a, "o"}, 2, name + ": a special file stands at that name", {name}, plant_fifo});
    }
  }
  RunCases(cases);
  // However many threads encode them, the files are the same.
  GifTest::Animation repeats = GifTest::SolidFrames(40, 30, 20);
  for (std::size_t i = 2; i < repeats.frames.size(); i += 3) {
    repeats.frames[i].indices = repeats.frames[i - 1].indices;  // a frame that changes nothing
  }
  const std::string many = Put("many.gif", GifTest::Encode(repeats));
  for (const char* mode : {"--full", "--png"}) {
    GifTest::TempDir one, three;
    RunProcess({MERVANE_SPLIT, mode, "--jobs", "1", many, "m"}, one.Text());
    RunProcess({MERVANE_SPLIT, mode, "--jobs=3", many, "m"}, three.Text());
    ASSERT_EQ(GifTest::ListNames(one.path()).size(), 40u) << mode;
    EXPECT_EQ(GifTest::ListNames(one.path()), GifTest::ListNames(three.path()));
    for (const auto& name : GifTest::ListNames(one.path())) {
      EXPECT_EQ(GifTest::ReadBytes(one.path() / name), GifTest::ReadBytes(three.path() / name))
          << mode << " " << name;
    }
  }
  GifTest::TempDir cwd;
  RunProcess({MERVANE_SPLIT, "--full", zero, "z"}, cwd.Text());
  const auto frames = GifTest::ComposeAll(GifTest::ReadBytes(cwd.path() / "z002.gif"));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].width * frames[0].height, 4);
}

TEST_F(MervaneSplit, DistinctFramesKeepOnePerRunWithTheRunsTimeAndTheJsonSaysSo) {
  // Colours 1 1 2 2 2 1 3 3, delays 10 20 ... 80 hundredths.
  GifTest::Animation runs = GifTest::SolidFrames(8, 3, 2);
  const std::uint8_t colours[] = {1, 1, 2, 2, 2, 1, 3, 3};
  runs.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (std::size_t i = 0; i < runs.frames.size(); ++i) {
    runs.frames[i].indices.assign(6, colours[i]);
    runs.frames[i].delay = static_cast<std::uint16_t>(10 * (i + 1));
  }
  const std::string source = Put("runs.gif", GifTest::Encode(runs));
  Put("k.json", GifTest::Encode(runs));
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> files;
    std::vector<int> numbers, delays_ms;
    std::string stands_for;
  };
  const std::vector<Case> cases = {
      {{"--full", "--distinct"},
       {"r.json", "r001.gif", "r003.gif", "r006.gif", "r007.gif"},
       {1, 3, 6, 7},
       {300, 1200, 600, 1500},
       "\"stands_for\": [3, 4, 5]"},
      {{"--png", "--distinct", "--frames", "2-4,7"},
       {"r.json", "r002.png", "r003.png", "r007.png"},
       {2, 3, 7},
       {200, 700, 700},
       "\"stands_for\": [3, 4]"},
      {{"--full"}, {}, {1, 2, 3, 4, 5, 6, 7, 8}, {100, 200, 300, 400, 500, 600, 700, 800}, ""},
  };
  const std::string info = RunProcess({MERVANE_SPLIT, "--info", "--json", source}, ".").out;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    GifTest::TempDir cwd;
    std::vector<std::string> argv = {MERVANE_SPLIT, "--json"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.insert(argv.end(), {source, "r"});
    ASSERT_EQ(RunProcess(argv, cwd.Text()).exit_code, 0);
    if (!c.files.empty()) {
      EXPECT_EQ(GifTest::ListNames(cwd.path()), c.files);
    }
    const GifTest::Bytes bytes = GifTest::ReadBytes(cwd.path() / "r.json");
    const std::string json(bytes.begin(), bytes.end());
    EXPECT_EQ(GifTest::Numbers(json, "{\"number\": "), c.numbers);
    EXPECT_EQ(GifTest::Numbers(json, "\"delay_ms\": "), c.delays_ms);
    EXPECT_NE(json.find("\"file\": \"r00" + std::to_string(c.numbers[0])), std::string::npos);
    if (!c.stands_for.empty()) {
      EXPECT_NE(json.find(c.stands_for), std::string::npos) << json;
    } else {  // without --distinct, the delays --info --json gives
      EXPECT_EQ(GifTest::Numbers(json, "\"delay_ms\": "), GifTest::Numbers(info, "\"delay_ms\": "));
    }
  }
  // A sidecar never replaces the file being divided.
  for (const char* mode : {"--full", "--frames=1-"}) {
    GifTest::TempDir cwd;
    const auto refused = RunProcess(
        {MERVANE_SPLIT, "--json", mode, inputs_.File("k.json"), inputs_.File("k")}, cwd.Text());
    EXPECT_EQ(refused.exit_code, 2) << mode;
    EXPECT_NE(refused.err.find("that is the file being divided"), std::string::npos) << refused.err;
    EXPECT_EQ(GifTest::ListNames(inputs_.path()), (std::vector<std::string>{"k.json", "runs.gif"}));
  }
}

// `count` frames of one colour, `delay` hundredths each, on a 1 x 1 screen.
GifTest::Bytes SameFrames(int count, std::uint16_t delay) {
  GifTest::Animation same = GifTest::SolidFrames(count, 1, 1);
  for (GifTest::Frame& frame : same.frames) {
    frame.indices = {1};
    frame.delay = delay;
  }
  return GifTest::Encode(same);
}

TEST_F(MervaneSplit, OnlyConsecutiveFramesFoldAndNoKeptDelayPassesWhatAGifHolds) {
  GifTest::Animation aba = GifTest::SolidFrames(3, 1, 1);  // colours A B A
  aba.frames[2].indices = aba.frames[0].indices;
  const std::string three = Put("three.gif", SameFrames(3, 40000));  // 400 s each
  const std::string five = Put("five.gif", SameFrames(5, 30000));
  std::vector<int> each(3300);
  std::iota(each.begin(), each.end(), 1);
  struct Case {
    std::vector<std::string> args;
    std::vector<int> numbers;
    std::vector<long long> delays_ms;  // every kept frame's, as the JSON gives it
    std::string stands_for;            // text the JSON must hold, or none
  };
  const std::vector<Case> cases = {
      // Kept alone: two would pass 655.35 s, the most a GIF frame holds.
      {{"--full", three}, {1, 2, 3}, {400000, 400000, 400000}, ""},
      {{"--png", five}, {1, 3, 5}, {600000, 600000, 300000}, "\"stands_for\": [3, 4]}"},
      {{"--sheet=2", five},
       {1, 3, 5},
       {600000, 600000, 300000},
       "\"stands_for\": [1, 2], \"cell\""},
      // Frame 2 lies between frames 1 and 3, and is not theirs to stand for.
      {{"--full", "--frames", "1,3", Put("aba.gif", GifTest::Encode(aba))}, {1, 3}, {100, 100}, ""},
      // 3300 frames of 655.35 s: 2162655 s in all, past 32 bits in milliseconds.
      {{"--sheet=100", Put("long.gif", SameFrames(3300, 65535))},
       each,
       std::vector<long long>(3300, 655350),
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    GifTest::TempDir cwd;
    std::vector<std::string> argv = {MERVANE_SPLIT, "--distinct", "--json"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back("r");
    ASSERT_EQ(RunProcess(argv, cwd.Text()).exit_code, 0);
    std::string json;
    for (const std::string& name : GifTest::ListNames(cwd.path())) {
      if (name.ends_with(".json")) {
        const GifTest::Bytes bytes = GifTest::ReadBytes(cwd.path() / name);
        json.assign(bytes.begin(), bytes.end());
      }
    }
    const auto numbers = GifTest::Numbers(json, "{\"number\": ");
    EXPECT_EQ(numbers, c.numbers);
    const auto delays = GifTest::Numbers<long long>(json, "\"delay_ms\": ");
    EXPECT_EQ(delays, c.delays_ms);
    if (!c.stands_for.empty()) {
      EXPECT_NE(json.find(c.stands_for), std::string::npos) << json;
    }
    if (c.args.size() == 2) {  // every frame: their times add up to the animation's
      long long sum = 0;
      for (const long long delay : delays) sum += delay;
      EXPECT_EQ(GifTest::Numbers<long long>(json, "\"duration_ms\": "),
                std::vector<long long>{sum});
    }
    if (c.args[0] == "--full") {  // and each file's own delay says the same
      for (std::size_t i = 0; i < numbers.size(); ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "r%03d.gif", numbers[i]);
        const std::string info =
            RunProcess({MERVANE_SPLIT, "--info", "--json", cwd.File(name)}, ".").out;
        EXPECT_EQ(GifTest::Numbers<long long>(info, "\"delay_ms\": "),
                  std::vector<long long>{c.delays_ms[i]});
      }
    }
  }
}

#if !defined(_WIN32)  // names there are UTF-16, whatever they hold
TEST_F(MervaneSplit, ANameThatIsNotUtf8LeavesTheJsonValidAndItsFilesFindable) {
  const std::string source = Put("x\xFF.gif", GifTest::Encode(GifTest::SolidFrames(2, 1, 1)));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--full",
       "\"file\": \"x\xEF\xBF\xBD"
       "001.gif\", \"file_bytes\": [120, 255, 48, 48, 49, "},
      {"--sheet=2",
       "\"file\": \"x\xEF\xBF\xBD-sheet-2x1-1x1.png\", \"file_bytes\": [120, 255, 45, "},
  };
  for (const auto& [mode, expected] : cases) {
    GifTest::TempDir cwd;
    ASSERT_EQ(RunProcess({MERVANE_SPLIT, "--json", mode, source}, cwd.Text()).exit_code, 0);
    for (const std::string& name : GifTest::ListNames(cwd.path())) {
      if (!name.ends_with(".json")) continue;
      const GifTest::Bytes json = GifTest::ReadBytes(cwd.path() / name);
      const std::string text(json.begin(), json.end());
      EXPECT_EQ(text.find('\xFF'), std::string::npos) << mode;  // never a UTF-8 byte
      EXPECT_NE(text.find(expected), std::string::npos) << text;
    }
  }
}
#endif

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // its shadow memory takes no address limit
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

#if !defined(_WIN32)
TEST_F(MervaneSplit, ASheetsMemoryFollowsTheFramesKeptAndRunningOutIsSaidInWords) {
  if (kSanitized) GTEST_SKIP() << "an address limit and a sanitizer do not mix";
  // 900 identical frames of 100 x 1000: 360 MB as cells, 400 KB as one.
  const std::string same = Put("same.gif", GifTest::ConstantFrames(900, 100, 1000, 100, 1000, 1));
  const auto limited = [&](std::vector<std::string> args) {
    std::vector<std::string> argv = {"/bin/sh", "-c", "ulimit -v 262144 && exec \"$0\" \"$@\"",
                                     MERVANE_SPLIT};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, cwd_.Text());
  };
  const auto kept = limited({"--sheet", "1", "--distinct", same, "d"});
  EXPECT_EQ(kept.exit_code, 0) << kept.err;
  EXPECT_NE(kept.out.find("1 frame written to d-sheet-1x1-100x1000.png"), std::string::npos)
      << kept.out;
  const auto wide = limited({"--sheet", "65535", "--distinct", same, "w"});  // 26 GB as one row
  EXPECT_NE(wide.out.find("1 frame written to w-sheet-1x1-100x1000.png"), std::string::npos)
      << wide.err;
  const auto every = limited({"--sheet", "1", same, "e"});
  EXPECT_EQ(every.exit_code, 2);
  EXPECT_NE(every.err.find(same + ": not enough memory"), std::string::npos) << every.err;
  EXPECT_EQ(every.err.find("std::"), std::string::npos) << every.err;
  EXPECT_EQ(GifTest::ListNames(cwd_.path()),
            (std::vector<std::string>{"d-sheet-1x1-100x1000.json", "d-sheet-1x1-100x1000.png",
                                      "w-sheet-1x1-100x1000.json", "w-sheet-1x1-100x1000.png"}));
}
#endif

}  // namespace
