// The day queries: conversions, damaged and missing files, and dates that are not days.
#include "usage/usage_queries.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;
using host::DayQuery;
using host::queryDay;

class QueryTest : public ::testing::Test {
 protected:
  void write(const std::string& kind, const std::string& text) {
    ASSERT_TRUE(writeBytes(dataDir / (kind + "_2026-12-06.json"), text));
  }
  EncodableValue ask(DayQuery query, std::optional<std::string> date = "2026-12-06") {
    return queryDay(query, dataDir, date, 0.0);
  }

  TempDir temp;
  std::filesystem::path dataDir = temp.path() / "com.velbrook.quillmoss" / "usage";
  const EncodableValue emptyMap = EncodableMap{};
  const EncodableValue emptyList = EncodableList{};
};

// Usage and activity numbers become doubles, segments keep integers; short elements pass.
TEST_F(QueryTest, EachKindAnswersItsFileConvertedOrItsEmptyValue) {
  const struct {
    DayQuery query;
    const char* kind;
    const char* text;  // null: no file.
    EncodableValue expected;
  } cases[] = {
      {DayQuery::Usage, "usage", nullptr, emptyMap},
      {DayQuery::Activity, "activity", nullptr, emptyList},
      {DayQuery::Segments, "segments", nullptr, emptyList},
      {DayQuery::Usage, "usage", R"({"a":1,"b":"x"})", emptyMap},
      {DayQuery::Activity, "activity", R"([[1,2],[3,"x"]])", emptyList},
      {DayQuery::Segments, "segments", R"([["a",1,2],7])", emptyList},
      {DayQuery::Usage, "usage", R"({"com.x":12})", EncodableMap{{"com.x", 12.0}}},
      {DayQuery::Activity, "activity", "[[1765000000,1765000060.25],[3],[]]",
       EncodableList{EncodableList{1765000000.0, 1765000060.25}, EncodableList{3.0},
                     EncodableList{}}},
      {DayQuery::Segments, "segments",
       R"([["com.a",1765000000,1765000010.5,-2],["com.b",2.0,9007199254740993,{"x":[true,null]}],["c",1]])",
       EncodableList{
           EncodableList{"com.a", std::int32_t{1765000000}, 1765000010.5, std::int32_t{-2}},
           EncodableList{"com.b", 2.0, std::int64_t{9007199254740993},
                         EncodableMap{{"x", EncodableList{true, EncodableValue()}}}},
           EncodableList{"c", std::int32_t{1}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text ? c.text : c.kind);
    if (c.text) write(c.kind, c.text);
    EXPECT_EQ(ask(c.query), c.expected);
  }
  // A folder where the file should be, and no data folder at all.
  std::filesystem::remove(dataDir / "usage_2026-12-06.json");
  std::filesystem::create_directories(dataDir / "usage_2026-12-06.json");
  EXPECT_EQ(ask(DayQuery::Usage), emptyMap);
  EXPECT_EQ(queryDay(DayQuery::Usage, std::filesystem::path(), std::nullopt, 0.0), emptyMap);
}

// The host runs for days, as the tracker does: both must mean the same day by "today".
TEST_F(QueryTest, NoDateMeansTheDayInTheZoneAsItStandsNow) {
  ASSERT_TRUE(writeBytes(dataDir / "usage_2025-12-05.json", R"({"west":1})"));
  ASSERT_TRUE(writeBytes(dataDir / "usage_2025-12-06.json", R"({"east":1})"));
  const double instant = 1765000000.0;  // 2025-12-06 05:46 UTC
  const ScopedEnv west("TZ", "AAA+12");
  EXPECT_EQ(queryDay(DayQuery::Usage, dataDir, std::nullopt, instant),
            (EncodableMap{{"west", 1.0}}));
  ::setenv("TZ", "BBB-14", 1);  // changed under the running host, as a desktop's settings do
  EXPECT_EQ(queryDay(DayQuery::Usage, dataDir, std::nullopt, instant),
            (EncodableMap{{"east", 1.0}}));
}

// With a folder "usage_.." in the data folder, "../../../secret" would name a file above it.
TEST_F(QueryTest, DatesThatAreNotDaysNeverReachTheFileSystem) {
  std::filesystem::create_directories(dataDir / "usage_..");
  writeBytes(dataDir.parent_path() / "secret.json", R"({"stolen":1})");
  EXPECT_EQ(ask(DayQuery::Usage, "../../../secret"), emptyMap);
  write("usage", R"({"a":1})");
  for (const char* date : {"../../etc/passwd", "2026-12-06/../2026-12-06", ""}) {
    SCOPED_TRACE(date);
    EXPECT_EQ(ask(DayQuery::Usage, date), emptyMap);
    EXPECT_EQ(ask(DayQuery::Segments, date), emptyList);
  }
  EXPECT_EQ(ask(DayQuery::Usage, "2026-12-06"), EncodableValue(EncodableMap{{"a", 1.0}}));
}

}  // namespace
}  // namespace quillmoss::testing
