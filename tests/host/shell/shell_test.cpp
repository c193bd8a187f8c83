// The shell: launch order, the main window's set-up, plug-in registration and lifetime rules.
#include <gtest/gtest.h>

#include "host_test_doubles.h"

namespace quillmoss::testing {
namespace {

using host::ActivationPolicy;

using ShellTest = ShellFixture;

TEST_F(ShellTest, PluginsThenBothBridgesThenTheBaseLaunchStep) {
  // The generated plug-ins (stand-ins: "not implemented"), both bridges, then the base step.
  std::vector<std::string> channels;
  messenger.onHandlerSet = [&](const std::string& channel) {
    auto* delegate = dynamic_cast<host::FlutterAppDelegate*>(application.delegate());
    EXPECT_TRUE(delegate && !delegate->hasFinishedLaunching()) << channel;
    channels.push_back(channel);
  };
  launch();
  ASSERT_GE(channels.size(), 2u);
  EXPECT_EQ(messenger.reply(messenger.call("GeolocatorPlugin", "getPosition"))->kind,
            engine::MethodReply::Kind::kNotImplemented);
  EXPECT_EQ(channels.end()[-2], "com.velbrook.quillmoss/menu_bar");
  EXPECT_EQ(channels.back(), "com.velbrook.quillmoss/usage_tracker");
  EXPECT_TRUE(interface.delegate->hasFinishedLaunching());

  // The one main window keeps the interface file's frame and is kept when closed.
  ASSERT_EQ(application.windows(), std::vector<host::Window*>{interface.window});
  EXPECT_EQ(interface.window->frame(), host::kMainWindowFrame);
  EXPECT_FALSE(interface.window->isReleasedWhenClosed());
  EXPECT_TRUE(interface.window->isVisible());
}

TEST_F(ShellTest, ClosingTheLastWindowWithoutATimerQuits) {
  launch();
  // A window released on close leaves the list; the main window is still there.
  auto& other = application.addWindow(std::make_unique<appkit_model::ModelWindow>(
      host::Rect{0, 0, 10, 10}, 0, appkit_model::BackingStoreType::buffered, false));
  other.orderFront();
  application.userClosedWindow(other);
  EXPECT_EQ(application.windows().size(), 1u);
  EXPECT_FALSE(application.isTerminated());
  application.userClosedWindow(*interface.window);
  EXPECT_TRUE(application.isTerminated());
  EXPECT_EQ(loop.quitStatus, 0);
}

TEST_F(ShellTest, ClosingWhileTheTimerRunsKeepsAMenuBarOnlyApplicationUntilItStops) {
  launch();
  menuBar("startTimer");
  auto* controller = interface.window->contentViewController();
  application.userClosedWindow(*interface.window);
  EXPECT_FALSE(application.isTerminated());
  EXPECT_EQ(application.activationPolicy(), ActivationPolicy::accessory);
  EXPECT_FALSE(interface.window->isVisible());
  EXPECT_EQ(statusBar.items().size(), 1u);

  // Reopen: regular again, the same window with the same engine, and no activation.
  EXPECT_TRUE(application.userReopened());
  EXPECT_EQ(application.activationPolicy(), ActivationPolicy::regular);
  EXPECT_TRUE(interface.window->isVisible());
  EXPECT_EQ(interface.window->contentViewController(), controller);
  EXPECT_EQ(application.activationCount(), 0);

  application.userClosedWindow(*interface.window);
  menuBar("startTimer");  // a restart in this state keeps the application
  loop.runPending();
  EXPECT_FALSE(application.isTerminated());
  // The stop leaves the item at once and quits through the main queue.
  menuBar("stopTimer");
  EXPECT_TRUE(statusBar.items().empty());
  EXPECT_FALSE(application.isTerminated());
  loop.runPending();
  EXPECT_TRUE(application.isTerminated());
}

TEST_F(ShellTest, ReopenShowsNothingMoreWithAVisibleWindowAndTurnsRegularWithout) {
  launch();
  application.setActivationPolicy(ActivationPolicy::accessory);
  EXPECT_TRUE(application.userReopened());
  EXPECT_EQ(application.activationPolicy(), ActivationPolicy::accessory);
  EXPECT_EQ(interface.window->makeKeyAndOrderFrontCount(), 0);

  appkit_model::ModelApplication bare(loop, ActivationPolicy::accessory);
  EXPECT_TRUE(interface.delegate->applicationShouldHandleReopen(bare, false));
  EXPECT_EQ(bare.activationPolicy(), ActivationPolicy::regular);
}

}  // namespace
}  // namespace quillmoss::testing
