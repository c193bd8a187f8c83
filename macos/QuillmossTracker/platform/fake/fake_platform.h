// Deterministic stand-ins for the tracker's platform: a settable clock, idle time, a
// workspace whose activations the test fires, scripted browser answers, browsers that answer
// when the test says, and a run loop on virtual time that plays a whole day in milliseconds.
#pragma once

#include <cmath>
#include <cstdio>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "core/event_loop.h"
#include "core/fake/fake_event_loop.h"
#include "platform/clock.h"
#include "platform/frontmost_app.h"
#include "platform/idle.h"
#include "platform/scripting.h"
#include "platform/tab_addresses.h"

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
  // Awake time is the wall clock's, less time asleep and less every setting of the clock.
  double awakeSeconds() override { return wall - suspended - setBy; }
  // Sets the wall clock forward (or back) with no time passing.
  void setWallClockBy(double seconds) {
    wall += seconds;
    setBy += seconds;
  }
  double setBy = 0.0;
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

// Browsers that answer later: each question waits until the test answers it, oldest first.
class FakeTabAddresses : public TabAddresses {
 public:
  std::set<std::string> browsers;
  std::deque<std::pair<std::string, Done>> asked;

  bool isBrowser(const std::string& bundleId) override { return browsers.contains(bundleId); }
  void ask(const std::string& bundleId, Done done) override {
    asked.emplace_back(bundleId, std::move(done));
  }
  // Answers the oldest question; returns the browser it was put to.
  std::string answer(TabAnswer answer) {
    auto [bundleId, done] = std::move(asked.front());
    asked.pop_front();
    done(answer);
    return bundleId;
  }
};

// Virtual time in step with a FakeClock: advancing the loop moves the wall clock by the same
// amount.
class FakeRunLoop : public quillmoss::testing::FakeEventLoop {
 public:
  explicit FakeRunLoop(FakeClock& clock) : clock_(clock) {}

  // The machine sleeps: wall and suspension clocks move and nothing fires until wake-up.
  void suspend(double seconds) {
    jump(seconds);
    clock_.suspended += seconds;
    advance(0.0);
  }

 protected:
  void timeMoved(double seconds) override { clock_.wall += seconds; }

 private:
  FakeClock& clock_;
};

// The whole fake platform, for a tracker state built on it.
struct FakePlatform {
  FakeClock clock;
  FakeIdle idle;
  FakeWorkspace workspace;
  FakeScriptRunner scripts;
  FakeRunLoop loop{clock};
  FakeTabAddresses tabs;
};

}  // namespace quillmoss::tracker::testing
