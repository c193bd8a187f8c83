// Test helpers: a private temporary folder and a main loop running on its own thread.
#pragma once

#include <future>
#include <thread>

#include "core/linux/linux_event_loop.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {

// Runs a LinuxEventLoop on a thread of its own; the test thread plays the client.
class LoopThread {
 public:
  LinuxEventLoop& loop() { return loop_; }

  void start() {
    thread_ = std::thread([this] { loop_.run(); });
  }
  void stop() {
    if (!thread_.joinable()) return;
    loop_.quit(0);
    thread_.join();
  }
  ~LoopThread() { stop(); }

  // Runs fn on the loop's thread and waits for it.
  template <typename Fn>
  auto onLoop(Fn fn) -> decltype(fn()) {
    std::packaged_task<decltype(fn())()> task(std::move(fn));
    auto future = task.get_future();
    loop_.post([&task] { task(); });
    return future.get();
  }

 private:
  LinuxEventLoop loop_;
  std::thread thread_;
};

}  // namespace quillmoss::testing
