// The event loop of tests and benchmarks, driven by hand: posted tasks run only in runPending(),
// timers fire only as advance() moves virtual time, signals arrive through raise().
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "core/event_loop.h"

namespace quillmoss::testing {

class FakeEventLoop : public EventLoop {
 public:
  struct Timer {
    double period;  // 0 for a one-shot timer
    double deadline;
    Callback callback;
  };

  // Times bounded as the real loops bound them: a zero period must not hold advance() forever.
  TimerId scheduleRepeating(double period, Callback callback) override {
    period = boundedPeriod(period);
    return add(period, period, std::move(callback));
  }
  TimerId scheduleOnce(double delay, Callback callback) override {
    return add(boundedDelay(delay), 0.0, std::move(callback));
  }
  void cancel(TimerId id) override { timers.erase(id); }
  void watchReadable(int, Callback) override {}
  void watchWritable(int, Callback) override {}
  void unwatchReadable(int) override {}
  void unwatchWritable(int) override {}
  void post(Callback task) override { tasks.push_back(std::move(task)); }
  bool onLoopThread() const override { return std::this_thread::get_id() == thread_; }
  void onTerminationSignal(std::function<void(int)> handler) override {
    signalHandler_ = std::move(handler);
  }
  int run() override {
    runPending();
    return quitStatus.value_or(0);
  }
  void quit(int status) override {
    if (!quitStatus) quitStatus = status;
  }

  // Runs posted tasks, and those they post, until none is left or quit() was called.
  void runPending() {
    while (!tasks.empty() && !quitStatus) {
      Callback task = std::move(tasks.front());
      tasks.pop_front();
      task();
    }
  }
  // Moves time forward, firing each timer at its deadlines in order (then in order of
  // scheduling), posted work after each. A repeating timer keeps its phase.
  void advance(double seconds) {
    const double end = time + seconds;
    while (!quitStatus) {
      auto next = std::min_element(timers.begin(), timers.end(), [](auto& a, auto& b) {
        return a.second.deadline < b.second.deadline;
      });
      if (next == timers.end() || next->second.deadline > end) break;
      moveTo(next->second.deadline);
      Callback callback = next->second.callback;
      if (next->second.period > 0.0) {
        // Periods missed while time jumped (a suspension) make one call, not many.
        while (next->second.deadline <= time) next->second.deadline += next->second.period;
      } else {
        timers.erase(next);
      }
      callback();
      runPending();
    }
    moveTo(end);
    runPending();
  }
  void raise(int signal) {
    if (signalHandler_ && !quitStatus) signalHandler_(signal);
  }

  double time = 1'700'000'000.0;
  std::deque<Callback> tasks;
  std::map<TimerId, Timer> timers;
  std::optional<int> quitStatus;

 protected:
  // Called with each forward step of virtual time, so that a fake clock can follow it.
  virtual void timeMoved(double /*seconds*/) {}
  // Jumps time without firing anything on the way.
  void jump(double seconds) {
    time += seconds;
    timeMoved(seconds);
  }

 private:
  TimerId add(double delay, double period, Callback callback) {
    timers.emplace(nextId_, Timer{period, time + delay, std::move(callback)});
    return nextId_++;
  }
  void moveTo(double to) {
    if (to > time) jump(to - time);
  }

  std::thread::id thread_ = std::this_thread::get_id();
  TimerId nextId_ = 1;
  std::function<void(int)> signalHandler_;
};

}  // namespace quillmoss::testing
