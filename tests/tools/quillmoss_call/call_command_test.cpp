// quillmoss-call against a host served in this process, and its JSON in and out.
#include <gtest/gtest.h>

#include <sys/un.h>
#include <unistd.h>

#include <limits>

#include "call_command.h"
#include "engine/method_channel.h"
#include "engine/socket_messenger.h"
#include "engine/test_support.h"
#include "json_to_value.h"
#include "value_to_json.h"

namespace quillmoss::tools {
namespace {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;
using engine::MethodCall;
using engine::MethodResult;

class CallCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    messenger_ = std::make_unique<engine::SocketMessenger>(loop_.loop());
    ASSERT_TRUE(messenger_->listen(socketPath_));
    channel_ = std::make_unique<engine::MethodChannel>(messenger_.get(),
                                                       "com.velbrook.quillmoss/usage_tracker");
    channel_->setMethodCallHandler(
        [](const MethodCall& call, std::unique_ptr<MethodResult> result) {
          const std::string& name = call.methodName();
          if (name == "echo") return result->success(call.arguments());
          if (name == "icon") return result->success(std::vector<uint8_t>{0x89, 'P', 'N', 'G'});
          if (name == "setup") return result->error("SETUP_FAILED", "disk full");
          result->notImplemented();
        });
    loop_.start();
  }
  void TearDown() override {
    loop_.stop();
    channel_.reset();
    messenger_.reset();
  }

  int call(std::vector<std::string> arguments) {
    out_.clear();
    err_.clear();
    arguments.insert(arguments.begin(), {"--socket", socketPath_});
    return runCallCommand(arguments, out_, err_);
  }

  testing::TempDir dir_;
  testing::LoopThread loop_;
  // Longer than a socket address holds, as under a deep runtime folder.
  std::string socketPath_ = dir_.string() + "/" + std::string(110, 'q') + "/engine.sock";
  std::unique_ptr<engine::SocketMessenger> messenger_;
  std::unique_ptr<engine::MethodChannel> channel_;
  std::string out_, err_;
};

TEST_F(CallCommandTest, RepliesAsJsonWithByteListsAsBase64OrIntoAFile) {
  EXPECT_EQ(call({"usage_tracker", "echo", R"({"date":"2024-03-01","n":3,"x":[1.5]})"}),
            kCallSucceeded);
  EXPECT_EQ(out_, "{\"date\":\"2024-03-01\",\"n\":3,\"x\":[1.5]}\n");

  EXPECT_EQ(call({"com.velbrook.quillmoss/usage_tracker", "echo"}), kCallSucceeded);
  EXPECT_EQ(out_, "null\n");

  EXPECT_EQ(call({"usage_tracker", "icon"}), kCallSucceeded);
  EXPECT_EQ(out_, "{\"$bytes_base64\":\"iVBORw==\"}\n");

  const std::string file = dir_.string() + "/icon.png";
  EXPECT_EQ(call({"--bytes-out", file, "usage_tracker", "icon"}), kCallSucceeded) << err_;
  EXPECT_EQ(testing::readBytes(file), "\x89PNG");
  EXPECT_NE(out_.find("$bytes_file"), std::string::npos);

  // A file that cannot be written is a failure, not a success without output.
  EXPECT_EQ(call({"--bytes-out", dir_.path(), "usage_tracker", "icon"}), kCallTransportFailed);
}

TEST_F(CallCommandTest, EachFailureHasItsOwnExitStatusAndSaysWhy) {
  EXPECT_EQ(call({"usage_tracker", "setup"}), kCallChannelError);
  EXPECT_NE(err_.find("disk full"), std::string::npos);
  EXPECT_EQ(call({"usage_tracker", "noSuchMethod"}), kCallNotImplemented);
  // A channel nobody serves answers the same way.
  EXPECT_EQ(call({"menu_bar", "startTimer"}), kCallNotImplemented);

  std::string out, err;
  const std::string missing = dir_.string() + "/none/engine.sock";
  EXPECT_EQ(runCallCommand({"--socket", missing, "usage_tracker", "isRunning"}, out, err),
            kCallNoHost);
  EXPECT_NE(err.find(missing), std::string::npos) << err;

  // A host too busy to take the connection is given the time-out, not waited for.
  const std::string stuck = dir_.string() + "/stuck.sock";
  testing::FullBacklog backlog(stuck);
  ASSERT_TRUE(backlog.full());
  EXPECT_EQ(
      runCallCommand({"--socket", stuck, "--timeout", "1", "usage_tracker", "isRunning"}, out, err),
      kCallTransportFailed);
  EXPECT_NE(err.find("did not take the connection"), std::string::npos) << err;

  EXPECT_EQ(runCallCommand({"--help"}, out, err), kCallSucceeded);
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"usage_tracker"},
                                             {"usage_tracker", "echo", "{not json"},
                                             {"--timeout", "soon", "usage_tracker", "echo"},
                                             {"--frobnicate", "usage_tracker", "echo"}}) {
    EXPECT_EQ(call(bad), kCallUsage) << bad[0];
  }
}

TEST_F(CallCommandTest, NamesTheProcessServingTheSocket) {
  ASSERT_GT(socketPath_.size(), sizeof(sockaddr_un{}.sun_path));
  EXPECT_EQ(call({"--host-pid"}), kCallSucceeded) << err_;
  EXPECT_EQ(out_, std::to_string(::getpid()) + "\n");
  EXPECT_EQ(call({"--host-pid", "usage_tracker", "echo"}), kCallUsage);
}

TEST(JsonToValue, KeepsIntegerWidthsFloatsAndStructure) {
  auto value = jsonToValue(
      R"({"date":"2024-03-01","n":5,"big":5000000000,"neg":-2147483649,"f":1.0,"l":[1,"x",null,true],"o":{}})");
  ASSERT_TRUE(value);
  const EncodableMap expected{{"date", "2024-03-01"},
                              {"n", std::int32_t{5}},
                              {"big", std::int64_t{5000000000}},
                              {"neg", std::int64_t{-2147483649}},
                              {"f", 1.0},
                              {"l", EncodableList{std::int32_t{1}, "x", EncodableValue(), true}},
                              {"o", EncodableMap{}}};
  EXPECT_EQ(*value, EncodableValue(expected));
}

TEST(JsonToValue, RefusesWhatIsNotJsonOrDoesNotFit) {
  const auto truncated = jsonToValue("{\"a\":");
  ASSERT_FALSE(truncated);
  EXPECT_FALSE(truncated.error().message.empty());
  EXPECT_FALSE(jsonToValue("18446744073709551615").hasValue());
  EXPECT_FALSE(jsonToValue("1 2").hasValue());
}

TEST(ValueToJson, WritesEveryKindReadably) {
  EncodableMap map{{"s", "a\"b\\c\n\x01"},
                   {"d", 2.0},
                   {"i", std::int64_t{1} << 40},
                   {"n", EncodableValue()},
                   {"b", std::vector<std::uint8_t>{'h', 'i', '!', '?'}},
                   {"t", std::vector<std::int32_t>{1, -2}},
                   {"x", std::numeric_limits<double>::infinity()},
                   {std::int32_t{3}, false}};
  EXPECT_EQ(valueToJson(EncodableValue(map)),
            R"({"3":false,"b":{"$bytes_base64":"aGkhPw=="},"d":2.0,"i":1099511627776,)"
            R"("n":null,"s":"a\"b\\c\n\u0001","t":[1,-2],"x":"Infinity"})");
  EXPECT_EQ(valueToJson(EncodableValue(0.1)), "0.1");
  // What JSON cannot spell is a string, never a number nor a null.
  const float nanF = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(valueToJson(EncodableValue(std::vector<float>{0.1f, 2.0f, nanF, -1.0f / 0.0f})),
            R"([0.1,2.0,"NaN","-Infinity"])");
  EXPECT_EQ(valueToJson(EncodableValue(std::numeric_limits<double>::quiet_NaN())), R"("NaN")");
  EXPECT_EQ(valueToJson(EncodableValue(1e300)), "1e+300");
  // Text that is not UTF-8 still makes valid JSON.
  EXPECT_EQ(valueToJson(EncodableValue(std::string("\xff\xc3\xa9"))), "\"\xEF\xBF\xBDé\"");
  // Base64 padding, and a sink that takes some byte lists.
  int taken = 0;
  const auto sink = [&](const std::vector<std::uint8_t>& bytes) -> std::string {
    return taken++ == 0 ? "{\"size\":" + std::to_string(bytes.size()) + "}" : "";
  };
  EncodableList list{std::vector<std::uint8_t>{1, 2}, std::vector<std::uint8_t>{'f'},
                     std::vector<std::uint8_t>{'f', 'o'}};
  EXPECT_EQ(valueToJson(EncodableValue(list), sink),
            R"([{"size":2},{"$bytes_base64":"Zg=="},{"$bytes_base64":"Zm8="}])");
}

}  // namespace
}  // namespace quillmoss::tools
