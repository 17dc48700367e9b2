// SPDX-License-Identifier: MIT
// drop_bench GIF [ROUNDS]: times a drop on the window, from the handler's
// start to a finished strip, against the baseline of dividing the same file
// and composing its frames once, in alternation; prints medians and the
// ratio, and the longest the window went without running its events during
// a drop. Then saves frames of 8192 x 8192 (one as PNG, all as PNG, and a
// sprite sheet of two of 5000 x 5000) and prints the longest the window went
// without running its events meanwhile, which is how long END could wait,
// against the time the same work takes with no window. Runs offscreen.

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_files.h"
#include "frame_split/frame_split.h"
#include "main_window/form_main.h"
#include "support/gif_writer.h"
#include "support/split_files.h"
#include "toolkit/file_ops.h"
#include "toolkit/platform.h"

namespace {

class QuietBoxes final : public Toolkit::MessageBoxes {
 public:
  void MsgBox(QWidget*, const QString& text) override {
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
  }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// Runs `action` with a timer that fires whenever events run; returns the
// longest time between two of its turns: the longest the window could not
// answer, END among the rest.
template <typename Action>
double LongestGap(Action action) {
  double longest = 0;
  auto last_turn = std::chrono::steady_clock::now();
  QTimer ticker;
  ticker.setInterval(0);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longest = std::max(longest, Seconds(last_turn));
    last_turn = std::chrono::steady_clock::now();
  });
  ticker.start();
  action();
  return std::max(longest, Seconds(last_turn));
}

// Saves frames of 8192 x 8192 from the window and prints, for each save,
// its time and the longest time without events, against the baseline of
// composing and encoding one such frame with no window.
void TimeLargeSaves(const std::filesystem::path& folder, Toolkit::MessageBoxes& boxes) {
  const auto big = folder / "big.gif", wide = folder / "wide.gif", out = folder / "out";
  WriteFile(big, GifTest::ConstantFrames(3, 8192, 8192, 8192, 8192));
  WriteFile(wide, GifTest::ConstantFrames(2, 5000, 5000, 5000, 5000));
  std::filesystem::create_directories(out / "tmp");
  MainWindow::Form_main form({out.string(), &boxes, [] {}});
  form.Form_Load();
  form.show();

  auto start = std::chrono::steady_clock::now();
  const std::vector<std::uint8_t> bytes = Toolkit::ReadWholeFile(big.string());
  FrameCompose::ComposeOptions options;
  options.largest_canvas_bytes = std::size_t{1} << 30;
  const auto frame = FrameCompose::ComposeFrame(bytes, big.string(), 3, options);
  const std::vector<std::uint8_t> png = FrameCompose::EncodePng(*frame);
  const double baseline = Seconds(start);
  std::printf("compose and encode frame 3 of 8192 x 8192 with no window: %.0f ms\n",
              baseline * 1e3);

  const auto report = [&](const char* what, auto action) {
    const auto began = std::chrono::steady_clock::now();
    const double gap = LongestGap(action);
    const double took = Seconds(began);
    std::printf(
        "%s: %.0f ms (ratio %.2f to the baseline); longest without events %.1f ms "
        "(ratio %.3f to the baseline, bar 0.05)\n",
        what, took * 1e3, took / baseline, gap * 1e3, gap / baseline);
  };
  form.Picture1_OLEDragDrop({{big.string()}});
  report("save frame 3 of 8192 x 8192 as PNG",
         [&] { form.SaveFrameAs(3, (out / "three.png").string()); });
  report("save 3 frames of 8192 x 8192 as PNG",
         [&] { form.SaveFramesAsTheyAppear(out.string(), true); });
  report("save 3 frames of 8192 x 8192 as full-frame GIF",
         [&] { form.SaveFramesAsTheyAppear(out.string(), false); });
  form.Picture1_OLEDragDrop({{wide.string()}});
  report("save a sheet of 2 frames of 5000 x 5000", [&] {
    form.SaveFrames({1, 2}, out.string(), MainWindow::SaveKind::kSheet);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: drop_bench GIF [ROUNDS]\n");
    return 2;
  }
  const std::string source = argv[1];
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
  const auto folder = std::filesystem::temp_directory_path() / "mervane-drop-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "base");
  QuietBoxes boxes;
  MainWindow::Form_main form({folder.string(), &boxes, [] {}});
  form.Form_Load();
  form.show();

  std::vector<double> drops, baselines;
  int frames = 0;
  // A timer that fires whenever events run: the longest time between two
  // of its turns is the longest the window could not answer.
  double longest_gap = 0;
  auto last_turn = std::chrono::steady_clock::now();
  QTimer ticker;
  ticker.setInterval(0);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longest_gap = std::max(longest_gap, Seconds(last_turn));
    last_turn = std::chrono::steady_clock::now();
  });
  for (int round = 0; round < rounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    ticker.start();
    last_turn = start;
    form.Picture1_OLEDragDrop({{source}});
    longest_gap = std::max(longest_gap, Seconds(last_turn));
    ticker.stop();
    drops.push_back(Seconds(start));

    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "base"))
      std::filesystem::remove(entry.path(), ignored);
    start = std::chrono::steady_clock::now();
    Toolkit::NoProgress quiet;
    const std::string prefix = (folder / "base" / "f").string();
    const std::vector<std::uint8_t> bytes = Toolkit::ReadWholeFile(source);
    frames = GifTest::SplitAnimation(bytes, source, prefix, quiet);
    FrameCompose::AnimationFacts animation;
    FrameCompose::Compose(
        bytes, source, [](const auto&, const FrameCompose::Canvas*) { return true; }, animation);
    baselines.push_back(Seconds(start));
  }
  const double drop = Median(drops), baseline = Median(baselines);
  std::printf(
      "%d frames: drop to finished strip %.1f ms, divide + compose once %.1f ms, ratio %.2f (bar "
      "1.50)\n",
      frames, drop * 1e3, baseline * 1e3, drop / baseline);
  std::printf("longest time without running events during a drop: %.1f ms (bar 100)\n",
              longest_gap * 1e3);
  TimeLargeSaves(folder, boxes);
  std::filesystem::remove_all(folder);
  return 0;
}
