// The writer: compact sorted output, numbers that read back bit-identical, safe strings.
#include "daily_data/json_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Writer, CompactSortedOutputWhereIntegralDoublesStayDoubles) {
  UsageMap usage{{"org.example.editor", 310.5}, {"com.apple.Safari#example.org", 95.5}, {"b", 7}};
  EXPECT_EQ(serializeUsage(usage),
            R"({"b":7.0,"com.apple.Safari#example.org":95.5,"org.example.editor":310.5})");
  ActivityList activity{{5.0, -0.0}, {1e20, 123456789012345680000.0}, {1e308, 0.0}};
  EXPECT_EQ(serializeActivity(activity),
            "[[5.0,-0.0],[1e+20,123456789012345683968.0],[1e+308,0.0]]");
}

TEST(Writer, NonFiniteNumbersFailTheWholeFile) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), kInf, -kInf}) {
    EXPECT_FALSE(serializeUsage({{"a", 1.0}, {"b", bad}}));
    EXPECT_FALSE(serializeActivity({{1.0, 2.0}, {3.0, bad}}));
    EXPECT_FALSE(serializeSegments({{std::string("k"), 1.0, bad}}));
    EXPECT_FALSE(
        serializeSegments({{std::string("k"), 1.0, 2.0, JsonObject{{"x", JsonArray{bad}}}}}));
  }
}

// Every writer formats numbers through one routine, and every reader parses them through one.
TEST(Writer, EdgeAndRandomDoublesReadBackBitIdentical) {
  std::vector<double> values;
  for (double d :
       {0.0, DBL_MIN, DBL_TRUE_MIN, DBL_MAX, 1e308, 1e-308, 1.0, 9007199254740992.0,
        9007199254740993.0, 9223372036854775808.0, 18446744073709551616.0, 2.2250738585072009e-308,
        1e21, 1e22, 0.1, 0.30000000000000004, 1765000000.0, 1765000000.123456, 123.0}) {
    values.push_back(d);
    values.push_back(-d);
  }
  std::mt19937_64 random(20261206);
  while (values.size() < 60000) {
    double d = std::bit_cast<double>(random());  // every exponent, subnormals included
    if (std::isfinite(d)) values.push_back(d);
  }
  std::uniform_real_distribution<double> instants(1.6e9, 1.9e9);
  for (int i = 0; i < 20000; ++i) values.push_back(instants(random));
  for (int i = 0; i < 10000; ++i) values.push_back(std::floor(instants(random)));  // integral
  std::uniform_int_distribution<std::uint64_t> subnormal(1, (std::uint64_t{1} << 52) - 1);
  for (int i = 0; i < 10000; ++i) values.push_back(std::bit_cast<double>(subnormal(random)));
  ActivityList activity;
  for (double d : values) activity.push_back({d, d});
  const auto back = parseActivity(*serializeActivity(activity));
  ASSERT_EQ(back.value.size(), values.size());
  const auto bits = [](double d) { return std::bit_cast<std::uint64_t>(d); };
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(bits(back.value[i][1]), bits(values[i])) << values[i];
  }
}

TEST(Writer, SegmentsRoundTripKeepsIntegersFloatsAndNestingAsWritten) {
  const std::string text = R"([["k",1,2.0,18446744073709551615,-9223372036854775808,100.0,-0.0,0],)"
                           R"(["k",1,2,{"b":1,"a":[true,null,"s"],"b":2.5},[]]])";
  auto first = parseSegments(text);
  auto written = serializeSegments(first.value);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, text);
  EXPECT_EQ(parseSegments(*written).value, first.value);
}

TEST(Writer, StringsReadBackEqual) {
  std::string text = "q\"b\\s/ \x7f caf\xc3\xa9 \xf0\x9f\x99\x82";
  for (int c = 0; c < 0x20; ++c) text.push_back(static_cast<char>(c));  // NUL included
  EXPECT_EQ(parseUsage(*serializeUsage({{text, 1.5}})).value, (UsageMap{{text, 1.5}}));
  const Segment segment{text, 1.0, 2.0};
  EXPECT_EQ(parseSegments(*serializeSegments({segment})).value, (SegmentList{segment}));
}

TEST(Writer, UsageKeysThatWouldCollideAfterReplacementAreMerged) {
  UsageMap usage{{"a\xff", 1.5}, {"a\xfe", 2.0}, {"a\xef\xbf\xbd", 0.25}, {"b", 1.0}};
  auto text = serializeUsage(usage);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "{\"a\xef\xbf\xbd\":3.75,\"b\":1.0}");
  EXPECT_EQ(parseUsage(*text).status, LoadStatus::Loaded);
}

TEST(JsonText, StrictUtf8AndEscapedStringsWithBadBytesReplaced) {
  const std::tuple<const char*, std::string, bool, std::string> cases[] = {
      {"plain", "org.kde.kcalc", true, "\"org.kde.kcalc\""},
      {"escapes", "a\"b\\c\n\t\x01\x7f", true, "\"a\\\"b\\\\c\\n\\t\\u0001\x7f\""},
      {"four bytes", "\xF0\x9F\x98\x80", true, "\"\xF0\x9F\x98\x80\""},
      {"a stray continuation byte", "a\x80z", false, "\"a\xEF\xBF\xBDz\""},
      {"overlong", "\xC0\xAF", false, "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"a surrogate", "\xED\xA0\x80", false, "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false,
       "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"cut short", "\xE2\x82", false, "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const auto& [what, text, valid, json] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(isValidUtf8(text), valid);
    std::string out;
    appendJsonString(out, text);
    EXPECT_EQ(out, json);
    EXPECT_TRUE(isValidUtf8(out));
  }
}

}  // namespace
}  // namespace quillmoss::daily
