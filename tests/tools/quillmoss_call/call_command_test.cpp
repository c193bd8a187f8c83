// quillmoss-call against a host served in this process.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "call_command.h"
#include "engine/method_channel.h"
#include "engine/socket_messenger.h"
#include "engine/test_support.h"

namespace quillmoss::tools {
namespace {

using engine::EncodableValue;
using engine::MethodCall;
using engine::MethodResult;

class CallCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    socketPath_ = dir_.string() + "/q/engine.sock";
    messenger_ = std::make_unique<engine::SocketMessenger>(loop_.loop());
    ASSERT_TRUE(messenger_->listen(socketPath_));
    channel_ = std::make_unique<engine::MethodChannel>(messenger_.get(),
                                                       "com.velbrook.quillmoss/usage_tracker");
    channel_->setMethodCallHandler(
        [this](const MethodCall& call, std::unique_ptr<MethodResult> result) {
          if (call.methodName() == "echo") {
            result->success(call.arguments());
          } else if (call.methodName() == "icon") {
            result->success(EncodableValue(std::vector<std::uint8_t>{0x89, 'P', 'N', 'G'}));
          } else if (call.methodName() == "setup") {
            result->error("SETUP_FAILED", "disk full");
          } else {
            result->notImplemented();
          }
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
  std::string socketPath_;
  std::unique_ptr<engine::SocketMessenger> messenger_;
  std::unique_ptr<engine::MethodChannel> channel_;
  std::string out_;
  std::string err_;
};

TEST_F(CallCommandTest, ShortChannelNameArgumentsAndReplyAsJson) {
  EXPECT_EQ(call({"usage_tracker", "echo", R"({"date":"2024-03-01","n":3,"x":[1.5]})"}),
            kCallSucceeded)
      << err_;
  EXPECT_EQ(out_, "{\"date\":\"2024-03-01\",\"n\":3,\"x\":[1.5]}\n");

  EXPECT_EQ(call({"com.velbrook.quillmoss/usage_tracker", "echo"}), kCallSucceeded);
  EXPECT_EQ(out_, "null\n");
}

TEST_F(CallCommandTest, ByteListsAsBase64OrIntoAFile) {
  EXPECT_EQ(call({"usage_tracker", "icon"}), kCallSucceeded);
  EXPECT_EQ(out_, "{\"$bytes_base64\":\"iVBORw==\"}\n");

  const std::string file = dir_.string() + "/icon.png";
  EXPECT_EQ(call({"--bytes-out", file, "usage_tracker", "icon"}), kCallSucceeded) << err_;
  std::ifstream in(file, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(written, "\x89PNG");
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

  EXPECT_EQ(runCallCommand({"--help"}, out, err), kCallSucceeded);
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"usage_tracker"},
                                             {"usage_tracker", "echo", "{not json"},
                                             {"--timeout", "soon", "usage_tracker", "echo"},
                                             {"--frobnicate", "usage_tracker", "echo"}}) {
    EXPECT_EQ(call(bad), kCallUsage) << bad[0];
  }
}

}  // namespace
}  // namespace quillmoss::tools
