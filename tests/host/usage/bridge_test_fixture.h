// A bridge wired to test doubles in a temporary folder, with helpers to call and settle.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "daily_data/daily_data.h"
#include "engine/method_call.h"
#include "usage/usage_tracker_bridge.h"
#include "usage_test_doubles.h"

namespace quillmoss::testing {

class BridgeTest : public ::testing::Test {
 protected:
  BridgeTest() {
    paths.appSupportDir = temp.path() / "Application Support" / "com.velbrook.quillmoss";
    paths.dataDir = paths.appSupportDir / "usage";
    paths.daemonDest = paths.appSupportDir / "QuillmossTracker";
    paths.agentDir = temp.path() / "home" / "Library/LaunchAgents";
    bridge = std::make_unique<host::UsageTrackerBridge>(services());
  }

  host::UsageTrackerServices services() {
    host::UsageTrackerServices s;
    s.mainQueue = &mainQueue;
    s.backgroundQueue = &background;
    s.processes = sharedRunner;
    s.bundle = sharedBundle;
    s.catalog = nullptr;
    s.paths = paths;
    s.now = [this] { return now; };
    return s;
  }

  std::shared_ptr<RecordedReply> call(const std::string& method,
                                      engine::EncodableValue arguments = {}) {
    auto reply = std::make_shared<RecordedReply>();
    bridge->handleMethodCall(engine::MethodCall(method, std::move(arguments)),
                             std::make_unique<RecordingResult>(reply, &mainQueue));
    return reply;
  }

  // Runs both queues until nothing is left.
  void settle() {
    while (background.pending() > 0 || mainQueue.pending() > 0) {
      background.drain();
      mainQueue.drain();
    }
  }

  std::shared_ptr<RecordedReply> callAndSettle(const std::string& method,
                                               engine::EncodableValue arguments = {}) {
    auto reply = call(method, std::move(arguments));
    settle();
    return reply;
  }

  std::filesystem::path agentFile() const {
    return paths.agentDir / "com.velbrook.quillmoss.tracker.plist";
  }

  TempDir temp;
  host::UsageTrackerPaths paths;
  ManualQueue mainQueue;
  ManualQueue background;
  std::shared_ptr<FakeProcessRunner> sharedRunner = std::make_shared<FakeProcessRunner>();
  std::shared_ptr<FakeBundle> sharedBundle = std::make_shared<FakeBundle>();
  FakeProcessRunner& runner = *sharedRunner;
  FakeBundle& bundle = *sharedBundle;
  double now = 1765000000.0;  // 2025-12-06 around 05:46 UTC
  std::unique_ptr<host::UsageTrackerBridge> bridge;
};

}  // namespace quillmoss::testing
