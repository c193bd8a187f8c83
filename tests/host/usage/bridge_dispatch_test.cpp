// The usage channel's dispatch: methods, argument rules and the queues replies travel through.
#include <gtest/gtest.h>

#include "bridge_test_fixture.h"
#include "daily_data/daily_data.h"
#include "platform/app_catalog.h"

namespace quillmoss::testing {
namespace {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;
using Kind = engine::MethodReply::Kind;

TEST_F(BridgeTest, EveryMethodHopsToBackgroundAndRepliesOnceThroughTheMainQueueByExactName) {
  for (const char* method : {"setup", "getUsage", "getActivity", "getSegments", "getAppName",
                             "getAppIcon", "isRunning", "noSuchMethod"}) {
    SCOPED_TRACE(method);
    const auto& replies = messenger.replies[call(method)];
    // Nothing happens inside the call but the hop to the background queue.
    EXPECT_EQ(background.pending(), 1u);
    EXPECT_EQ(mainQueue.pending(), 0u);
    background.drain();
    EXPECT_TRUE(replies.empty()) << "answered off the main queue";
    EXPECT_EQ(mainQueue.pending(), 1u);
    mainQueue.drain();
    EXPECT_EQ(replies.size(), 1u);
  }
  // Names differing only in case are not implemented.
  for (const char* method : {"SETUP", "getusage", "getUsage ", ""}) {
    SCOPED_TRACE(method);
    EXPECT_EQ(callAndSettle(method, EncodableMap{{"date", "2026-01-01"}}).kind,
              Kind::kNotImplemented);
  }
}

TEST_F(BridgeTest, IsRunningLooksForTheQuotedPidKeyOnly) {
  const std::string loaded = "{\n\t\"Label\" = \"com.velbrook.quillmoss.tracker\";\n\t";
  const std::pair<std::optional<std::string>, bool> cases[] = {
      {loaded + "\"PID\" = 4242;\n};\n", true},
      {loaded + "\"LastExitStatus\" = 0;\n};\n", false},
      {"", false},
      {"PID = 12", false},
      {std::nullopt, false}};  // not UTF-8 or not started
  for (const auto& [output, running] : cases) {
    runner->outputs[{"launchctl", "list", "com.velbrook.quillmoss.tracker"}] = output;
    // Arguments are ignored, whatever their shape.
    EXPECT_EQ(callAndSettle("isRunning", EncodableList{EncodableValue(1)}).value,
              EncodableValue(running));
  }
}

// Answers every key alike and records the keys asked for.
struct FakeCatalog : host::AppCatalog {
  std::optional<std::string> appName(const std::string& key) override {
    keys.push_back(key);
    return name;
  }
  std::optional<std::vector<std::uint8_t>> appIconPng(const std::string& key) override {
    keys.push_back(key);
    return icon;
  }
  std::optional<std::string> name = "Safari";
  std::optional<std::vector<std::uint8_t>> icon = std::vector<std::uint8_t>{0x89, 'P', 'N', 'G'};
  std::vector<std::string> keys;
};

TEST_F(BridgeTest, BundleIdIsTheStringOrEmptyAndNoNameOrIconIsNil) {
  const EncodableMap x = {{"bundleId", "x"}};
  // Without a catalog at all.
  EXPECT_TRUE(callAndSettle("getAppName", x).value.isNull());
  EXPECT_TRUE(callAndSettle("getAppIcon", x).value.isNull());

  auto catalog = std::make_shared<FakeCatalog>();
  rebuild(catalog);
  callAndSettle("getAppName", EncodableMap{{"bundleId", "com.apple.Safari"}});
  callAndSettle("getAppName");                                     // no arguments
  callAndSettle("getAppName", EncodableMap{{"bundleId", 7}});      // not a string
  callAndSettle("getAppIcon", EncodableList{"com.apple.Safari"});  // not a map
  callAndSettle("getAppIcon", EncodableMap{{"bundleId", "x"}, {EncodableValue(), 1}});
  EXPECT_EQ(catalog->keys, (std::vector<std::string>{"com.apple.Safari", "", "", "", ""}));

  EXPECT_EQ(callAndSettle("getAppName", x).value, EncodableValue("Safari"));
  EXPECT_EQ(callAndSettle("getAppIcon", x).value, EncodableValue(*catalog->icon));
  catalog->name.reset();
  catalog->icon.reset();
  EXPECT_TRUE(callAndSettle("getAppName", x).value.isNull());
  EXPECT_TRUE(callAndSettle("getAppIcon", x).value.isNull());
}

TEST_F(BridgeTest, DateIsTheStringOrAbsentMeaningTodayByTheClock) {
  writeBytes(paths.dataDir / ("usage_" + daily::localDayString(now) + ".json"), R"({"today":1})");
  writeBytes(paths.dataDir / "usage_2026-01-02.json", R"({"other":2.5})");
  const EncodableValue todays = EncodableMap{{"today", 1.0}};

  EXPECT_EQ(callAndSettle("getUsage").value, todays);
  EXPECT_EQ(callAndSettle("getUsage", EncodableMap{{"date", EncodableValue()}}).value, todays);
  EXPECT_EQ(callAndSettle("getUsage", EncodableMap{{"date", 20260102}}).value, todays);
  EXPECT_EQ(callAndSettle("getUsage", EncodableList{"2026-01-02"}).value, todays);
  // A map with any key that is not a string counts as no map at all.
  EXPECT_EQ(callAndSettle("getUsage", EncodableMap{{"date", "2026-01-02"}, {1, "x"}}).value,
            todays);
  EXPECT_EQ(callAndSettle("getUsage", EncodableMap{{"date", "2026-01-02"}}).value,
            EncodableValue(EncodableMap{{"other", 2.5}}));
  // Today follows the clock on every call.
  now += 3 * 86400.0;
  EXPECT_EQ(callAndSettle("getUsage").value, EncodableValue(EncodableMap{}));
}

// Whatever order workers pick them up in; no worker waits (on this one thread it would hang).
TEST_F(BridgeTest, SetupCallsRunOneAtATimeInArrivalOrder) {
  const int first = call("setup"), second = call("setup");
  ASSERT_EQ(background.pending(), 2u);
  background.runBack();  // the second call's task first: it must wait for the first
  EXPECT_EQ(mainQueue.pending(), 0u);
  background.runFront();  // the first runs, then the waiting second on the same worker
  mainQueue.drain();
  // Both failed the same way here (no daemon in the bundle), each with its own reply.
  for (const int id : {first, second}) {
    EXPECT_EQ(messenger.replies[id].size(), 1u);
    EXPECT_EQ(messenger.reply(id)->code, "SETUP_FAILED");
  }

  // Replies of other methods may overtake a setup's.
  const int setup = call("setup"), usage = call("getUsage");
  background.runBack();
  mainQueue.drain();
  EXPECT_EQ(messenger.replies[usage].size(), 1u);
  EXPECT_TRUE(messenger.replies[setup].empty());
  background.drain();
  mainQueue.drain();
  EXPECT_EQ(messenger.replies[setup].size(), 1u);
}

}  // namespace
}  // namespace quillmoss::testing
