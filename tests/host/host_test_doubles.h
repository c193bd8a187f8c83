// Test doubles for the host's platform: a main loop and clock driven by hand, a method result
// that records its answer, and a messenger that records and calls channel handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/binary_messenger.h"
#include "engine/method_result.h"
#include "engine/standard_method_codec.h"
#include "platform/main_loop.h"
#include "platform/wall_clock.h"

namespace quillmoss::testing {

class FakeClock : public host::WallClock {
 public:
  explicit FakeClock(double start) : now_(start) {}
  double now() const override { return now_; }
  void set(double now) { now_ = now; }

 private:
  double now_;
};

// Posted tasks run only in runPending(); timers fire only as advance() moves the clock.
class FakeMainLoop : public host::MainLoop {
 public:
  explicit FakeMainLoop(FakeClock& clock) : clock_(clock) {}

  void async(Task task) override { tasks_.push_back(std::move(task)); }
  TimerId scheduleRepeating(double period, Callback callback) override {
    const TimerId id = nextId_++;
    timers_[id] = Timer{period, clock_.now() + period, std::move(callback)};
    return id;
  }
  void cancel(TimerId id) override { timers_.erase(id); }
  void watchReadable(int, Callback) override {}
  void unwatch(int) override {}
  // Runs posted work until quit() or until nothing is left.
  int run() override {
    runPending();
    return quitStatus_.value_or(-1);
  }
  void quit(int status) override { quitStatus_ = status; }

  // Runs posted tasks, and those they post, until none is left.
  void runPending() {
    while (!tasks_.empty()) {
      Task task = std::move(tasks_.front());
      tasks_.erase(tasks_.begin());
      task();
    }
  }
  // Moves the clock forward, firing each timer at its deadlines in order, posted work after each.
  void advance(double seconds) {
    const double end = clock_.now() + seconds;
    for (;;) {
      auto next = timers_.end();
      for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.deadline <= end &&
            (next == timers_.end() || it->second.deadline < next->second.deadline)) {
          next = it;
        }
      }
      if (next == timers_.end()) break;
      clock_.set(next->second.deadline);
      next->second.deadline += next->second.period;
      Callback callback = next->second.callback;
      callback();
      runPending();
    }
    clock_.set(end);
    runPending();
  }

  std::size_t pendingTasks() const { return tasks_.size(); }
  std::size_t timerCount() const { return timers_.size(); }
  std::optional<double> timerPeriod() const {
    if (timers_.size() != 1) return std::nullopt;
    return timers_.begin()->second.period;
  }
  std::optional<int> quitStatus() const { return quitStatus_; }

 private:
  struct Timer {
    double period;
    double deadline;
    Callback callback;
  };
  FakeClock& clock_;
  std::vector<Task> tasks_;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;
  std::optional<int> quitStatus_;
};

struct RecordedReply {
  enum class Kind { none, success, error, notImplemented } kind = Kind::none;
  engine::EncodableValue value;
  std::string code;
};

class RecordingResult : public engine::MethodResult {
 public:
  explicit RecordingResult(std::shared_ptr<RecordedReply> reply) : reply_(std::move(reply)) {}

 protected:
  void successInternal(const engine::EncodableValue& value) override {
    reply_->kind = RecordedReply::Kind::success;
    reply_->value = value;
  }
  void errorInternal(const std::string& code, const std::string&,
                     const engine::EncodableValue&) override {
    reply_->kind = RecordedReply::Kind::error;
    reply_->code = code;
  }
  void notImplementedInternal() override { reply_->kind = RecordedReply::Kind::notImplemented; }

 private:
  std::shared_ptr<RecordedReply> reply_;
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

  // Encodes the call, hands it to the channel's handler and returns the reply bytes
  // (nullopt when the reply has not come yet, or the channel has no handler).
  std::optional<std::vector<std::uint8_t>> send(const std::string& channel,
                                                const engine::MethodCall& call) {
    auto handler = handlers_.find(channel);
    if (handler == handlers_.end() || !handler->second) return std::nullopt;
    const std::vector<std::uint8_t> message = engine::encodeMethodCall(call);
    auto reply = std::make_shared<std::optional<std::vector<std::uint8_t>>>();
    handler->second(message.data(), message.size(),
                    [reply](const std::uint8_t* bytes, std::size_t size) {
                      *reply = std::vector<std::uint8_t>(bytes, bytes + size);
                    });
    return *reply;
  }

  std::vector<std::string> channels;
  std::function<void(const std::string&)> onHandlerSet;

 private:
  std::map<std::string, engine::BinaryMessageHandler> handlers_;
};

}  // namespace quillmoss::testing
