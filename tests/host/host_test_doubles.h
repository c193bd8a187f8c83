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

#include "core/event_loop.h"
#include "core/fake/fake_event_loop.h"
#include "engine/binary_messenger.h"
#include "engine/standard_method_codec.h"
#include "platform/linux/app_model/model_status_bar.h"
#include "platform/wall_clock.h"
#include "shell/application_main.h"

namespace quillmoss::testing {

// The main loop and wall clock driven by hand.
class FakeMainLoop : public FakeEventLoop, public host::WallClock {
 public:
  double now() const override { return time; }
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
  host::ShellEnvironment environment() {
    host::UsageTrackerServices usage;
    usage.mainQueue = &mainQueue;
    usage.backgroundQueue = &mainQueue;
    return {&application, host::FlutterProject{&messenger},
            host::BridgeServices{{loop, statusBar, application, loop, timerRunning}, usage}};
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
  host::MainQueue mainQueue{loop};
  std::shared_ptr<bool> timerRunning = std::make_shared<bool>(false);
  RecordingMessenger messenger;
  appkit_model::ModelStatusBar statusBar;
  appkit_model::ModelApplication application{loop};
  host::MainInterface interface;
};

}  // namespace quillmoss::testing
