// The event loop on macOS: the main run loop with NSTimer timers, the main dispatch queue for
// posted tasks, and dispatch sources for descriptors and the termination signals.
#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
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
  }

  TimerId scheduleRepeating(double periodSeconds, Callback callback) override {
    return schedule(boundedPeriod(periodSeconds), true, std::move(callback));
  }

  TimerId scheduleOnce(double delaySeconds, Callback callback) override {
    return schedule(boundedDelay(delaySeconds), false, std::move(callback));
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
    std::weak_ptr<Shared> weak = self_;
    dispatch_async(dispatch_get_main_queue(), ^{
      if (weak.lock()) task();
    });
  }

  bool onLoopThread() const override { return [NSThread isMainThread]; }

  void onTerminationSignal(std::function<void(int signal)> handler) override {
    terminationHandler_ = std::move(handler);
  }

  int run() override {
    NSRunLoop* runLoop = [NSRunLoop mainRunLoop];
    while (!quitRequested_.load()) {
      @autoreleasepool {
        [runLoop runMode:NSDefaultRunLoopMode beforeDate:[NSDate distantFuture]];
      }
    }
    quitRequested_.store(false);
    return status_.load();
  }

  void quit(int status) override {
    status_.store(status);
    quitRequested_.store(true);
    // Wakes the run loop: handling a main-queue block ends runMode:beforeDate:.
    dispatch_async(dispatch_get_main_queue(), ^{
                   });
  }

 private:
  // Timers, posted tasks and dispatch sources reach the loop only through this weak handle.
  struct Shared {
    MacosEventLoop* loop;
  };

  TimerId schedule(double seconds, bool repeats, Callback callback) {
    const TimerId id = nextTimer_++;
    std::weak_ptr<Shared> weak = self_;
    NSTimer* timer = [NSTimer scheduledTimerWithTimeInterval:seconds
                                                     repeats:repeats
                                                       block:^(NSTimer* _Nonnull) {
                                                         auto shared = weak.lock();
                                                         if (!shared) return;
                                                         if (!repeats)
                                                           shared->loop->timers_.erase(id);
                                                         callback();
                                                       }];
    timers_[id] = timer;
    return id;
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
      if (weak.lock()) callback();
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
    if (terminationHandler_) {
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
  std::atomic<bool> quitRequested_{false};
  std::atomic<int> status_{0};
};

}  // namespace

std::unique_ptr<EventLoop> makeEventLoop() {
  return std::make_unique<MacosEventLoop>();
}

}  // namespace quillmoss
