// The menu bar ticker: title, status item, timer, click and the quit rule, in a launched shell.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host_test_doubles.h"
#include "menu_bar/menu_bar_title.h"

namespace quillmoss::testing {
namespace {

using engine::EncodableMap;
using engine::EncodableValue;
using host::MenuBarBridge;
using host::menuBarTitle;

std::string title(const std::string& time, const std::string& count) {
  return "\u23F1 " + time + "  \U0001F465 " + count;
}

TEST(MenuBarTitle, ShowsMinutesBelowAnHourHoursFromAnHourOnAndAtLeastOnePerson) {
  const double now = 1'700'000'000.0;
  const std::pair<double, const char*> times[] = {
      {0, "00:00"},      {59.9, "00:59"},   {307, "05:07"},       {3599, "59:59"},
      {3600, "1:00:00"}, {3661, "1:01:01"}, {360000, "100:00:00"}};
  for (const auto& [elapsed, time] : times) {
    EXPECT_EQ(menuBarTitle(now, now - elapsed, 3), title(time, "3")) << elapsed;
  }
  // Fewer than two people show as one; two, the count the product names, shows as two.
  const std::pair<std::int64_t, const char*> people[] = {
      {INT64_MIN, "1"}, {-7, "1"}, {0, "1"}, {1, "1"}, {2, "2"}, {3, "3"}, {1234567, "1234567"}};
  for (const auto& [count, shown] : people) {
    EXPECT_EQ(menuBarTitle(now, now, count), title("00:00", shown)) << count;
  }
  // Never a negative or broken time.
  const double inf = std::numeric_limits<double>::infinity();
  for (double startedAt : {now + 30, std::nan(""), inf, -inf, -1e300, 1e300}) {
    EXPECT_EQ(menuBarTitle(now, startedAt, 1), title("00:00", "1")) << startedAt;
  }
  // The largest elapsed time that fits still shows, with its hours in full; one more does not.
  EXPECT_EQ(menuBarTitle(0, -9223372036854775808.0, 1), title("00:00", "1"));
  EXPECT_EQ(menuBarTitle(0, -9223372036854774784.0, 1), title("2562047788015215:13:04", "1"));
}

class MenuBarBridgeTest : public ShellFixture {
 protected:
  void SetUp() override {
    // Another window first, so the bridge must look for the main window by its class.
    application
        .addWindow(std::make_unique<appkit_model::ModelWindow>(
            host::Rect{0, 0, 10, 10}, 0, appkit_model::BackingStoreType::buffered, false))
        .orderFront();
    launch();
    mainWindow = interface.window;
  }
  host::MainFlutterWindow* mainWindow = nullptr;
};

TEST_F(MenuBarBridgeTest, StartShowsAVariableItemTickingFromTheGivenStartWithThePeopleGiven) {
  menuBar("updatePeople", EncodableMap{{"peopleStudying", 4}});  // Nothing while stopped.
  loop.runPending();
  EXPECT_TRUE(statusBar.items().empty());
  EXPECT_FALSE(*timerRunning);
  menuBar("startTimer");
  auto& item = *statusBar.items().at(0);
  // The title is set through the main queue, never inside the call.
  EXPECT_EQ(item.modelButton().titleChanges(), 0);
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("00:00", "1"));
  // Either integer width; arguments of another type take the defaults.
  const std::pair<EncodableValue, std::string> starts[] = {
      {EncodableMap{{"startedAt", std::int64_t{1'699'999'940}},
                    {"peopleStudying", std::int64_t{5}}},
       title("01:00", "5")},
      {EncodableMap{{"startedAt", "yesterday"}, {"peopleStudying", 2.0}}, title("00:00", "1")},
      {engine::EncodableList{EncodableValue(1.0)}, title("00:00", "1")},
      {EncodableMap{{"startedAt", loop.time - 3598.5}, {"peopleStudying", 3}},
       title("59:58", "3")}};
  for (const auto& [args, shown] : starts) {
    menuBar("startTimer", args);
    loop.runPending();
    EXPECT_EQ(shownTitle(), shown);
  }
  // Late firings do not add up: the time comes from the start afresh.
  const std::pair<double, const char*> ticks[] = {{0, "59:59"}, {0, "1:00:00"}, {100, "1:01:41"}};
  for (const auto& [late, shown] : ticks) {
    loop.time += late;
    loop.advance(1.0);
    EXPECT_EQ(shownTitle(), title(shown, "3"));
  }
  menuBar("updatePeople", EncodableMap{{"peopleStudying", std::int64_t{12}}});
  loop.runPending();
  EXPECT_EQ(shownTitle(), title("1:01:41", "12"));  // At once, with the time as it was.
}

// That a restart with the window closed keeps the application is ShellTest's.
TEST_F(MenuBarBridgeTest, RestartReplacesTheItemAndTheTimer) {
  menuBar("startTimer");
  auto first = statusBar.items().at(0);
  menuBar("startTimer", EncodableMap{{"peopleStudying", 3}});
  EXPECT_NE(statusBar.items().at(0), first);
  EXPECT_EQ(loop.timers.size(), 1u);
  loop.advance(1.0);
  // Only the new item's title changes: the old one is gone and its task finds no item.
  EXPECT_EQ(first->modelButton().titleChanges(), 0);
  EXPECT_EQ(shownTitle(), title("00:01", "3"));
}

TEST_F(MenuBarBridgeTest, StopWithTheWindowShownOrWhenNotTickingKeepsTheApplication) {
  // The quit after a stop with the window hidden is ShellTest's.
  mainWindow->close();
  menuBar("stopTimer");
  mainWindow->orderFront();
  menuBar("startTimer");
  menuBar("stopTimer");
  loop.advance(3.0);
  EXPECT_TRUE(statusBar.items().empty());
  EXPECT_TRUE(loop.timers.empty());
  EXPECT_FALSE(*timerRunning);
  // A second stop finds nothing to stop, even with the window hidden.
  mainWindow->close();
  menuBar("stopTimer");
  loop.runPending();
  EXPECT_FALSE(loop.quitStatus.has_value());
}

TEST_F(MenuBarBridgeTest, ClickBringsTheMainWindowBackAndKeepsTicking) {
  menuBar("startTimer");
  mainWindow->close();
  application.setActivationPolicy(host::ActivationPolicy::accessory);
  statusBar.items().at(0)->modelButton().click();
  EXPECT_EQ(application.activationPolicy(), host::ActivationPolicy::regular);
  EXPECT_TRUE(application.lastActivationIgnoredOthers());
  EXPECT_TRUE(mainWindow->isVisible());
  loop.advance(1.0);
  EXPECT_EQ(shownTitle(), title("00:01", "1"));
}

TEST_F(MenuBarBridgeTest, TimerTasksAndClickHoldTheBridgeWeakly) {
  // A bridge of its own in an application without a main window: a stop quits.
  appkit_model::ModelApplication bare(loop);
  auto lone = std::make_unique<MenuBarBridge>(MenuBarBridge::Services{loop, statusBar, bare, loop});
  lone->startMenuBar();
  lone->stopMenuBar();
  loop.runPending();
  EXPECT_TRUE(bare.isTerminated());

  lone->startMenuBar();
  auto item = statusBar.items().at(0);
  lone.reset();
  // The timer went with the bridge, the queued title task finds no bridge, the click no target.
  EXPECT_TRUE(loop.timers.empty());
  loop.advance(2.0);
  EXPECT_EQ(item->modelButton().titleChanges(), 0);
  item->modelButton().click();
  EXPECT_EQ(bare.activationCount(), 0);
  EXPECT_FALSE(*timerRunning);
}

}  // namespace
}  // namespace quillmoss::testing
