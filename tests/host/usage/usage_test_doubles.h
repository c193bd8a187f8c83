// Test doubles for the usage channel: queues drained by hand, a scripted process runner,
// a bundle in a temporary folder, and a result that records its one answer.
#pragma once

#include "support/temp_dir.h"

#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/method_result.h"
#include "platform/app_catalog.h"
#include "platform/bundle.h"
#include "platform/process_runner.h"
#include "platform/task_queue.h"

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
  engine::EncodableValue details;
  int answers = 0;
  bool onMainQueue = false;
};

class RecordingResult : public engine::MethodResult {
 public:
  RecordingResult(std::shared_ptr<RecordedReply> reply, const ManualQueue* mainQueue)
      : reply_(std::move(reply)), mainQueue_(mainQueue) {}

 protected:
  void successInternal(const engine::EncodableValue& value) override {
    note(RecordedReply::Kind::Success).value = value;
  }
  void errorInternal(const std::string& code, const std::string& message,
                     const engine::EncodableValue& details) override {
    RecordedReply& reply = note(RecordedReply::Kind::Error);
    std::tie(reply.code, reply.message, reply.details) = std::tie(code, message, details);
  }
  void notImplementedInternal() override { note(RecordedReply::Kind::NotImplemented); }

 private:
  RecordedReply& note(RecordedReply::Kind kind) {
    reply_->kind = kind;
    ++reply_->answers;
    reply_->onMainQueue = mainQueue_ != nullptr && mainQueue_->running();
    return *reply_;
  }
  std::shared_ptr<RecordedReply> reply_;
  const ManualQueue* mainQueue_;
};

// Answers each command from a script keyed by the joined arguments; records every call.
class FakeProcessRunner : public host::ProcessRunner {
 public:
  std::optional<std::string> run(const std::vector<std::string>& args) override {
    calls.push_back(args);
    std::string joined;
    for (const auto& a : args) joined += (joined.empty() ? "" : " ") + a;
    if (auto found = outputs.find(joined); found != outputs.end()) return found->second;
    return std::string();
  }
  std::map<std::string, std::optional<std::string>> outputs;
  std::vector<std::vector<std::string>> calls;
};

class FakeBundle : public host::Bundle {
 public:
  std::optional<std::filesystem::path> auxiliaryExecutable(const std::string& name) override {
    if (name == "QuillmossTracker") return daemon;
    return std::nullopt;
  }
  std::optional<std::filesystem::path> resource(const std::string& name,
                                                const std::string& extension) override {
    if (name == "com.velbrook.quillmoss.tracker" && extension == "plist") return agentTemplate;
    return std::nullopt;
  }
  std::optional<std::filesystem::path> daemon;
  std::optional<std::filesystem::path> agentTemplate;
};

class FakeCatalog : public host::AppCatalog {
 public:
  std::optional<std::string> appName(const std::string& key) override {
    keys.push_back(key);
    return name;
  }
  std::optional<std::vector<std::uint8_t>> appIconPng(const std::string& key) override {
    keys.push_back(key);
    return icon;
  }
  std::optional<std::string> name;
  std::optional<std::vector<std::uint8_t>> icon;
  std::vector<std::string> keys;
};

}  // namespace quillmoss::testing
