// Deterministic stand-ins for the tracker's platform: a settable clock, idle time, a
// workspace whose activations the test fires, scripted browser answers, and a run loop on
// virtual time that plays a whole day in milliseconds.
#pragma once

#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/idle.h"
#include "platform/run_loop.h"
#include "platform/scripting.h"
#include "platform/workspace.h"

namespace quillmoss::tracker::testing {

class FakeClock : public Clock {
 public:
  double wall = 0.0;
  // Seconds east of UTC in which days are counted.
  long utcOffset = 0;
  double suspended = 0.0;

  double now() override { return wall; }
  std::string dayString(double instant) override {
    const auto seconds = static_cast<std::time_t>(std::floor(instant)) + utcOffset;
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday);
    return text;
  }
  double suspendedSeconds() override { return suspended; }
};

class FakeIdle : public IdleSource {
 public:
  double idle = 0.0;
  double secondsSinceLastInput() override { return idle; }
};

class FakeWorkspace : public Workspace {
 public:
  std::optional<std::string> frontmost;
  ActivationHandler handler;

  std::optional<std::string> frontmostBundleId() override { return frontmost; }
  void observeActivations(ActivationHandler h) override { handler = std::move(h); }
  // Brings an application (or none) to the front and delivers the activation.
  void activate(std::optional<std::string> bundleId) {
    frontmost = std::move(bundleId);
    if (handler) handler(frontmost);
  }
};

class FakeScriptRunner : public ScriptRunner {
 public:
  // What each script source answers; unknown sources answer an error with number -1728.
  std::map<std::string, ScriptOutcome> outcomes;
  std::map<std::string, int> runs;

  ScriptOutcome run(const std::string& source) override {
    ++runs[source];
    const auto found = outcomes.find(source);
    if (found != outcomes.end()) return found->second;
    return error(-1728);
  }
  int totalRuns() const {
    int total = 0;
    for (const auto& [source, count] : runs) total += count;
    return total;
  }
  static ScriptOutcome url(std::string text) {
    ScriptOutcome outcome;
    outcome.created = true;
    outcome.text = std::move(text);
    return outcome;
  }
  static ScriptOutcome error(long number) {
    ScriptOutcome outcome;
    outcome.created = true;
    outcome.hasErrorInfo = true;
    outcome.errorNumber = number;
    return outcome;
  }
};

// Virtual time in step with a FakeClock: advancing the loop moves the wall clock by the same
// amount and fires the due timers in order of their due time (then of scheduling).
class FakeRunLoop : public RunLoop {
 public:
  explicit FakeRunLoop(FakeClock& clock) : clock_(clock) {}

  TimerId scheduleRepeating(double period, Callback callback) override {
    return add(period, period, std::move(callback));
  }
  TimerId scheduleOnce(double delay, Callback callback) override {
    return add(delay, 0.0, std::move(callback));
  }
  void cancel(TimerId id) override { timers_.erase(id); }
  void watchReadable(int fd, Callback callback) override { watches[fd] = std::move(callback); }
  void unwatch(int fd) override { watches.erase(fd); }
  void onTerminationSignal(std::function<void(int)> handler) override {
    signalHandler = std::move(handler);
  }
  int run() override { return quitStatus.value_or(0); }
  void quit(int status) override {
    if (!quitStatus) quitStatus = status;
  }

  // Moves time forward by seconds, firing every timer that falls due on the way.
  void advance(double seconds) {
    const double end = time_ + seconds;
    while (!quitStatus) {
      auto next = nextDue();
      if (next == timers_.end() || next->second.due > end) break;
      moveTo(next->second.due);
      fire(next);
    }
    moveTo(end);
  }

  // The machine sleeps for seconds: wall and suspension clocks move, nothing fires during
  // it, and each repeating timer that missed periods fires once at wake-up.
  void suspend(double seconds) {
    time_ += seconds;
    clock_.wall += seconds;
    clock_.suspended += seconds;
    advance(0.0);
  }

  void raise(int signal) {
    if (signalHandler) signalHandler(signal);
  }

  std::size_t timerCount() const { return timers_.size(); }
  double time() const { return time_; }

  std::map<int, Callback> watches;
  std::function<void(int)> signalHandler;
  std::optional<int> quitStatus;

 private:
  struct Timer {
    double due;
    double period;
    Callback callback;
  };

  TimerId add(double delay, double period, Callback callback) {
    const TimerId id = nextId_++;
    timers_.emplace(id, Timer{time_ + delay, period, std::move(callback)});
    return id;
  }
  std::map<TimerId, Timer>::iterator nextDue() {
    auto best = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (best == timers_.end() || it->second.due < best->second.due) best = it;
    }
    return best;
  }
  void moveTo(double time) {
    if (time > time_) {
      clock_.wall += time - time_;
      time_ = time;
    }
  }
  void fire(std::map<TimerId, Timer>::iterator it) {
    Callback callback = it->second.callback;
    if (it->second.period > 0.0) {
      while (it->second.due <= time_) it->second.due += it->second.period;
    } else {
      timers_.erase(it);
    }
    callback();
  }

  FakeClock& clock_;
  double time_ = 0.0;
  TimerId nextId_ = 1;
  std::map<TimerId, Timer> timers_;
};

}  // namespace quillmoss::tracker::testing
