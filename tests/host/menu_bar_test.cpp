// The menu bar ticker: title, status item, timer, click and the quit rule, on doubles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host_test_doubles.h"
#include "menu_bar/menu_bar_bridge.h"
#include "menu_bar/menu_bar_title.h"
#include "platform/appkit_model/model_application.h"
#include "platform/appkit_model/model_status_bar.h"

namespace quillmoss::testing {
namespace {

using engine::EncodableMap;
using engine::EncodableValue;
using host::MenuBarBridge;
using host::menuBarTitle;

const std::string kStopwatch = "\u23F1 ";
const std::string kBusts = "  \U0001F465 ";

std::string title(const std::string& time, const std::string& count) {
  return kStopwatch + time + kBusts + count;
}

TEST(MenuBarTitle, ShowsMinutesBelowAnHourAndHoursFromAnHourOn) {
  const double now = 1'700'000'000.0;
  EXPECT_EQ(menuBarTitle(now, now, 1), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, now - 307, 3), title("05:07", "3"));
  EXPECT_EQ(menuBarTitle(now, now - 59.9, 1), title("00:59", "1"));
  EXPECT_EQ(menuBarTitle(now, now - 3599, 1), title("59:59", "1"));
  EXPECT_EQ(menuBarTitle(now, now - 3600, 1), title("1:00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, now - 3661, 1), title("1:01:01", "1"));
  EXPECT_EQ(menuBarTitle(now, now - 36000, 1), title("10:00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, now - 360000, 1), title("100:00:00", "1"));
}

TEST(MenuBarTitle, NeverShowsANegativeOrBrokenTime) {
  const double now = 1'700'000'000.0;
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(menuBarTitle(now, now + 30, 1), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, std::nan(""), 1), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, inf, 1), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, -inf, 1), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, -1e300, 1), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, 1e300, 1), title("00:00", "1"));
  // The largest elapsed time that fits still shows, with its hours in full.
  EXPECT_EQ(host::elapsedWholeSeconds(0, -9223372036854774784.0), 9223372036854774784);
  EXPECT_EQ(host::elapsedWholeSeconds(0, -9223372036854775808.0), 0);
  EXPECT_EQ(menuBarTitle(0, -9223372036854774784.0, 1), title("2562047788015215:13:04", "1"));
}

TEST(MenuBarTitle, CountsBelowOneShowAsOne) {
  const double now = 100.0;
  EXPECT_EQ(menuBarTitle(now, now, 0), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, now, -7), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, now, std::numeric_limits<std::int64_t>::min()), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(now, now, 2), title("00:00", "2"));
  EXPECT_EQ(menuBarTitle(now, now, 12), title("00:00", "12"));
  EXPECT_EQ(menuBarTitle(now, now, 1234567), title("00:00", "1234567"));
}

class MainWindowDouble : public appkit_model::ModelWindow {
 public:
  MainWindowDouble()
      : ModelWindow({0, 0, 800, 600}, 15, appkit_model::BackingStoreType::buffered, false) {}
  std::string className() const override { return "MainFlutterWindow"; }
};

class MenuBarBridgeTest : public ::testing::Test {
 protected:
  static constexpr double kStart = 1'700'000'000.0;

  void SetUp() override {
    MenuBarBridge::timerRunning = false;
    // Another window first, so the bridge must look for the main window by its class.
    auto other = std::make_unique<appkit_model::ModelWindow>(
        host::Rect{0, 0, 10, 10}, 0, appkit_model::BackingStoreType::buffered, false);
    other->orderFront();
    application.addWindow(std::move(other));
    auto main = std::make_unique<MainWindowDouble>();
    mainWindow = main.get();
    mainWindow->setReleasedWhenClosed(false);
    mainWindow->orderFront();
    application.addWindow(std::move(main));
    bridge = std::make_unique<MenuBarBridge>(
        MenuBarBridge::Services{loop, statusBar, application, clock});
  }
  void TearDown() override { MenuBarBridge::timerRunning = false; }

  RecordedReply::Kind call(const std::string& method, EncodableValue arguments = {}) {
    auto reply = std::make_shared<RecordedReply>();
    bridge->handleMethodCall(engine::MethodCall(method, std::move(arguments)),
                             std::make_unique<RecordingResult>(reply));
    EXPECT_TRUE(reply->kind == RecordedReply::Kind::notImplemented || reply->value.isNull());
    return reply->kind;
  }
  void start(EncodableMap arguments = {}) {
    ASSERT_EQ(call("startTimer", EncodableValue(std::move(arguments))),
              RecordedReply::Kind::success);
  }
  appkit_model::ModelStatusItem& onlyItem() {
    EXPECT_EQ(statusBar.items().size(), 1u);
    return *statusBar.items().front();
  }
  std::string shownTitle() { return onlyItem().modelButton().title(); }

  FakeClock clock{kStart};
  FakeMainLoop loop{clock};
  appkit_model::ModelStatusBar statusBar;
  appkit_model::ModelApplication application{loop};
  MainWindowDouble* mainWindow = nullptr;
  std::unique_ptr<MenuBarBridge> bridge;
};

TEST_F(MenuBarBridgeTest, StartWithoutArgumentsShowsZeroAndOneOnAVariableItem) {
  start();
  EXPECT_TRUE(MenuBarBridge::timerRunning);
  auto& item = onlyItem();
  EXPECT_EQ(item.length(), -1.0);
  ASSERT_TRUE(item.modelButton().font().has_value());
  EXPECT_EQ(*item.modelButton().font(),
            host::Font::monospacedDigitSystemFont(13.0, host::FontWeight::medium));
  // The title is set through the main queue, never inside the call.
  EXPECT_EQ(item.modelButton().titleChanges(), 0);
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
  EXPECT_EQ(loop.timerPeriod(), 1.0);
}

TEST_F(MenuBarBridgeTest, TicksEverySecondFromTheGivenStart) {
  start({{EncodableValue("startedAt"), EncodableValue(kStart - 3598.5)},
         {EncodableValue("peopleStudying"), EncodableValue(std::int32_t{3})}});
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("59:58", "3"));
  loop.advance(1.0);
  EXPECT_EQ(shownTitle(), title("59:59", "3"));
  loop.advance(1.0);
  EXPECT_EQ(shownTitle(), title("1:00:00", "3"));
  // Late firings do not add up: the time comes from the start afresh.
  clock.set(clock.now() + 100);
  loop.advance(1.0);
  EXPECT_EQ(shownTitle(), title("1:01:41", "3"));
  // The font is set once, at the start.
  EXPECT_EQ(onlyItem().modelButton().fontChanges(), 1);
}

TEST_F(MenuBarBridgeTest, ArgumentsOfEitherIntegerWidthOrWrongTypeTakeDefaults) {
  start({{EncodableValue("startedAt"), EncodableValue(std::int64_t{1'699'999'940})},
         {EncodableValue("peopleStudying"), EncodableValue(std::int64_t{5})}});
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("01:00", "5"));
  start({{EncodableValue("startedAt"), EncodableValue("yesterday")},
         {EncodableValue("peopleStudying"), EncodableValue(2.0)}});
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
  ASSERT_EQ(call("startTimer", engine::EncodableList{EncodableValue(1.0)}),
            RecordedReply::Kind::success);
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
}

TEST_F(MenuBarBridgeTest, NonFiniteStartShowsZero) {
  start({{EncodableValue("startedAt"), EncodableValue(std::nan(""))}});
  loop.advance(2.0);
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
  start({{EncodableValue("startedAt"), EncodableValue(-std::numeric_limits<double>::infinity())}});
  loop.advance(1.0);
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
  start({{EncodableValue("startedAt"), EncodableValue(kStart + 500)}});
  loop.advance(1.0);
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
}

TEST_F(MenuBarBridgeTest, UpdatePeopleShowsAtOnceAndNeverBelowOne) {
  start();
  loop.runPending();
  ASSERT_EQ(call("updatePeople", EncodableMap{{EncodableValue("peopleStudying"),
                                               EncodableValue(std::int32_t{12})}}),
            RecordedReply::Kind::success);
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("00:00", "12"));
  call("updatePeople", EncodableMap{{EncodableValue("peopleStudying"), EncodableValue(0)}});
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
  call("updatePeople",
       EncodableMap{{EncodableValue("peopleStudying"), EncodableValue(std::int64_t{-40})}});
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
}

TEST_F(MenuBarBridgeTest, UpdatePeopleWhileStoppedOnlyStoresTheCount) {
  call("updatePeople", EncodableMap{{EncodableValue("peopleStudying"), EncodableValue(4)}});
  loop.runPending();
  EXPECT_TRUE(statusBar.items().empty());
  EXPECT_FALSE(MenuBarBridge::timerRunning);
  EXPECT_EQ(bridge->peopleStudying(), 4);
  EXPECT_EQ(loop.timerCount(), 0u);
}

TEST_F(MenuBarBridgeTest, RestartWithTheWindowShownReplacesItemAndTimer) {
  start();
  auto first = statusBar.items().front();
  start({{EncodableValue("peopleStudying"), EncodableValue(2)}});
  ASSERT_EQ(statusBar.items().size(), 1u);
  EXPECT_NE(statusBar.items().front(), first);
  EXPECT_EQ(loop.timerCount(), 1u);
  loop.advance(1.0);
  // Only the new item's title changes: the old one is gone and its task finds no item.
  EXPECT_EQ(first->modelButton().titleChanges(), 0);
  EXPECT_EQ(shownTitle(), title("00:01", "2"));
  EXPECT_FALSE(application.isTerminated());
}

TEST_F(MenuBarBridgeTest, RestartWhileOnlyTheMenuBarShowsKeepsTheApplication) {
  start();
  mainWindow->close();
  start({{EncodableValue("peopleStudying"), EncodableValue(3)}});
  loop.advance(1.0);
  EXPECT_FALSE(application.isTerminated());
  EXPECT_FALSE(loop.quitStatus().has_value());
  EXPECT_TRUE(MenuBarBridge::timerRunning);
  EXPECT_EQ(shownTitle(), title("00:01", "3"));
  EXPECT_EQ(loop.timerCount(), 1u);
}

TEST_F(MenuBarBridgeTest, StopWithTheWindowShownRemovesTheItemAndGoesOn) {
  start();
  ASSERT_EQ(call("stopTimer"), RecordedReply::Kind::success);
  loop.advance(3.0);
  EXPECT_TRUE(statusBar.items().empty());
  EXPECT_EQ(loop.timerCount(), 0u);
  EXPECT_FALSE(MenuBarBridge::timerRunning);
  EXPECT_FALSE(application.isTerminated());
}

TEST_F(MenuBarBridgeTest, StopWithTheWindowHiddenQuitsThroughTheMainQueue) {
  start();
  mainWindow->close();
  call("stopTimer");
  EXPECT_TRUE(statusBar.items().empty());
  EXPECT_FALSE(application.isTerminated());
  loop.runPending();
  EXPECT_TRUE(application.isTerminated());
  EXPECT_EQ(loop.quitStatus(), 0);
}

TEST_F(MenuBarBridgeTest, StopWithoutAMainWindowQuits) {
  appkit_model::ModelApplication bare(loop);
  MenuBarBridge lone(MenuBarBridge::Services{loop, statusBar, bare, clock});
  lone.startMenuBar();
  lone.stopMenuBar();
  loop.runPending();
  EXPECT_TRUE(bare.isTerminated());
}

TEST_F(MenuBarBridgeTest, StopWhileStoppedDoesNothingEvenWithTheWindowHidden) {
  mainWindow->close();
  call("stopTimer");
  loop.runPending();
  EXPECT_FALSE(application.isTerminated());
  mainWindow->orderFront();
  start();
  call("stopTimer");
  loop.runPending();
  mainWindow->close();
  call("stopTimer");
  loop.runPending();
  EXPECT_FALSE(loop.quitStatus().has_value());
}

TEST_F(MenuBarBridgeTest, ClickBringsTheMainWindowBackAndKeepsTicking) {
  start();
  mainWindow->close();
  application.setActivationPolicy(host::ActivationPolicy::accessory);
  onlyItem().modelButton().click();
  EXPECT_EQ(application.activationPolicy(), host::ActivationPolicy::regular);
  EXPECT_EQ(application.activationCount(), 1);
  EXPECT_TRUE(application.lastActivationIgnoredOthers());
  EXPECT_TRUE(mainWindow->isVisible());
  EXPECT_EQ(mainWindow->makeKeyAndOrderFrontCount(), 1);
  EXPECT_TRUE(MenuBarBridge::timerRunning);
  loop.advance(1.0);
  EXPECT_EQ(shownTitle(), title("00:01", "1"));
}

TEST_F(MenuBarBridgeTest, UnknownMethodIsNotImplementedAndChangesNothing) {
  EXPECT_EQ(call("startTimers"), RecordedReply::Kind::notImplemented);
  EXPECT_EQ(call("StartTimer"), RecordedReply::Kind::notImplemented);
  EXPECT_TRUE(statusBar.items().empty());
  EXPECT_FALSE(MenuBarBridge::timerRunning);
  EXPECT_EQ(loop.pendingTasks(), 0u);
}

TEST_F(MenuBarBridgeTest, TimerTasksAndClickHoldTheBridgeWeakly) {
  start();
  auto item = statusBar.items().front();
  bridge.reset();
  // The timer went with the bridge, the queued title task finds no bridge, the click no target.
  EXPECT_EQ(loop.timerCount(), 0u);
  loop.advance(2.0);
  EXPECT_EQ(item->modelButton().titleChanges(), 0);
  item->modelButton().click();
  EXPECT_EQ(application.activationCount(), 0);
  EXPECT_FALSE(MenuBarBridge::timerRunning);
}

}  // namespace
}  // namespace quillmoss::testing
