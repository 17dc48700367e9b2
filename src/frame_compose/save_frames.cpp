#include "frame_compose/save_frames.h"

#include <condition_variable>
#include <exception>
#include <mutex>
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
};

// Encodes and writes frames handed to it, one at a time, on its own thread.
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
    thread_.join();  // after the frame in hand, if any, is written
  }

  // Hands a frame on, waiting while the previous one is still waiting.
  // Rethrows a failure of the writer.
  void Hand(const FrameFacts& facts, const Canvas& canvas) {
    // A frame goes to the writer as it is when the writer is idle; while it
    // is still busy with the frame before, this thread encodes the frame
    // rather than wait. Files are written on the writer's thread alone, as
    // two threads creating files in one folder only queue on its lock.
    bool writer_idle = false;
    {
      std::lock_guard lock(mutex_);
      writer_idle = !pending_ && !busy_;
    }
    std::vector<std::uint8_t> file;
    if (!writer_idle) file = Encode(facts.delay_cs, canvas);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !pending_ || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    spare_.number = facts.number;
    spare_.delay_cs = facts.delay_cs;
    spare_.encoded = !writer_idle;
    if (spare_.encoded) {
      spare_.file = std::move(file);
    } else {
      spare_.canvas.width = canvas.width;
      spare_.canvas.height = canvas.height;
      spare_.canvas.pixels.assign(canvas.pixels.begin(), canvas.pixels.end());
    }
    pending_ = true;
    changed_.notify_all();
  }

  // Waits until every frame handed on is written; returns how many were.
  int Finish() {
    std::unique_lock lock(mutex_);
    done_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return (!pending_ && !busy_) || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    return written_;
  }

 private:
  void Run() {
    Job job;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return pending_ || done_; });
        if (!pending_) return;
        std::swap(job, spare_);
        pending_ = false;
        busy_ = true;
        changed_.notify_all();
      }
      std::exception_ptr failure;
      try {
        if (!job.encoded) job.file = Encode(job.delay_cs, job.canvas);
        Toolkit::WriteFileInPieces(request_.path_of(job.number), job.file, {}, {});
      } catch (...) {
        failure = std::current_exception();
      }
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

  const SaveRequest& request_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Job spare_;
  bool pending_ = false, busy_ = false, done_ = false;
  int written_ = 0;
  std::exception_ptr failure_;
  std::thread thread_;  // last: starts once everything above is set up
};

}  // namespace

int CountFrames(std::span<const std::uint8_t> source) {
  ComposeOptions facts_only;
  facts_only.pixels = false;
  AnimationFacts animation;
  try {
    Compose(
        source, "", [](const FrameFacts&, const Canvas*) { return true; }, animation, facts_only);
  } catch (const ComposeError&) {
  }
  return animation.frame_count;
}

int SaveFramesAsTheyAppear(std::span<const std::uint8_t> source, const std::string& source_name,
                           const SaveRequest& request) {
  Writer writer(request);
  AnimationFacts animation;
  Compose(
      source, source_name,
      [&](const FrameFacts& facts, const Canvas* canvas) {
        if (!request.wanted || request.wanted(facts.number)) writer.Hand(facts, *canvas);
        if (request.after_frame) request.after_frame(facts.number);
        return !request.last || facts.number < *request.last;
      },
      animation);
  return writer.Finish();
}

}  // namespace FrameCompose
