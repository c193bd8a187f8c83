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

#include "platform/clock.h"
#include "platform/idle.h"
#include "platform/run_loop.h"
#include "platform/scripting.h"
#include "platform/workspace.h"

namespace quillmoss::tracker::testing {

class FakeClock : public Clock {
 public:
  double wall = 0.0;
  long utcOffset = 0;  // seconds east of UTC in which days are counted
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

// Each script source answers what outcomes holds for it, else an error numbered -1728.
class FakeScriptRunner : public ScriptRunner {
 public:
  std::map<std::string, ScriptOutcome> outcomes;
  std::map<std::string, int> runs;

  ScriptOutcome run(const std::string& source) override {
    ++runs[source];
    const auto found = outcomes.find(source);
    return found != outcomes.end() ? found->second : error(-1728);
  }
  static ScriptOutcome url(std::string text) {
    return {true, false, std::nullopt, std::move(text)};
  }
  static ScriptOutcome error(long number) { return {true, true, number, std::nullopt}; }
};

// Virtual time in step with a FakeClock: advancing the loop moves the wall clock by the same
// amount and fires the due timers in order of their due time (then of scheduling).
class FakeRunLoop : public RunLoop {
 public:
  explicit FakeRunLoop(FakeClock& clock) : clock_(clock) {}

  TimerId scheduleRepeating(double period, Callback f) override { return add(period, period, f); }
  TimerId scheduleOnce(double delay, Callback f) override { return add(delay, 0.0, f); }
  void cancel(TimerId id) override { timers_.erase(id); }
  void watchReadable(int, Callback) override {}
  void unwatch(int) override {}
  void onTerminationSignal(std::function<void(int)> handler) override {
    signalHandler_ = std::move(handler);
  }
  int run() override { return quitStatus.value_or(0); }
  void quit(int status) override {
    if (!quitStatus) quitStatus = status;
  }

  // Moves time forward by seconds, firing every timer that falls due on the way. A repeating
  // timer fires once for all the periods it missed, and keeps its phase.
  void advance(double seconds) {
    const double end = time_ + seconds;
    while (!quitStatus) {
      auto next = timers_.end();
      for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (next == timers_.end() || it->second.due < next->second.due) next = it;
      }
      if (next == timers_.end() || next->second.due > end) break;
      moveTo(next->second.due);
      Callback callback = next->second.callback;
      if (next->second.period > 0.0) {
        while (next->second.due <= time_) next->second.due += next->second.period;
      } else {
        timers_.erase(next);
      }
      callback();
    }
    moveTo(end);
  }
  // The machine sleeps: wall and suspension clocks move and nothing fires until wake-up.
  void suspend(double seconds) {
    time_ += seconds;
    clock_.wall += seconds;
    clock_.suspended += seconds;
    advance(0.0);
  }
  void raise(int signal) {
    if (signalHandler_) signalHandler_(signal);
  }

  std::optional<int> quitStatus;

 private:
  struct Timer {
    double due;
    double period;
    Callback callback;
  };
  TimerId add(double delay, double period, Callback callback) {
    timers_.emplace(nextId_, Timer{time_ + delay, period, std::move(callback)});
    return nextId_++;
  }
  void moveTo(double time) {
    if (time > time_) {
      clock_.wall += time - time_;
      time_ = time;
    }
  }

  FakeClock& clock_;
  double time_ = 0.0;
  TimerId nextId_ = 1;
  std::map<TimerId, Timer> timers_;
  std::function<void(int)> signalHandler_;
};

}  // namespace quillmoss::tracker::testing
