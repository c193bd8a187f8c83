// The shell: launch order, the main window's set-up, plug-in registration and lifetime rules,
// on the in-process application model with a recording messenger.
#include <gtest/gtest.h>

#include "host_test_doubles.h"
#include "platform/appkit_model/model_status_bar.h"
#include "shell/application_main.h"
#include "shell/generated_plugin_registrant.h"
#include "shell/stand_in_plugins.h"

namespace quillmoss::testing {
namespace {

using host::MenuBarBridge;

const std::vector<std::string> kPluginKeys = {"AppLinksMacosPlugin",
                                              "DeviceInfoPlusMacosPlugin",
                                              "FileSelectorPlugin",
                                              "FlutterLocalNotificationsPlugin",
                                              "FlutterSecureStorageDarwinPlugin",
                                              "GeolocatorPlugin",
                                              "FPPPackageInfoPlusPlugin",
                                              "SentryFlutterPlugin",
                                              "SharedPreferencesPlugin",
                                              "UrlLauncherPlugin"};

class RecordingRegistry : public engine::PluginRegistry {
 public:
  explicit RecordingRegistry(engine::BinaryMessenger* messenger) : registry_(messenger) {}
  engine::PluginRegistrar* registrarForPlugin(const std::string& key) override {
    keys.push_back(key);
    return registry_.registrarForPlugin(key);
  }
  std::vector<std::string> keys;

 private:
  engine::EngineRegistry registry_;
};

TEST(RegisterGeneratedPlugins, AsksForTheTenKeysInOrderAndEachPluginAttachesItself) {
  RecordingMessenger messenger;
  RecordingRegistry registry(&messenger);
  host::RegisterGeneratedPlugins(&registry);
  EXPECT_EQ(registry.keys, kPluginKeys);
  EXPECT_EQ(messenger.channels, kPluginKeys);
  // A stand-in does nothing more: every call is not implemented.
  auto reply = messenger.send("GeolocatorPlugin", engine::MethodCall("getPosition", {}));
  ASSERT_TRUE(reply.has_value());
  EXPECT_TRUE(reply->empty());
}

TEST(RegisterGeneratedPlugins, SelectorRegistrationFindsOnlyWhatTheClassAnswersTo) {
  RecordingMessenger messenger;
  engine::EngineRegistry registry(&messenger);
  EXPECT_FALSE(host::performClassSelector(host::GeolocatorPlugin::pluginClass(), "register:",
                                          registry.registrarForPlugin("GeolocatorPlugin")));
  EXPECT_TRUE(messenger.channels.empty());
  EXPECT_TRUE(host::performClassSelector(host::FPPPackageInfoPlusPlugin::pluginClass(),
                                         host::kRegisterWithRegistrarSelector,
                                         registry.registrarForPlugin("FPPPackageInfoPlusPlugin")));
  EXPECT_EQ(messenger.channels, std::vector<std::string>{"FPPPackageInfoPlusPlugin"});
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override { MenuBarBridge::timerRunning = false; }
  host::ShellEnvironment environment() {
    host::UsageTrackerServices usage;
    usage.mainQueue = &loop;
    usage.backgroundQueue = &loop;
    return host::ShellEnvironment{
        &application, host::FlutterProject{&messenger},
        host::BridgeServices{MenuBarBridge::Services{loop, statusBar, application, clock}, usage}};
  }
  void TearDown() override { MenuBarBridge::timerRunning = false; }

  void launch() { interface = host::launchApplication(environment()); }
  void menuBar(const std::string& method) {
    auto reply = messenger.send(host::kMenuBarChannel, engine::MethodCall(method, {}));
    ASSERT_TRUE(reply.has_value());
    loop.runPending();
  }

  FakeClock clock{1'700'000'000.0};
  FakeMainLoop loop{clock};
  RecordingMessenger messenger;
  appkit_model::ModelStatusBar statusBar;
  appkit_model::ModelApplication application{loop};
  host::MainInterface interface;
};

TEST_F(ShellTest, PluginsThenBothBridgesThenTheBaseLaunchStep) {
  std::vector<bool> baseDoneWhenAttached;
  messenger.onHandlerSet = [&](const std::string&) {
    baseDoneWhenAttached.push_back(
        interface.delegate == nullptr ? false : interface.delegate->hasFinishedLaunching());
  };
  launch();
  std::vector<std::string> expected = kPluginKeys;
  expected.push_back("com.velbrook.quillmoss/menu_bar");
  expected.push_back("com.velbrook.quillmoss/usage_tracker");
  EXPECT_EQ(messenger.channels, expected);
  EXPECT_EQ(baseDoneWhenAttached, std::vector<bool>(12, false));
  EXPECT_TRUE(interface.delegate->hasFinishedLaunching());

  auto* controller =
      dynamic_cast<host::FlutterViewController*>(interface.window->contentViewController());
  ASSERT_NE(controller, nullptr);
  EXPECT_TRUE(controller->registry().hasRegistrar("MenuBarBridge"));
  EXPECT_TRUE(controller->registry().hasRegistrar("UsageTrackerBridge"));
}

TEST_F(ShellTest, MainWindowKeepsTheInterfaceFrameAndSurvivesClosing) {
  launch();
  ASSERT_EQ(application.windows().size(), 1u);
  host::Window* window = application.windows().front();
  EXPECT_EQ(window, interface.window);
  EXPECT_EQ(window->className(), "MainFlutterWindow");
  EXPECT_NE(host::FlutterViewController::kPreferredContentFrame, host::kMainWindowFrame);
  EXPECT_EQ(window->frame(), host::kMainWindowFrame);
  EXPECT_EQ(interface.window->displayCount(), 1);
  EXPECT_FALSE(window->isReleasedWhenClosed());
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(interface.window->styleMask(), host::kMainWindowStyle);
  EXPECT_TRUE(interface.delegate->applicationSupportsSecureRestorableState(application));
}

TEST_F(ShellTest, ClosingTheLastWindowWithoutATimerQuits) {
  launch();
  application.userClosedWindow(*interface.window);
  EXPECT_TRUE(application.isTerminated());
  EXPECT_EQ(loop.quitStatus(), 0);
}

TEST_F(ShellTest, ClosingWhileTheTimerRunsKeepsAMenuBarOnlyApplication) {
  launch();
  menuBar("startTimer");
  auto* controller = interface.window->contentViewController();
  application.userClosedWindow(*interface.window);
  EXPECT_FALSE(application.isTerminated());
  EXPECT_EQ(application.activationPolicy(), host::ActivationPolicy::accessory);
  ASSERT_EQ(application.windows().size(), 1u);
  EXPECT_EQ(application.windows().front(), interface.window);
  EXPECT_FALSE(interface.window->isVisible());
  EXPECT_EQ(statusBar.items().size(), 1u);

  // Reopen: regular again, the same window with the same engine, and no activation.
  EXPECT_TRUE(application.userReopened());
  EXPECT_EQ(application.activationPolicy(), host::ActivationPolicy::regular);
  EXPECT_TRUE(interface.window->isVisible());
  EXPECT_EQ(interface.window->contentViewController(), controller);
  EXPECT_EQ(interface.window->makeKeyAndOrderFrontCount(), 1);
  EXPECT_EQ(application.activationCount(), 0);
}

TEST_F(ShellTest, StoppingTheTimerWhileTheWindowIsClosedQuits) {
  launch();
  menuBar("startTimer");
  application.userClosedWindow(*interface.window);
  menuBar("startTimer");  // a restart in this state keeps the application
  EXPECT_FALSE(application.isTerminated());
  menuBar("stopTimer");
  EXPECT_TRUE(application.isTerminated());
}

TEST_F(ShellTest, ClickOnTheItemBringsTheClosedWindowBack) {
  launch();
  menuBar("startTimer");
  application.userClosedWindow(*interface.window);
  statusBar.items().front()->modelButton().click();
  EXPECT_EQ(application.activationPolicy(), host::ActivationPolicy::regular);
  EXPECT_TRUE(interface.window->isVisible());
  EXPECT_EQ(application.activationCount(), 1);
}

TEST_F(ShellTest, ReopenWithAVisibleWindowChangesNothing) {
  launch();
  application.setActivationPolicy(host::ActivationPolicy::accessory);
  EXPECT_TRUE(application.userReopened());
  EXPECT_EQ(application.activationPolicy(), host::ActivationPolicy::accessory);
  EXPECT_EQ(interface.window->makeKeyAndOrderFrontCount(), 0);
}

TEST_F(ShellTest, ReopenWithoutAMainWindowStillTurnsRegular) {
  host::AppDelegate delegate(environment().bridges);
  appkit_model::ModelApplication bare(loop, host::ActivationPolicy::accessory);
  EXPECT_TRUE(delegate.applicationShouldHandleReopen(bare, false));
  EXPECT_EQ(bare.activationPolicy(), host::ActivationPolicy::regular);
}

TEST_F(ShellTest, WindowsReleasedOnCloseLeaveTheList) {
  launch();
  auto& other = application.addWindow(std::make_unique<appkit_model::ModelWindow>(
      host::Rect{0, 0, 10, 10}, 0, appkit_model::BackingStoreType::buffered, false));
  other.orderFront();
  application.userClosedWindow(other);
  EXPECT_EQ(application.windows().size(), 1u);
  EXPECT_FALSE(application.isTerminated());
}

TEST_F(ShellTest, ApplicationMainRunsUntilTerminated) {
  loop.async([this] { application.terminate(); });
  EXPECT_EQ(host::applicationMain(environment()), 0);
  EXPECT_TRUE(application.isTerminated());
}

TEST_F(ShellTest, LaunchWithoutTheEngineControllerIsFatal) {
  host::AppDelegate delegate(environment().bridges);
  EXPECT_DEATH(delegate.applicationDidFinishLaunching(application), "");
}

}  // namespace
}  // namespace quillmoss::testing
