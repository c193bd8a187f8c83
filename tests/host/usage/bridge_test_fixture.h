// A usage bridge in a temporary folder, on queues drained by hand and scripted doubles.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "daily_data/day_document.h"
#include "engine/plugin_registrar.h"
#include "engine/recording_messenger.h"
#include "platform/bundle.h"
#include "platform/process_runner.h"
#include "support/temp_dir.h"
#include "usage/usage_tracker_bridge.h"

namespace quillmoss::testing {

// Holds posted tasks until the test runs them.
class ManualQueue : public host::TaskQueue {
 public:
  void async(Task task) override { tasks_.push_back(std::move(task)); }
  std::size_t pending() const { return tasks_.size(); }
  // Runs the tasks posted so far (and those they post), oldest first.
  void drain() {
    while (!tasks_.empty()) runFront();
  }
  void runFront() { run(tasks_.begin()); }
  void runBack() { run(std::prev(tasks_.end())); }

 private:
  void run(std::deque<Task>::iterator at) {
    Task task = std::move(*at);
    tasks_.erase(at);
    task();
  }
  std::deque<Task> tasks_;
};

// Answers each command from a script, by its arguments; records every call.
class FakeProcessRunner : public host::ProcessRunner {
 public:
  std::optional<std::string> run(const std::vector<std::string>& args) override {
    calls.push_back(args);
    auto found = outputs.find(args);
    return found != outputs.end() ? found->second : std::string();
  }
  std::map<std::vector<std::string>, std::optional<std::string>> outputs;
  std::vector<std::vector<std::string>> calls;
};

class FakeBundle : public host::Bundle {
 public:
  std::optional<std::filesystem::path> auxiliaryExecutable(const std::string& name) override {
    return name == "QuillmossTracker" ? daemon : std::nullopt;
  }
  std::optional<std::filesystem::path> resource(const std::string& name,
                                                const std::string& extension) override {
    const bool agent = name == "com.velbrook.quillmoss.tracker" && extension == "plist";
    return agent ? agentTemplate : std::nullopt;
  }
  std::optional<std::filesystem::path> daemon;
  std::optional<std::filesystem::path> agentTemplate;
};

class BridgeTest : public ::testing::Test {
 public:
  BridgeTest() { rebuild(); }

  // A new bridge on the current paths and services.
  void rebuild(std::shared_ptr<host::AppCatalog> catalog = nullptr) {
    registrar.reset();  // Its going would take the new bridge's channel off the messenger.
    registrar = std::make_unique<engine::PluginRegistrar>(&messenger);
    host::UsageTrackerBridge::registerWith(
        registrar.get(), {&mainQueue, &background, runner, bundle, std::move(catalog), paths,
                          [this] { return now; }, parsers});
  }
  // The call's id in messenger.replies.
  int call(const std::string& method, engine::EncodableValue arguments = {}) {
    return messenger.call(host::UsageTrackerBridge::kChannelName, method, std::move(arguments));
  }
  // Runs both queues until nothing is left; the one reply, decoded.
  engine::MethodReply callAndSettle(const std::string& method,
                                    engine::EncodableValue arguments = {}) {
    const int id = call(method, std::move(arguments));
    while (background.pending() > 0 || mainQueue.pending() > 0) {
      background.drain();
      mainQueue.drain();
    }
    EXPECT_EQ(messenger.replies[id].size(), 1u);
    return messenger.reply(id).value_or(engine::MethodReply{});
  }

  RecordingMessenger messenger;
  std::shared_ptr<daily::ParserPool> parsers = std::make_shared<daily::ParserPool>();
  TempDir temp;
  host::UsageTrackerPaths paths{.appSupportDir = temp.path() / "support",
                                .dataDir = temp.path() / "support" / "usage",
                                .daemonDest = temp.path() / "support" / "QuillmossTracker",
                                .agentDir = temp.path() / "home" / "Library/LaunchAgents"};
  std::filesystem::path agentFile = paths.agentDir / "com.velbrook.quillmoss.tracker.plist";
  ManualQueue mainQueue;
  ManualQueue background;
  std::shared_ptr<FakeProcessRunner> runner = std::make_shared<FakeProcessRunner>();
  std::shared_ptr<FakeBundle> bundle = std::make_shared<FakeBundle>();
  double now = 1765000000.0;  // 2025-12-06 around 05:46 UTC
  std::unique_ptr<engine::PluginRegistrar> registrar;
};

}  // namespace quillmoss::testing
