// The writer: compact sorted output, numbers that read back bit-identical, safe strings.
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
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Writer, EmptyDayIsAnEmptyObjectAndTwoEmptyArrays) {
  EXPECT_EQ(serializeUsage({}), "{}");
  EXPECT_EQ(serializeActivity({}), "[]");
  EXPECT_EQ(serializeSegments({}), "[]");
}

TEST(Writer, UsageIsCompactWithSortedKeys) {
  UsageMap usage{{"org.example.editor", 310.5}, {"com.apple.Safari#example.org", 95.5}, {"b", 7}};
  EXPECT_EQ(serializeUsage(usage),
            R"({"b":7.0,"com.apple.Safari#example.org":95.5,"org.example.editor":310.5})");
}

TEST(Writer, IntegralDoublesStayDoubles) {
  ActivityList activity{{5.0, -0.0}, {1e20, 123456789012345680000.0}, {1e308, 0.0}};
  auto text = serializeActivity(activity);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "[[5.0,-0.0],[1e+20,123456789012345683968.0],[1e+308,0.0]]");
  Segment segment{std::string("k"), 5.0, 1e20};
  auto back = parseSegments(*serializeSegments({segment}));
  ASSERT_EQ(back.status, LoadStatus::Loaded);
  EXPECT_EQ(back.value, (SegmentList{segment}));
}

TEST(Writer, NonFiniteNumbersFailTheWholeFile) {
  for (double bad : {kNaN, kInf, -kInf}) {
    EXPECT_FALSE(serializeUsage({{"a", 1.0}, {"b", bad}}));
    EXPECT_FALSE(serializeActivity({{1.0, 2.0}, {3.0, bad}}));
    EXPECT_FALSE(serializeSegments({{std::string("k"), 1.0, bad}}));
    EXPECT_FALSE(
        serializeSegments({{std::string("k"), 1.0, 2.0, JsonObject{{"x", JsonArray{bad}}}}}));
  }
}

// Bit-identical round trip through each writer and the reader.
void expectRoundTrip(const std::vector<double>& values) {
  ActivityList activity;
  SegmentList segments;
  UsageMap usage;
  for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
    activity.push_back({values[i], values[i + 1]});
    segments.push_back({std::string("k"), values[i], values[i + 1]});
  }
  for (std::size_t i = 0; i < values.size(); ++i) usage["k" + std::to_string(i)] = values[i];

  auto activityBack = parseActivity(*serializeActivity(activity));
  auto segmentsBack = parseSegments(*serializeSegments(segments));
  auto usageBack = parseUsage(*serializeUsage(usage));
  ASSERT_EQ(activityBack.status, LoadStatus::Loaded);
  ASSERT_EQ(segmentsBack.status, LoadStatus::Loaded);
  ASSERT_EQ(usageBack.status, LoadStatus::Loaded);
  ASSERT_EQ(activityBack.value.size(), activity.size());
  ASSERT_EQ(segmentsBack.value.size(), segments.size());
  ASSERT_EQ(usageBack.value.size(), usage.size());
  for (std::size_t i = 0; i < activity.size(); ++i) {
    for (int k = 0; k < 2; ++k) {
      double want = activity[i][k];
      EXPECT_EQ(std::bit_cast<std::uint64_t>(activityBack.value[i][k]),
                std::bit_cast<std::uint64_t>(want))
          << want;
      const JsonValue& entry = segmentsBack.value[i][k + 1];
      ASSERT_TRUE(std::holds_alternative<double>(entry.value)) << want;
      EXPECT_EQ(std::bit_cast<std::uint64_t>(std::get<double>(entry.value)),
                std::bit_cast<std::uint64_t>(want));
    }
  }
  for (const auto& [key, want] : usage) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(usageBack.value[key]),
              std::bit_cast<std::uint64_t>(want));
  }
}

TEST(Writer, EdgeDoublesReadBackBitIdentical) {
  expectRoundTrip({0.0,
                   -0.0,
                   DBL_MIN,
                   -DBL_MIN,
                   DBL_TRUE_MIN,
                   -DBL_TRUE_MIN,
                   DBL_MAX,
                   -DBL_MAX,
                   1e308,
                   1e-308,
                   4.9406564584124654e-324,
                   2.2250738585072009e-308,
                   1.0,
                   -1.0,
                   9007199254740992.0,
                   9007199254740993.0,
                   9223372036854775808.0,
                   18446744073709551616.0,
                   1e21,
                   1e22,
                   0.1,
                   0.2,
                   0.30000000000000004,
                   1765000000.0,
                   1765000000.123456,
                   5e-324,
                   1.7976931348623157e308,
                   123.0});
}

TEST(Writer, RandomDoublesReadBackBitIdentical) {
  std::mt19937_64 random(20261206);
  std::vector<double> values;
  while (values.size() < 60000) {
    double d = std::bit_cast<double>(random());  // every exponent, subnormals included
    if (std::isfinite(d)) values.push_back(d);
  }
  std::uniform_real_distribution<double> instants(1.6e9, 1.9e9);
  for (int i = 0; i < 20000; ++i) values.push_back(instants(random));
  for (int i = 0; i < 10000; ++i) values.push_back(std::floor(instants(random)));  // integral
  std::uniform_int_distribution<std::uint64_t> subnormal(1, (std::uint64_t{1} << 52) - 1);
  for (int i = 0; i < 10000; ++i) values.push_back(std::bit_cast<double>(subnormal(random)));
  expectRoundTrip(values);
}

TEST(Writer, IntegerAndFloatDistinctionSurvivesASegmentsRoundTrip) {
  const std::string text = R"([["k",1,2.0,18446744073709551615,-9223372036854775808,100.0,-0.0,0],)"
                           R"(["k",1,2,{"b":1,"a":[true,null,"s"],"b":2.5},[]]])";
  auto first = parseSegments(text);
  ASSERT_EQ(first.status, LoadStatus::Loaded);
  auto written = serializeSegments(first.value);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, text);
  auto second = parseSegments(*written);
  ASSERT_EQ(second.status, LoadStatus::Loaded);
  EXPECT_EQ(second.value, first.value);
}

TEST(Writer, StringsAreEscapedAndReadBackEqual) {
  std::string key = "q\"b\\s/ \b\f\n\r\t\x01\x1f\x7f caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x99\x82";
  key.push_back('\0');
  auto text = serializeUsage({{key, 1.5}});
  ASSERT_TRUE(text);
  EXPECT_EQ(*text,
            "{\"q\\\"b\\\\s/ \\b\\f\\n\\r\\t\\u0001\\u001f\x7f caf\xc3\xa9 \xe6\x97\xa5 "
            "\xf0\x9f\x99\x82\\u0000\":1.5}");
  auto back = parseUsage(*text);
  ASSERT_EQ(back.status, LoadStatus::Loaded);
  EXPECT_EQ(back.value, (UsageMap{{key, 1.5}}));
}

TEST(Writer, EveryControlCharacterRoundTrips) {
  Segment segment{std::string(), 1.0, 2.0};
  std::string all;
  for (int c = 0; c < 0x20; ++c) all.push_back(static_cast<char>(c));
  segment[0] = all;
  auto back = parseSegments(*serializeSegments({segment}));
  ASSERT_EQ(back.status, LoadStatus::Loaded);
  EXPECT_EQ(back.value, (SegmentList{segment}));
}

TEST(Writer, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  // Each of these would make a reader refuse the whole file.
  UsageMap usage{{"a\xff", 1.0},
                 {"b\xc0\xaf", 2.0},
                 {"c\xed\xa0\x80", 3.0},
                 {"d\xe6\x97", 4.0},
                 {"e\xf4\x90\x80\x80", 5.0}};
  auto text = serializeUsage(usage);
  ASSERT_TRUE(text);
  auto back = parseUsage(*text);
  ASSERT_EQ(back.status, LoadStatus::Loaded);
  const std::string r = "\xef\xbf\xbd";
  UsageMap expected{{"a" + r, 1.0},
                    {"b" + r + r, 2.0},
                    {"c" + r + r + r, 3.0},
                    {"d" + r + r, 4.0},
                    {"e" + r + r + r + r, 5.0}};
  EXPECT_EQ(back.value, expected);
}

TEST(Writer, UsageKeysThatWouldCollideAfterReplacementAreMerged) {
  UsageMap usage{{"a\xff", 1.5}, {"a\xfe", 2.0}, {"a\xef\xbf\xbd", 0.25}, {"b", 1.0}};
  auto text = serializeUsage(usage);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "{\"a\xef\xbf\xbd\":3.75,\"b\":1.0}");
  EXPECT_EQ(parseUsage(*text).status, LoadStatus::Loaded);
}

}  // namespace
}  // namespace quillmoss::daily
