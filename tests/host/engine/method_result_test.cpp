// A method result is answered exactly once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/method_result.h"

namespace quillmoss::engine {
namespace {

class RecordingResult : public MethodResult {
 public:
  std::vector<std::string> answers;

 protected:
  void successInternal(const EncodableValue&) override { answers.push_back("success"); }
  void errorInternal(const std::string& code, const std::string&, const EncodableValue&) override {
    answers.push_back("error " + code);
  }
  void notImplementedInternal() override { answers.push_back("notImplemented"); }
};

#ifndef NDEBUG
TEST(MethodResultDeathTest, SecondAnswerAssertsInDebugBuilds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        RecordingResult result;
        result.success();
        result.error("E");
      },
      "answered twice");
}
#else
TEST(MethodResult, SecondAnswerIsIgnoredInReleaseBuilds) {
  RecordingResult result;
  result.success();
  result.error("E");
  result.notImplemented();
  EXPECT_EQ(result.answers, std::vector<std::string>{"success"});
}
#endif

}  // namespace
}  // namespace quillmoss::engine
