// Method channels, results, registrars and the registry on a recorded messenger.
#include <gtest/gtest.h>

#include "engine/method_channel.h"
#include "engine/plugin_registrar.h"
#include "engine/recording_messenger.h"
#include "engine/standard_method_codec.h"

namespace quillmoss::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RecordingMessenger;

TEST(MethodChannel, DecodesCallsAndEncodesEachKindOfAnswerEvenForADroppedResult) {
  RecordingMessenger messenger;
  MethodChannel channel(&messenger, "com.velbrook.quillmoss/test");
  EncodableValue seenArguments;
  channel.setMethodCallHandler([&](const MethodCall& call, std::unique_ptr<MethodResult> result) {
    seenArguments = call.arguments();
    if (call.methodName() == "ok") return result->success(EncodableValue(std::int32_t{5}));
    if (call.methodName() == "fail") return result->error("SETUP_FAILED", "it broke");
    result->notImplemented();
  });

  const int ok = messenger.call(channel.name(), "ok", EncodableValue(EncodableMap{{"date", "x"}}));
  EXPECT_EQ(seenArguments, EncodableValue(EncodableMap{{"date", "x"}}));
  const int fail = messenger.call(channel.name(), "fail");
  const int other = messenger.call(channel.name(), "nope");

  EXPECT_EQ(messenger.replies[ok], std::vector<Bytes>{encodeSuccessEnvelope(std::int32_t{5})});
  EXPECT_EQ(messenger.replies[fail],
            std::vector<Bytes>{encodeErrorEnvelope("SETUP_FAILED", "it broke", EncodableValue())});
  EXPECT_EQ(messenger.replies[other], std::vector<Bytes>{Bytes{}});

  // An undecodable message gets the empty reply without reaching the handler.
  seenArguments = EncodableValue("untouched");
  const int bad = messenger.send(channel.name(), Bytes{3, 1, 0, 0, 0, 0});
  EXPECT_EQ(seenArguments, EncodableValue("untouched"));
  EXPECT_EQ(messenger.replies[bad], std::vector<Bytes>{Bytes{}});

  // A result dropped unanswered still replies, once.
  std::unique_ptr<MethodResult> kept;
  channel.setMethodCallHandler(
      [&](const MethodCall&, std::unique_ptr<MethodResult> result) { kept = std::move(result); });
  const int later = messenger.call(channel.name(), "later");
  EXPECT_TRUE(messenger.replies[later].empty());  // Not yet: the result is still held.
  kept.reset();
  EXPECT_EQ(messenger.replies[later], std::vector<Bytes>{Bytes{}});

  // Clearing the handler takes the channel off the messenger.
  channel.setMethodCallHandler(nullptr);
  EXPECT_EQ(messenger.handlers.count(channel.name()), 0u);
}

// A second answer is a bug: it asserts where assertions are on, and is ignored otherwise.
TEST(MethodResultDeathTest, ASecondAnswerAssertsOrIsIgnored) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  RecordingMessenger messenger;
  MethodChannel channel(&messenger, "c");
  channel.setMethodCallHandler([](const MethodCall&, std::unique_ptr<MethodResult> result) {
    result->success();
    result->error("E");
    result->notImplemented();
  });
#ifndef NDEBUG
  EXPECT_DEATH(messenger.call("c", "twice"), "answered twice");
#else
  const int id = messenger.call("c", "twice");
  EXPECT_EQ(messenger.replies[id], std::vector<Bytes>{encodeSuccessEnvelope(EncodableValue())});
#endif
}

// Answers every call with its own name; counts its destructions.
struct NamedPlugin : Plugin {
  NamedPlugin(std::string name, int& destroyed) : name(std::move(name)), destroyed(destroyed) {}
  ~NamedPlugin() override { ++destroyed; }
  void handleMethodCall(const MethodCall&, std::unique_ptr<MethodResult> result) override {
    result->success(EncodableValue(name));
  }
  std::string name;
  int& destroyed;
};

TEST(PluginRegistrar, OwnsDelegatesAndRoutesTheirChannels) {
  RecordingMessenger messenger;
  int destroyed = 0;
  {
    PluginRegistrar registrar(&messenger);
    for (const char* name : {"a", "b"}) {
      registrar.addMethodCallDelegate(std::make_unique<NamedPlugin>(name, destroyed),
                                      std::make_unique<MethodChannel>(&messenger, name));
    }
    for (const char* name : {"b", "a"}) {
      EXPECT_EQ(messenger.reply(messenger.call(name, "ping"))->value, EncodableValue(name));
    }
    EXPECT_EQ(destroyed, 0);  // Alive with no other owner than the registrar.
  }
  EXPECT_EQ(destroyed, 2);
  EXPECT_TRUE(messenger.handlers.empty());  // Nothing left pointing at the freed delegates.
}

}  // namespace
}  // namespace quillmoss::engine
