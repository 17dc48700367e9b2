// SPDX-License-Identifier: MIT
#include "frame_compose/save_frames.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame_compose/frame_files.h"
#include "toolkit/file_ops.h"

namespace FrameCompose {
namespace {

// One composed frame on its way from the composer to the writer.
struct Job {
  int number = 0;
  int delay_cs = 0;
  Canvas canvas;                   // to encode, when not yet encoded
  std::vector<std::uint8_t> file;  // the encoded file
  bool encoded = false;
  bool same_as_previous = false;  // the previous frame's file serves again
};

// Encodes and writes frames handed to it, in order of arrival, on its own
// thread. Up to two frames wait for it; when both places are taken, the
// composer's thread encodes the frame itself rather than wait, so that the
// two threads share the encoding whichever half of the work is larger.
// Files are written on the writer's thread alone, as two threads creating
// files in one folder only queue on its lock.
class Writer {
 public:
  explicit Writer(const SaveRequest& request) : request_(request), thread_([this] { Run(); }) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
      changed_.notify_all();
    }
    thread_.join();  // after the frames waiting, if any, are written
  }

  // Hands a frame on. Rethrows a failure of the writer.
  void Hand(const FrameFacts& facts, const Canvas& canvas) {
    Job job;
    job.number = facts.number;
    job.delay_cs = facts.delay_cs;
    bool full = false;
    {
      std::lock_guard lock(mutex_);
      if (failure_) std::rethrow_exception(failure_);
      full = waiting_.size() >= kMostWaiting;
    }
    // A frame that changes nothing, as the still frames of many animations,
    // costs neither tiling nor encoding: its file is the one before.
    const bool delay_matters = request_.kind == FileKind::kFullFrameGif;
    if (have_previous_ && (!delay_matters || previous_delay_ == job.delay_cs) &&
        previous_pixels_ == canvas.pixels) {
      job.same_as_previous = true;
    } else if (canvas.pixels.size() <= kMostRemembered) {
      previous_pixels_ = canvas.pixels;
      previous_delay_ = job.delay_cs;
      have_previous_ = true;
    } else {
      have_previous_ = false;
    }
    if (job.same_as_previous) {
    } else if (canvas.width == 0 || canvas.height == 0) {
      job.encoded = true;  // nothing to encode: the writer says so
    } else if (full && !request_.pump) {
      // A caller with events to run waits for a place instead, running them.
      job.file = Encode(job.delay_cs, canvas);
      job.encoded = true;
    } else if (request_.kind == FileKind::kFullFrameGif && !canvas.indices.empty()) {
      // Indices are all a full-frame GIF needs: a quarter of the colours' bytes.
      job.canvas.width = canvas.width;
      job.canvas.height = canvas.height;
      job.canvas.indices = canvas.indices;
      job.canvas.table = canvas.table;
      job.canvas.transparent_index = canvas.transparent_index;
    } else {
      job.canvas = canvas;
    }
    std::unique_lock lock(mutex_);
    WaitPumping(lock, [&] { return waiting_.size() < kMostWaiting || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    waiting_.push_back(std::move(job));
    changed_.notify_all();
  }

  // Waits until every frame handed on is written; returns how many were.
  int Finish() {
    std::unique_lock lock(mutex_);
    done_ = true;
    changed_.notify_all();
    WaitPumping(lock, [&] { return (waiting_.empty() && !busy_) || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    return written_;
  }

 private:
  static constexpr std::size_t kMostWaiting = 2;
  static constexpr std::chrono::milliseconds kPumpEvery{20};

  // Waits on the composer's thread until `ready` holds, running the
  // caller's events meanwhile: a large frame takes the writer seconds.
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
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !waiting_.empty() || done_; });
        if (waiting_.empty()) return;
        job = std::move(waiting_.front());
        waiting_.pop_front();
        busy_ = true;
        changed_.notify_all();
      }
      std::exception_ptr failure;
      const std::string path = request_.path_of(job.number);
      try {
        if (job.same_as_previous) {
          job.file = previous_file_;
        } else if (job.encoded && job.file.empty()) {
          throw std::runtime_error("the picture is 0 x 0 pixels");
        } else if (!job.encoded) {
          job.file = Encode(job.delay_cs, job.canvas);
        }
      } catch (const std::exception& reason) {
        failure = std::make_exception_ptr(std::runtime_error("Cannot encode frame " +
                                                             std::to_string(job.number) + " as " +
                                                             path + ": " + reason.what()));
      }
      try {
        if (!failure) Toolkit::WriteFileInPieces(path, job.file, {}, {});
      } catch (...) {
        failure = std::current_exception();
      }
      previous_file_ = std::move(job.file);
      std::lock_guard lock(mutex_);
      busy_ = false;
      if (failure) {
        failure_ = failure;
      } else {
        ++written_;
      }
      changed_.notify_all();
      if (failure) return;
    }
  }

  std::vector<std::uint8_t> Encode(int delay_cs, const Canvas& canvas) const {
    return request_.kind == FileKind::kPng ? EncodePng(canvas)
                                           : EncodeFullFrameGif(canvas, delay_cs);
  }

  // Pictures up to this many pixels are remembered to spot unchanged frames.
  static constexpr std::size_t kMostRemembered = std::size_t{16} << 20;

  const SaveRequest& request_;
  // The composer's thread alone uses these three.
  std::vector<std::uint32_t> previous_pixels_;
  int previous_delay_ = 0;
  bool have_previous_ = false;
  std::vector<std::uint8_t> previous_file_;  // the writer's thread alone
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> waiting_;
  bool busy_ = false, done_ = false;
  int written_ = 0;
  std::exception_ptr failure_;
  std::thread thread_;  // last: starts once everything above is set up
};

}  // namespace

int CountFrames(std::span<const std::uint8_t> source) { return SurveyFrames(source).frames; }

SaveReport SaveFramesAsTheyAppear(std::span<const std::uint8_t> source,
                                  const std::string& source_name, const SaveRequest& request) {
  ComposeOptions options;
  options.pump = request.pump;
  // Every name is looked at before the first file is written.
  const Survey survey = request.survey ? *request.survey : SurveyFrames(source, options);
  const int frames = std::min(survey.frames, request.last.value_or(INT_MAX));
  std::vector<std::string> names;
  for (int number = 1; number <= frames; ++number) {
    if (!request.wanted || request.wanted(number)) names.push_back(request.path_of(number));
  }
  Toolkit::RequireFreeNames(names, request.keep);
  Writer writer(request);
  AnimationFacts animation;
  options.survey = survey;
  SaveReport report;
  try {
    Compose(
        source, source_name,
        [&](const FrameFacts& facts, const Canvas* canvas) {
          if (!request.wanted || request.wanted(facts.number)) writer.Hand(facts, *canvas);
          if (request.after_frame) request.after_frame(facts.number);
          return !request.last || facts.number < *request.last;
        },
        animation, options);
  } catch (const ComposeError& damage) {
    // Past the first frame, damage ends the file: what came before is saved.
    if (animation.frame_count == 0) throw;
    report.damage = damage;
  }
  report.written = writer.Finish();
  return report;
}

}  // namespace FrameCompose
