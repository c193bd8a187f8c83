// Test doubles for the host's platform: a clock and main loop driven by hand, a messenger that
// records which channels get handlers and sends method calls to them, and a shell on them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/binary_messenger.h"
#include "engine/standard_method_codec.h"
#include "platform/appkit_model/model_status_bar.h"
#include "platform/main_loop.h"
#include "platform/wall_clock.h"
#include "shell/application_main.h"

namespace quillmoss::testing {

// A main loop and wall clock driven by hand: posted tasks run only in runPending(), timers fire
// only as advance() moves the clock.
class FakeMainLoop : public host::MainLoop, public host::WallClock {
 public:
  struct Timer {
    double period;
    double deadline;
    Callback callback;
  };

  double now() const override { return time; }
  void async(Task task) override { tasks.push_back(std::move(task)); }
  TimerId scheduleRepeating(double period, Callback callback) override {
    timers[nextId_] = Timer{period, time + period, std::move(callback)};
    return nextId_++;
  }
  void cancel(TimerId id) override { timers.erase(id); }
  void watchReadable(int, Callback) override {}
  void unwatch(int) override {}
  int run() override {
    runPending();
    return quitStatus.value_or(-1);
  }
  void quit(int status) override { quitStatus = status; }

  // Runs posted tasks, and those they post, until none is left.
  void runPending() {
    while (!tasks.empty()) {
      Task task = std::move(tasks.front());
      tasks.pop_front();
      task();
    }
  }
  // Moves the clock forward, firing each timer at its deadlines in order, posted work after each.
  void advance(double seconds) {
    const double end = time + seconds;
    for (;;) {
      auto next = std::min_element(timers.begin(), timers.end(), [](auto& a, auto& b) {
        return a.second.deadline < b.second.deadline;
      });
      if (next == timers.end() || next->second.deadline > end) break;
      time = next->second.deadline;
      next->second.deadline += next->second.period;
      Callback callback = next->second.callback;
      callback();
      runPending();
    }
    time = end;
    runPending();
  }

  double time = 1'700'000'000.0;
  std::deque<Task> tasks;
  std::map<TimerId, Timer> timers;
  std::optional<int> quitStatus;

 private:
  TimerId nextId_ = 1;
};

// Records every channel that gets a handler, in order, and sends method calls to them.
class RecordingMessenger : public engine::BinaryMessenger {
 public:
  void setMessageHandler(const std::string& channel,
                         engine::BinaryMessageHandler handler) override {
    if (handler) {
      channels.push_back(channel);
      if (onHandlerSet) onHandlerSet(channel);
    }
    handlers_[channel] = std::move(handler);
  }

  // The decoded reply; nullopt when the channel has no handler or the reply has not come.
  std::optional<engine::MethodReply> call(const std::string& channel, const std::string& method,
                                          engine::EncodableValue arguments = {}) {
    auto handler = handlers_.find(channel);
    if (handler == handlers_.end() || !handler->second) return std::nullopt;
    const auto message = engine::encodeMethodCall(engine::MethodCall(method, std::move(arguments)));
    auto reply = std::make_shared<std::optional<engine::MethodReply>>();
    handler->second(message.data(), message.size(),
                    [reply](const std::uint8_t* bytes, std::size_t size) {
                      *reply = engine::decodeMethodReply(bytes, size);
                    });
    return *reply;
  }

  std::vector<std::string> channels;
  std::function<void(const std::string&)> onHandlerSet;

 private:
  std::map<std::string, engine::BinaryMessageHandler> handlers_;
};

// The shell on the in-process application model and the doubles above; launch() loads the
// interface and finishes launching.
class ShellFixture : public ::testing::Test {
 protected:
  void SetUp() override { host::MenuBarBridge::timerRunning = false; }
  void TearDown() override { host::MenuBarBridge::timerRunning = false; }
  host::ShellEnvironment environment() {
    host::UsageTrackerServices usage;
    usage.mainQueue = &loop;
    usage.backgroundQueue = &loop;
    return {&application, host::FlutterProject{&messenger},
            host::BridgeServices{{loop, statusBar, application, loop}, usage}};
  }
  void launch() { interface = host::launchApplication(environment()); }
  // A menu bar call; every known method answers success with null at once.
  void menuBar(const std::string& method, engine::EncodableValue arguments = {}) {
    auto reply = messenger.call(host::kMenuBarChannel, method, std::move(arguments));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->kind, engine::MethodReply::Kind::kSuccess);
    EXPECT_TRUE(reply->value.isNull());
  }
  std::string shownTitle() {
    EXPECT_EQ(statusBar.items().size(), 1u);
    return statusBar.items().empty() ? "" : statusBar.items().front()->modelButton().title();
  }

  FakeMainLoop loop;
  RecordingMessenger messenger;
  appkit_model::ModelStatusBar statusBar;
  appkit_model::ModelApplication application{loop};
  host::MainInterface interface;
};

}  // namespace quillmoss::testing
