// A bridge in a temporary folder on test doubles: queues drained by hand, a scripted process
// runner, a bundle, and results that record their answers.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/method_call.h"
#include "platform/bundle.h"
#include "platform/process_runner.h"
#include "support/temp_dir.h"
#include "usage/usage_tracker_bridge.h"

namespace quillmoss::testing {

// Holds posted tasks until the test runs them; knows whether one of them is running.
class ManualQueue : public host::TaskQueue {
 public:
  void async(Task task) override { tasks_.push_back(std::move(task)); }
  std::size_t pending() const { return tasks_.size(); }
  bool running() const { return running_; }
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
    running_ = true;
    task();
    running_ = false;
  }
  std::deque<Task> tasks_;
  bool running_ = false;
};

struct RecordedReply {
  enum class Kind { None, Success, Error, NotImplemented };
  Kind kind = Kind::None;
  engine::EncodableValue value;
  std::string code;
  std::string message;
  int answers = 0;
  bool onMainQueue = false;
};

class RecordingResult : public engine::MethodResult {
 public:
  RecordingResult(std::shared_ptr<RecordedReply> reply, const ManualQueue& mainQueue)
      : reply_(std::move(reply)), mainQueue_(mainQueue) {}

 protected:
  void successInternal(const engine::EncodableValue& value) override {
    note(RecordedReply::Kind::Success).value = value;
  }
  void errorInternal(const std::string& code, const std::string& message,
                     const engine::EncodableValue& details) override {
    note(RecordedReply::Kind::Error).value = details;
    reply_->code = code;
    reply_->message = message;
  }
  void notImplementedInternal() override { note(RecordedReply::Kind::NotImplemented); }

 private:
  RecordedReply& note(RecordedReply::Kind kind) {
    reply_->kind = kind;
    ++reply_->answers;
    reply_->onMainQueue = mainQueue_.running();
    return *reply_;
  }
  std::shared_ptr<RecordedReply> reply_;
  const ManualQueue& mainQueue_;
};

// Answers each command from a script keyed by the joined arguments; records every call.
class FakeProcessRunner : public host::ProcessRunner {
 public:
  std::optional<std::string> run(const std::vector<std::string>& args) override {
    calls.push_back(args);
    std::string joined;
    for (const auto& a : args) joined += (joined.empty() ? "" : " ") + a;
    auto found = outputs.find(joined);
    return found != outputs.end() ? found->second : std::string();
  }
  std::map<std::string, std::optional<std::string>> outputs;
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
    bridge = std::make_unique<host::UsageTrackerBridge>(
        host::UsageTrackerServices{&mainQueue, &background, runner, bundle, std::move(catalog),
                                   paths, [this] { return now; }});
  }

  std::shared_ptr<RecordedReply> call(const std::string& method,
                                      engine::EncodableValue arguments = {}) {
    auto reply = std::make_shared<RecordedReply>();
    bridge->handleMethodCall(engine::MethodCall(method, std::move(arguments)),
                             std::make_unique<RecordingResult>(reply, mainQueue));
    return reply;
  }
  // Runs both queues until nothing is left.
  std::shared_ptr<RecordedReply> callAndSettle(const std::string& method,
                                               engine::EncodableValue arguments = {}) {
    auto reply = call(method, std::move(arguments));
    while (background.pending() > 0 || mainQueue.pending() > 0) {
      background.drain();
      mainQueue.drain();
    }
    return reply;
  }

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
  std::unique_ptr<host::UsageTrackerBridge> bridge;
};

}  // namespace quillmoss::testing
