// Test helpers: a private temporary folder and a main loop running on its own thread.
#pragma once

#include <sys/socket.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/linux/linux_event_loop.h"
#include "engine/engine_socket_path.h"
#include "posix/unique_fd.h"
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

// A host that never accepts, its listening backlog full: a blocking connect there waits.
struct FullBacklog {
  explicit FullBacklog(const std::string& path) : address(engine::socketAddress(path)) {
    if (!address || ::bind(listener.get(), address->get(), address->size()) != 0 ||
        ::listen(listener.get(), 0) != 0) {
      return;
    }
    do {
      waiting.emplace_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
    } while (::connect(waiting.back().get(), address->get(), address->size()) == 0);
  }
  bool full() const { return waiting.size() > 1; }

  Expected<engine::SocketAddress> address;
  posix::UniqueFd listener{::socket(AF_UNIX, SOCK_STREAM, 0)};
  std::vector<posix::UniqueFd> waiting;
};

}  // namespace quillmoss::testing
