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
  Canvas canvas;           // for a PNG, or a GIF still to be indexed
  IndexedPicture indexed;  // for a GIF indexed by the composer's thread
  bool indexed_ready = false;
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
    // Indexing a GIF's colours goes to whichever thread would otherwise
    // wait: here while the writer still works on the frame before, there
    // when it is idle.
    bool writer_idle = false;
    {
      std::lock_guard lock(mutex_);
      writer_idle = !pending_ && !busy_;
    }
    const bool index_here = request_.kind == FileKind::kFullFrameGif && !writer_idle;
    IndexedPicture indexed;
    if (index_here) indexed = IndexColours(canvas);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !pending_ || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    spare_.number = facts.number;
    spare_.delay_cs = facts.delay_cs;
    spare_.indexed_ready = index_here;
    if (index_here) {
      spare_.indexed = std::move(indexed);
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
        if (request_.kind == FileKind::kFullFrameGif && !job.indexed_ready) {
          job.indexed = IndexColours(job.canvas);
        }
        const std::vector<std::uint8_t> file = request_.kind == FileKind::kPng
                                                   ? EncodePng(job.canvas)
                                                   : EncodeGif(job.indexed, job.delay_cs);
        Toolkit::WriteFileInPieces(request_.path_of(job.number), file, {}, {});
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
