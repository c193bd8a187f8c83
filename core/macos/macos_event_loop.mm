// The event loop on macOS: the main run loop with NSTimer timers, dispatch sources for
// descriptors and the termination signals, and a queue of our own for posted tasks. The main
// dispatch queue runs every block it holds in one pass, so posted tasks go through our queue,
// taken one at a time, and quit() stops the loop between two of them as it does on Linux.
#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>
#include <signal.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "core/event_loop.h"

namespace quillmoss {
namespace {

class MacosEventLoop final : public EventLoop {
 public:
  MacosEventLoop() {
    // A port keeps the run loop from returning at once while no timer or source is attached.
    [[NSRunLoop mainRunLoop] addPort:[NSMachPort port] forMode:NSDefaultRunLoopMode];
    // Ignored, so that their default action does not end us; the sources still see them.
    for (const int signalNumber : {SIGTERM, SIGINT}) {
      ::signal(signalNumber, SIG_IGN);
      dispatch_source_t source =
          dispatch_source_create(DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(signalNumber),
                                 0, dispatch_get_main_queue());
      std::weak_ptr<Shared> weak = self_;
      dispatch_source_set_event_handler(source, ^{
        if (auto shared = weak.lock()) shared->loop->deliverSignal(signalNumber);
      });
      dispatch_resume(source);
      signalSources_[signalNumber] = source;
    }
  }

  ~MacosEventLoop() override {
    for (auto& [id, timer] : timers_) [timer invalidate];
    for (auto& [fd, source] : readers_) dispatch_source_cancel(source);
    for (auto& [fd, source] : writers_) dispatch_source_cancel(source);
    for (auto& [signalNumber, source] : signalSources_) dispatch_source_cancel(source);
    // Dropped tasks may post others while they are destroyed; drop until nothing is left.
    for (;;) {
      std::deque<Callback> dropped;
      {
        std::lock_guard lock(mutex_);
        dropped.swap(posted_);
      }
      if (dropped.empty()) break;
    }
  }

  TimerId scheduleRepeating(double periodSeconds, Callback callback) override {
    const double period = boundedPeriod(periodSeconds);
    return schedule(period, period, std::move(callback));
  }

  TimerId scheduleOnce(double delaySeconds, Callback callback) override {
    return schedule(boundedDelay(delaySeconds), 0.0, std::move(callback));
  }

  void cancel(TimerId id) override {
    auto found = timers_.find(id);
    if (found == timers_.end()) return;
    [found->second invalidate];
    timers_.erase(found);
  }

  void watchReadable(int fd, Callback callback) override {
    watch(readers_, DISPATCH_SOURCE_TYPE_READ, fd, std::move(callback));
  }
  void watchWritable(int fd, Callback callback) override {
    watch(writers_, DISPATCH_SOURCE_TYPE_WRITE, fd, std::move(callback));
  }
  void unwatchReadable(int fd) override { unwatchIn(readers_, fd); }
  void unwatchWritable(int fd) override { unwatchIn(writers_, fd); }

  void post(Callback task) override {
    if (!task) return;
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
    if (!drainScheduled_) scheduleDrain();
  }

  bool onLoopThread() const override { return [NSThread isMainThread]; }

  void onTerminationSignal(std::function<void(int signal)> handler) override {
    terminationHandler_ = std::move(handler);
  }

  int run() override {
    {
      // Tasks left by the last quit() run now.
      std::lock_guard lock(mutex_);
      if (!posted_.empty() && !drainScheduled_) scheduleDrain();
    }
    NSRunLoop* runLoop = [NSRunLoop mainRunLoop];
    while (!quitRequested_.load()) {
      @autoreleasepool {
        [runLoop runMode:NSDefaultRunLoopMode beforeDate:[NSDate distantFuture]];
      }
    }
    std::lock_guard lock(mutex_);
    quitRequested_.store(false);
    return status_;
  }

  void quit(int status) override {
    {
      std::lock_guard lock(mutex_);
      if (quitRequested_.load()) return;
      status_ = status;
      quitRequested_.store(true);
    }
    // Wakes the run loop: handling a main-queue block ends runMode:beforeDate:.
    dispatch_async(dispatch_get_main_queue(), ^{
                   });
  }

 private:
  // Timers, drains, and dispatch sources reach the loop only through this weak handle.
  struct Shared {
    MacosEventLoop* loop;
  };

  // Every timer repeats underneath (a one-shot one at the longest wait), so that one coming due
  // after quit() can be put back for the next run() instead of being lost.
  TimerId schedule(double delaySeconds, double periodSeconds, Callback callback) {
    const TimerId id = nextTimer_++;
    const bool once = periodSeconds == 0.0;
    std::weak_ptr<Shared> weak = self_;
    NSTimer* timer =
        [[NSTimer alloc] initWithFireDate:[NSDate dateWithTimeIntervalSinceNow:delaySeconds]
                                 interval:once ? kLongestTimerSeconds : periodSeconds
                                  repeats:YES
                                    block:^(NSTimer* _Nonnull fired) {
                                      auto shared = weak.lock();
                                      if (!shared) return;
                                      if (shared->loop->quitRequested_.load()) {
                                        fired.fireDate = [NSDate date];
                                        return;
                                      }
                                      if (once) shared->loop->cancel(id);
                                      callback();
                                    }];
    [[NSRunLoop mainRunLoop] addTimer:timer forMode:NSDefaultRunLoopMode];
    timers_[id] = timer;
    return id;
  }

  // Called with the mutex held.
  void scheduleDrain() {
    drainScheduled_ = true;
    std::weak_ptr<Shared> weak = self_;
    dispatch_async(dispatch_get_main_queue(), ^{
      if (auto shared = weak.lock()) shared->loop->drainPosted();
    });
  }

  // The tasks queued when it starts, one at a time, stopping at quit(); tasks they post wait
  // for the next drain, so that timers and descriptors get their turn in between.
  void drainPosted() {
    std::size_t batch = 0;
    {
      std::lock_guard lock(mutex_);
      batch = posted_.size();
    }
    for (; batch > 0; --batch) {
      Callback task;
      {
        std::lock_guard lock(mutex_);
        if (quitRequested_.load() || posted_.empty()) break;
        task = std::move(posted_.front());
        posted_.pop_front();
      }
      task();
    }
    std::lock_guard lock(mutex_);
    if (!posted_.empty() && !quitRequested_.load()) {
      scheduleDrain();
    } else {
      drainScheduled_ = false;
    }
  }

  void watch(std::map<int, dispatch_source_t>& sources, dispatch_source_type_t type, int fd,
             Callback callback) {
    unwatchIn(sources, fd);
    if (fd < 0 || !callback) return;
    dispatch_source_t source =
        dispatch_source_create(type, static_cast<uintptr_t>(fd), 0, dispatch_get_main_queue());
    if (source == nil) return;
    std::weak_ptr<Shared> weak = self_;
    dispatch_source_set_event_handler(source, ^{
      auto shared = weak.lock();
      // After quit() the descriptor stays ready and comes back in the next run().
      if (!shared || shared->loop->quitRequested_.load()) return;
      callback();
    });
    dispatch_resume(source);
    sources[fd] = source;
  }

  void unwatchIn(std::map<int, dispatch_source_t>& sources, int fd) {
    auto found = sources.find(fd);
    if (found == sources.end()) return;
    dispatch_source_cancel(found->second);
    sources.erase(found);
  }

  void deliverSignal(int signalNumber) {
    if (quitRequested_.load()) {
      post([this, signalNumber] { deliverSignal(signalNumber); });  // for the next run()
    } else if (terminationHandler_) {
      terminationHandler_(signalNumber);
    } else {
      quit(128 + signalNumber);
    }
  }

  std::shared_ptr<Shared> self_ = std::make_shared<Shared>(Shared{this});
  std::map<TimerId, NSTimer*> timers_;
  TimerId nextTimer_ = 1;
  std::map<int, dispatch_source_t> readers_;
  std::map<int, dispatch_source_t> writers_;
  std::map<int, dispatch_source_t> signalSources_;
  std::function<void(int)> terminationHandler_;

  std::mutex mutex_;  // guards the three below; quitRequested_ is also read without it
  std::deque<Callback> posted_;
  bool drainScheduled_ = false;
  int status_ = 0;
  std::atomic<bool> quitRequested_{false};
};

}  // namespace

std::unique_ptr<EventLoop> makeEventLoop() {
  return std::make_unique<MacosEventLoop>();
}

}  // namespace quillmoss
