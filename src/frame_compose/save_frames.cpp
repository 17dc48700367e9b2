// SPDX-License-Identifier: MIT
#include "frame_compose/save_frames.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <deque>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame_compose/frame_files.h"
#include "frame_compose/paced.h"
#include "toolkit/file_ops.h"

namespace FrameCompose {
namespace {

// Why an encoder ran out of memory, in words.
constexpr char kNoMemory[] = "not enough memory";

// How often a caller's events run while it waits on other threads.
constexpr std::chrono::milliseconds kPumpEvery{20};

// One composed frame on its way from the composer to the writers.
struct Job {
  int number = 0;
  std::size_t sequence = 0;  // the order it is written in
  int delay_cs = 0;
  std::shared_ptr<const Canvas> canvas;  // to encode, when not yet encoded
  std::vector<std::uint8_t> file;        // the encoded file
  bool encoded = false;
  bool same_as_previous = false;  // the previous frame's file serves again
};

// Canvases for the frames on their way to the encoders. One that comes
// back is handed out again, its buffers as they were: allocated afresh, a
// frame's megabytes went back to the system and were faulted in again for
// the next, which cost a third as much as compressing them.
class CanvasPool {
 public:
  // A canvas to fill; it comes back here when its last owner lets go.
  std::shared_ptr<Canvas> Take() {
    std::unique_ptr<Canvas> canvas;
    {
      std::lock_guard lock(state_->mutex);
      if (!state_->spare.empty()) {
        canvas = std::move(state_->spare.back());
        state_->spare.pop_back();
      }
    }
    if (!canvas) canvas = std::make_unique<Canvas>();
    // The state outlives the pool while a canvas is out.
    return std::shared_ptr<Canvas>(canvas.release(), [state = state_](Canvas* back) {
      std::unique_ptr<Canvas> owned(back);
      std::lock_guard lock(state->mutex);
      if (state->spare.size() < kMostSpare) state->spare.push_back(std::move(owned));
    });
  }

 private:
  // More than every place in the queue and every encoder is never out at once.
  static constexpr std::size_t kMostSpare = 64;
  struct State {
    std::mutex mutex;
    std::vector<std::unique_ptr<Canvas>> spare;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Encodes frames handed to it on a pool of threads and writes them in the
// order they came. Up to two frames per thread wait; when every place is
// taken, the composer's thread encodes the frame itself rather than wait
// (unless it has events to run). Each file is written by the thread that
// encoded it once the frame before is written: one file at a time, since
// threads creating files in one folder only queue on its lock. With no
// pool (one thread in all), the composer's thread does everything, unless
// it has events to run: then one thread encodes and writes while it waits,
// since a frame of 8192 x 8192 takes seconds to deflate and END must not
// wait for that.
class Writer {
 public:
  // `frame_bytes`: the bytes of one frame's picture, which every frame
  // waiting or being encoded holds.
  Writer(const SaveRequest& request, std::size_t frame_bytes)
      : request_(request),
        pool_size_(PoolSize(request, Fitting(frame_bytes))),
        most_waiting_(std::max<std::size_t>(
            1, std::min<std::size_t>(2 * pool_size_, Fitting(frame_bytes) - pool_size_))) {
    for (unsigned i = 0; i < pool_size_; ++i) threads_.emplace_back([this] { Run(); });
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() {
    {
      std::unique_lock lock(mutex_);
      done_ = true;
      changed_.notify_all();
      // Left by a failure: the frames waiting are written, events running meanwhile.
      WaitPumping(lock, [&] { return busy_ == 0 && (waiting_.empty() || failure_); });
    }
    for (std::thread& thread : threads_) thread.join();
  }

  // How many frames of `frame_bytes` kMostBytesInFlight holds: at least
  // two, one waiting and one being encoded.
  static std::size_t Fitting(std::size_t frame_bytes) {
    return std::max<std::size_t>(2, kMostBytesInFlight / std::max<std::size_t>(frame_bytes, 1));
  }

  // The writing threads: one per core but the composer's (or as the request
  // says), no more than leave a place for a frame waiting among `fitting`,
  // and at least one when the caller has events to run.
  static unsigned PoolSize(const SaveRequest& request, std::size_t fitting) {
    const unsigned all = request.threads > 0 ? static_cast<unsigned>(request.threads)
                                             : std::max(1u, std::thread::hardware_concurrency());
    const auto others = static_cast<unsigned>(std::min<std::size_t>(all - 1, fitting - 1));
    return std::max(request.pump ? 1u : 0u, others);
  }

  // Hands a frame on. Rethrows a failure of a writer.
  void Hand(const FrameFacts& facts, const Canvas& canvas) {
    Job job;
    job.number = facts.number;
    job.sequence = handed_++;
    job.delay_cs = facts.delay_cs;
    bool full = true;
    if (pool_size_ > 0) {
      std::lock_guard lock(mutex_);
      if (failure_) std::rethrow_exception(failure_);
      full = waiting_.size() >= most_waiting_;
    }
    // A frame that changes nothing, as the still frames of many animations,
    // costs neither tiling nor encoding: its file is the one before.
    const bool delay_matters = request_.kind == FileKind::kFullFrameGif && !request_.encode;
    if (previous_ && (!delay_matters || previous_delay_ == job.delay_cs) &&
        SameFile(*previous_, canvas)) {
      job.same_as_previous = true;
    } else if (canvas.width == 0 || canvas.height == 0) {
      job.encoded = true;  // nothing to encode: the writer says so
      previous_.reset();
    } else {
      // One copy serves the encoder and the look at the next frame.
      const std::shared_ptr<const Canvas> kept = Kept(canvas);
      if (full && (!request_.pump || pool_size_ == 0)) {
        // A caller with events to run waits for a place instead, running them.
        job.file = Encode(composer_encoder_, job.delay_cs, *kept);
        job.encoded = true;
      } else {
        job.canvas = kept;
      }
      previous_ = canvas.pixels.size() <= kMostRemembered ? kept : nullptr;
      previous_delay_ = job.delay_cs;
    }
    if (pool_size_ == 0) return WriteAlone(std::move(job));
    std::unique_lock lock(mutex_);
    WaitPumping(lock, [&] { return waiting_.size() < most_waiting_ || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    waiting_.push_back(std::move(job));
    changed_.notify_all();
  }

  // Waits until every frame handed on is written; returns how many were.
  int Finish() {
    std::unique_lock lock(mutex_);
    done_ = true;
    changed_.notify_all();
    WaitPumping(lock, [&] { return (waiting_.empty() && busy_ == 0) || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    return written_;
  }

 private:
  // Waits on the composer's thread until `ready` holds, running the
  // caller's events meanwhile: a large frame takes the writers seconds.
  template <typename Ready>
  void WaitPumping(std::unique_lock<std::mutex>& lock, Ready ready) {
    while (!changed_.wait_for(lock, kPumpEvery, ready)) {
      if (!request_.pump) continue;
      lock.unlock();
      request_.pump();
      lock.lock();
    }
  }

  void Run() {
    FrameEncoder encoder;  // this thread's
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !waiting_.empty() || done_ || failure_; });
        if (failure_ || waiting_.empty()) return;
        job = std::move(waiting_.front());
        waiting_.pop_front();
        ++busy_;
        changed_.notify_all();
      }
      const std::string path = request_.path_of(job.number);
      std::exception_ptr failure = EncodeJob(encoder, job, path);
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return next_to_write_ == job.sequence || failure_; });
        if (failure_) {
          --busy_;
          changed_.notify_all();
          return;
        }
      }
      // This frame's turn: no other thread writes until it is done.
      if (!failure) failure = WriteJob(job, path);
      std::lock_guard lock(mutex_);
      --busy_;
      ++next_to_write_;
      if (failure) {
        failure_ = failure;
      } else {
        ++written_;
      }
      changed_.notify_all();
      if (failure) return;
    }
  }

  // Encodes and writes `job` on the composer's thread, when there is no pool.
  void WriteAlone(Job job) {
    const std::string path = request_.path_of(job.number);
    std::exception_ptr failure = EncodeJob(composer_encoder_, job, path);
    if (!failure) failure = WriteJob(job, path);
    if (failure) std::rethrow_exception(failure);
    ++written_;
  }

  // Writes the encoded `job` to `path`; the failure, if any. REQUIRES: it
  // is this job's turn.
  std::exception_ptr WriteJob(Job& job, const std::string& path) {
    std::exception_ptr failure;
    try {
      if (job.same_as_previous) job.file = previous_file_;
      Toolkit::WriteFileInPieces(path, job.file, {}, {});
    } catch (...) {
      failure = std::current_exception();
    }
    previous_file_ = std::move(job.file);
    return failure;
  }

  // Encodes `job` where that is still to do; the failure, if any.
  std::exception_ptr EncodeJob(FrameEncoder& encoder, Job& job, const std::string& path) const {
    try {
      if (job.same_as_previous) return nullptr;
      if (job.encoded && job.file.empty()) throw std::runtime_error("the picture is 0 x 0 pixels");
      if (!job.encoded) job.file = Encode(encoder, job.delay_cs, *job.canvas);
      job.canvas.reset();
      return nullptr;
    } catch (const std::exception& reason) {
      // The library's own words for these mean nothing to a user.
      const bool memory = dynamic_cast<const std::bad_alloc*>(&reason) != nullptr ||
                          dynamic_cast<const std::length_error*>(&reason) != nullptr;
      return std::make_exception_ptr(std::runtime_error(
          "Cannot encode frame " + std::to_string(job.number) + " as " + path + ": " +
          (memory ? std::string(kNoMemory) : std::string(reason.what()))));
    }
  }

  // The part of `canvas` the encoder needs: indices are all a full-frame
  // GIF needs while they last, a quarter of the colours' bytes.
  std::shared_ptr<const Canvas> Kept(const Canvas& canvas) {
    const std::shared_ptr<Canvas> kept = canvases_.Take();
    kept->width = canvas.width;
    kept->height = canvas.height;
    // Assigned, not replaced, so that the buffers are used again.
    Paced paced(request_.pump);
    if (request_.kind == FileKind::kFullFrameGif && !request_.encode && !canvas.indices.empty()) {
      paced.Assign(kept->indices, canvas.indices);
      kept->table.assign(canvas.table.begin(), canvas.table.end());
      kept->transparent_index = canvas.transparent_index;
      kept->pixels.clear();
    } else {
      paced.Assign(kept->pixels, canvas.pixels);
      kept->indices.clear();
      kept->table.clear();
      kept->transparent_index = -1;
    }
    return kept;
  }

  // True when `kept`, as Kept made it, makes the file `canvas` would make.
  // Where it kept indices alone, those are what a full-frame GIF writes, and
  // they are compared: every indexed frame has the same table.
  bool SameFile(const Canvas& kept, const Canvas& canvas) const {
    if (kept.indices.empty()) return SamePicture(kept, canvas, request_.pump);
    Paced paced(request_.pump);
    return kept.width == canvas.width && kept.height == canvas.height &&
           kept.transparent_index == canvas.transparent_index &&
           paced.Equal(kept.indices, canvas.indices);
  }

  std::vector<std::uint8_t> Encode(FrameEncoder& encoder, int delay_cs,
                                   const Canvas& canvas) const {
    if (request_.encode) return request_.encode(canvas);
    return request_.kind == FileKind::kPng ? encoder.Png(canvas)
                                           : encoder.FullFrameGif(canvas, delay_cs);
  }

  // Pictures up to this many pixels are remembered to spot unchanged frames.
  static constexpr std::size_t kMostRemembered = std::size_t{16} << 20;

  const SaveRequest& request_;
  CanvasPool canvases_;            // before every holder of its canvases
  FrameEncoder composer_encoder_;  // the composer's thread's
  const unsigned pool_size_;       // threads besides the composer's
  const std::size_t most_waiting_;
  // The composer's thread alone uses these three.
  std::size_t handed_ = 0;
  std::shared_ptr<const Canvas> previous_;  // the last frame handed on, when remembered
  int previous_delay_ = 0;
  std::vector<std::uint8_t> previous_file_;  // the writing thread's, whose turn it is
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> waiting_;
  unsigned busy_ = 0;
  bool done_ = false;
  std::size_t next_to_write_ = 0;
  int written_ = 0;
  std::exception_ptr failure_;
  std::vector<std::thread> threads_;  // last: start once everything above is set up
};

// Composes the wanted frames of `source` and hands them, through FrameRuns,
// to `out`; the report's damage and set's animation facts are filled in.
void ComposeWanted(std::span<const std::uint8_t> source, const std::string& source_name,
                   const SaveRequest& request, const Survey& survey, bool to_the_end,
                   const FrameRuns::Out& out, SaveReport& report) {
  ComposeOptions options;
  options.pump = request.pump;
  options.survey = survey;
  FrameRuns runs(request.distinct, out, request.longest_run_cs);
  AnimationFacts& animation = report.set.animation;
  const FrameSink sink = [&](const FrameFacts& facts, const Canvas* canvas) {
    if (!request.wanted || request.wanted(facts.number)) runs.Add(facts, *canvas);
    if (request.after_frame) request.after_frame(facts.number);
    return to_the_end || !request.last || facts.number < *request.last;
  };
  try {
    if (request.frames) {
      request.frames(sink, animation);
    } else {
      Compose(source, source_name, sink, animation, options);
    }
  } catch (const ComposeError& damage) {
    // Past the first frame, damage ends the file: what came before is saved.
    if (animation.frame_count == 0) throw;
    report.damage = damage;
    report.set.damaged_at = damage.offset();
  }
  runs.Finish();
}

// Writes the JSON of `set` (and of the sheet) to `path`, whole or not at all.
void WriteJson(const std::string& path, const SaveRequest& request, const SetFacts& set,
               const std::optional<SheetLayout>& sheet = std::nullopt) {
  if (!request.json) return WriteSetJson(path, set, sheet);
  const std::string json = request.json(set, sheet);
  Toolkit::WriteFileInPieces(
      path, std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()), {}, {});
}

Survey SurveyOf(std::span<const std::uint8_t> source, const SaveRequest& request) {
  ComposeOptions options;
  options.pump = request.pump;
  return request.survey ? *request.survey : SurveyFrames(source, options);
}

}  // namespace

SaveReport SaveFramesAsTheyAppear(std::span<const std::uint8_t> source,
                                  const std::string& source_name, const SaveRequest& request) {
  // Every name is looked at before the first file is written.
  const Survey survey = SurveyOf(source, request);
  std::vector<std::string> names = WantedPaths(
      std::min(survey.frames, request.last.value_or(INT_MAX)), request.wanted, request.path_of);
  if (!request.sidecar.empty()) names.push_back(request.sidecar);
  Toolkit::RequireFreeNames(names, request.keep);
  SaveReport report;
  {
    Writer writer(request, static_cast<std::size_t>(survey.width) *
                               static_cast<std::size_t>(survey.height) * sizeof(std::uint32_t));
    ComposeWanted(
        source, source_name, request, survey, !request.sidecar.empty(),
        [&](const KeptFrame& frame, const Canvas& canvas) {
          writer.Hand(frame.facts, canvas);
          report.set.frames.push_back(frame);
        },
        report);
    report.written = writer.Finish();
  }
  NameFiles(report.set, request.path_of);
  if (!request.sidecar.empty()) WriteJson(request.sidecar, request, report.set);
  return report;
}

namespace {

// Refuses a sheet of `grid` cells of the survey's size with a side longer
// than kLargestSheetSide; `at_least` when more cells may yet come.
void RequireSheetFits(const SheetGrid& grid, const Survey& survey, bool at_least) {
  const auto width =
      static_cast<std::size_t>(grid.columns) * static_cast<std::size_t>(survey.width);
  const auto height = static_cast<std::size_t>(grid.rows) * static_cast<std::size_t>(survey.height);
  if (width <= kLargestSheetSide && height <= kLargestSheetSide) return;
  throw std::runtime_error(std::string("a sheet of ") + (at_least ? "at least " : "") +
                           std::to_string(width) + " x " + std::to_string(height) +
                           " pixels is larger than PNG readers take (" +
                           std::to_string(kLargestSheetSide) +
                           " a side); nothing written (use fewer columns or frames)");
}

// A sprite sheet filled cell by cell, row by row, each cell one picture.
// Each cell is held on its own until the sheet is put together: memory
// follows the cells placed, however many frames were asked for and however
// many columns, and nothing is copied as the sheet grows.
class SheetBuilder {
 public:
  // Pictures are copied in pieces with `pump` (empty: none; it outlives
  // the builder) run between them.
  SheetBuilder(int columns, const Survey& survey, const std::function<void()>& pump)
      : columns_(columns),
        survey_(survey),
        cell_width_(static_cast<std::size_t>(survey.width)),
        cell_height_(static_cast<std::size_t>(survey.height)),
        pump_(pump) {}

  // `frame` with its place, its picture copied there. Throws as
  // RequireSheetFits does, before taking memory, when the cell would make
  // the sheet too large.
  KeptFrame Place(const KeptFrame& frame, const Canvas& canvas) {
    RequireSheetFits(SheetGridFor(cells_.size() + 1, columns_), survey_, true);
    KeptFrame placed = frame;
    placed.column = static_cast<int>(cells_.size() % static_cast<std::size_t>(columns_));
    placed.row = static_cast<int>(cells_.size() / static_cast<std::size_t>(columns_));
    Paced paced(pump_);
    std::vector<std::uint32_t>& cell = cells_.emplace_back();
    paced.Assign(cell, cell_width_ * cell_height_, std::uint32_t{0});
    const std::size_t width = std::min(static_cast<std::size_t>(canvas.width), cell_width_);
    const std::size_t height = std::min(static_cast<std::size_t>(canvas.height), cell_height_);
    for (std::size_t y = 0; y < height; ++y) {
      paced.Did(width);
      std::copy_n(canvas.pixels.begin() + static_cast<long>(y * canvas.width), width,
                  cell.begin() + static_cast<long>(y * cell_width_));
    }
    return placed;
  }

  // Fewer cells than columns make a narrower sheet.
  int Columns() const { return SheetGridFor(cells_.size(), columns_).columns; }
  int Rows() const { return SheetGridFor(cells_.size(), columns_).rows; }

  // The sheet, its size set; each cell is let go once copied into it.
  // REQUIRES: called once, after the last Place.
  Canvas Finish() {
    Canvas sheet;
    sheet.width = static_cast<int>(cell_width_) * Columns();
    sheet.height = static_cast<int>(cell_height_) * Rows();
    const auto width = static_cast<std::size_t>(sheet.width);
    Paced paced(pump_);
    paced.Assign(sheet.pixels, width * static_cast<std::size_t>(sheet.height), std::uint32_t{0});
    const auto columns = static_cast<std::size_t>(Columns());
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      const std::size_t left = c % columns * cell_width_, top = c / columns * cell_height_;
      for (std::size_t y = 0; y < cell_height_; ++y) {
        paced.Did(cell_width_);
        std::copy_n(cells_[c].begin() + static_cast<long>(y * cell_width_), cell_width_,
                    sheet.pixels.begin() + static_cast<long>((top + y) * width + left));
      }
      cells_[c] = {};
    }
    return sheet;
  }

 private:
  const int columns_;
  const Survey survey_;
  const std::size_t cell_width_, cell_height_;
  const std::function<void()>& pump_;
  std::vector<std::vector<std::uint32_t>> cells_;
};

// Encodes `sheet` as a PNG at `path`. A sheet of many large frames takes
// seconds: a caller with events to run (`pump`) runs them meanwhile.
void WriteSheet(Canvas sheet, const std::string& path, const std::function<void()>& pump) {
  const auto write = [&] {
    FrameEncoder encoder;
    const std::vector<std::uint8_t> png = encoder.Png(sheet);
    sheet = {};  // the file's bytes and the pixels are not held together longer than needed
    Toolkit::WriteFileInPieces(path, png, {}, {});
  };
  if (!pump) return write();
  std::future<void> written = std::async(std::launch::async, write);
  while (written.wait_for(kPumpEvery) != std::future_status::ready) pump();
  written.get();
}

}  // namespace

SheetGrid SheetGridFor(std::size_t cells, int columns) {
  const auto full = static_cast<std::size_t>(columns);
  return {static_cast<int>(std::min(full, std::max<std::size_t>(cells, 1))),
          static_cast<int>((cells + full - 1) / full)};
}

SaveReport SaveSheet(std::span<const std::uint8_t> source, const std::string& source_name,
                     const std::string& prefix, int columns, const SaveRequest& request,
                     std::string* sheet_path) {
  const Survey survey = SurveyOf(source, request);
  if (!request.distinct) {
    // Every wanted frame gets a cell: a sheet too large is known before
    // the first frame is composed.
    std::size_t wanted = 0;
    for (int number = 1; number <= survey.frames; ++number) {
      wanted += !request.wanted || request.wanted(number) ? 1 : 0;
    }
    RequireSheetFits(SheetGridFor(wanted, columns), survey, false);
  }
  SheetBuilder builder(columns, survey, request.pump);
  SaveReport report;
  ComposeWanted(
      source, source_name, request, survey, true,
      [&](const KeptFrame& frame, const Canvas& canvas) {
        report.set.frames.push_back(builder.Place(frame, canvas));
      },
      report);
  const std::string stem =
      SheetStem(prefix, builder.Columns(), builder.Rows(), survey.width, survey.height);
  const std::string path = stem + kPngExtension;
  const std::string sidecar = SidecarName(stem);
  Toolkit::RequireFreeNames({path, sidecar}, request.keep);
  const SheetLayout layout{BareName(path), builder.Columns(), builder.Rows(), survey.width,
                           survey.height};
  NameFiles(report.set, [&](int) { return path; });
  WriteSheet(builder.Finish(), path, request.pump);
  WriteJson(sidecar, request, report.set, layout);
  report.written = 1;
  if (sheet_path != nullptr) *sheet_path = path;
  return report;
}

}  // namespace FrameCompose
