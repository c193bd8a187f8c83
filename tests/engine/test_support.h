// Test helpers: a private temporary folder and a main loop running on its own thread.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "platform/loop/linux_main_loop.h"

namespace quillmoss::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qm-engine-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    path_ = made ? made : "";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Runs a LinuxMainLoop on a thread of its own; the test thread plays the client.
class LoopThread {
 public:
  host::LinuxMainLoop& loop() { return loop_; }

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
    loop_.async([&task] { task(); });
    return future.get();
  }

 private:
  host::LinuxMainLoop loop_;
  std::thread thread_;
};

}  // namespace quillmoss::testing
