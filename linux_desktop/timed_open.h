// Opening a connection to a display server or a bus blocks inside its library until the server
// answers, and a stopped server never does. TimedOpen runs the opening on a thread of its own and
// waits for it a bounded time, giving up at once when a termination signal is pending, so the
// loop that handles the signal is never held. An opening still under way is not started again,
// nor waited for again once a caller gave up on it: later callers are refused at once until
// its late result comes, which the next of them takes.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "core/linux/termination_signals.h"

namespace quillmoss::desktop {

// How long opening a connection to an X server, a compositor or a bus may take, its first
// round trip included; a server that has not answered by then counts as not answering.
inline constexpr double kOpenSeconds = 2.0;

template <typename T>
class TimedOpen {
 public:
  explicit TimedOpen(std::function<T()> open) : open_(std::move(open)) {}

  // The opening's result; nullopt when it has not come within `seconds` (it goes on, for a
  // later call) or a termination signal is pending.
  std::optional<T> operator()(double seconds) {
    std::unique_lock lock(mutex_);
    if (!attempt_) start();
    if (attempt_->overdue) seconds = 0;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    // Looked at every so often: a pending signal does not wake a condition variable.
    constexpr auto kSignalCheck = std::chrono::milliseconds(20);
    while (!attempt_->result && !terminationPending() && Clock::now() < deadline) {
      attempt_->done.wait_until(lock, std::min(deadline, Clock::now() + kSignalCheck));
    }
    if (!attempt_->result) {
      attempt_->overdue = true;
      return std::nullopt;
    }
    std::optional<T> result = std::move(attempt_->result);
    attempt_.reset();
    return result;
  }

 private:
  using Clock = std::chrono::steady_clock;
  struct Attempt {
    std::condition_variable done;
    std::optional<T> result;
    bool overdue = false;  // a caller gave up waiting for it
  };

  void start() {
    attempt_ = std::make_shared<Attempt>();
    // The thread keeps the termination signals blocked, whatever the caller's mask, so that
    // they reach only the loop's thread; one left waiting on a stopped server never ends us.
    const sigset_t signals = terminationSignals();
    sigset_t callers;
    pthread_sigmask(SIG_BLOCK, &signals, &callers);
    std::thread([open = open_, attempt = attempt_, state = state_] {
      T result = open();
      std::lock_guard guard(*state);
      attempt->result = std::move(result);
      attempt->done.notify_all();
    }).detach();
    pthread_sigmask(SIG_SETMASK, &callers, nullptr);
  }

  std::function<T()> open_;
  // Shared with the threads, which may outlive this object.
  std::shared_ptr<std::mutex> state_ = std::make_shared<std::mutex>();
  std::mutex& mutex_ = *state_;
  std::shared_ptr<Attempt> attempt_;
};

}  // namespace quillmoss::desktop
