// A main loop and clock driven by hand, and the shell launched on them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/event_loop.h"
#include "core/fake/fake_event_loop.h"
#include "engine/recording_messenger.h"
#include "platform/linux/app_model/model_status_bar.h"
#include "platform/wall_clock.h"
#include "shell/application_main.h"

namespace quillmoss::testing {

// The main loop and wall clock driven by hand.
class FakeMainLoop : public FakeEventLoop, public host::WallClock {
 public:
  double now() const override { return time; }
};

// The shell on the in-process application model; launch() loads the interface.
class ShellFixture : public ::testing::Test {
 protected:
  void launch() {
    host::UsageTrackerServices usage;
    usage.mainQueue = usage.backgroundQueue = &mainQueue;
    interface = host::launchApplication(
        {&application, host::FlutterProject{&messenger},
         host::BridgeServices{{loop, statusBar, application, loop, timerRunning}, usage}});
  }
  // A menu bar call; every known method answers success with null at once.
  void menuBar(const std::string& method, engine::EncodableValue arguments = {}) {
    const int id = messenger.call(host::kMenuBarChannel, method, std::move(arguments));
    EXPECT_EQ(messenger.replies[id],
              std::vector<RecordingMessenger::Bytes>{engine::encodeSuccessEnvelope({})});
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
