// The day queries: conversions, damaged and missing files, and dates that are not days.
#include "usage/usage_queries.h"

#include <gtest/gtest.h>

#include <fstream>

#include "daily_data/daily_data.h"
#include "usage_test_doubles.h"

namespace quillmoss::testing {
namespace {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;
using host::DayQuery;
using host::queryDay;

class QueryTest : public ::testing::Test {
 protected:
  void write(const std::string& name, const std::string& text) {
    std::filesystem::create_directories(dataDir);
    std::ofstream(dataDir / name, std::ios::binary) << text;
  }
  EncodableValue ask(DayQuery query, std::optional<std::string> date = "2026-12-06") {
    return queryDay(query, dataDir, date, 0.0);
  }

  TempDir temp;
  std::filesystem::path dataDir = temp.path() / "com.velbrook.quillmoss" / "usage";
  const EncodableValue emptyMap = EncodableMap{};
  const EncodableValue emptyList = EncodableList{};
};

// Elements shorter than their format are the tracker's concern; the UI gets what the file holds.
TEST_F(QueryTest, UsageAndActivityIntegersAreAnsweredAsDoubles) {
  write("usage_2026-12-06.json", R"({"com.x":12})");
  write("activity_2026-12-06.json", "[[1765000000,1765000060.25],[3],[]]");
  EXPECT_EQ(ask(DayQuery::Usage), EncodableValue(EncodableMap{{"com.x", 12.0}}));
  EXPECT_EQ(ask(DayQuery::Activity),
            EncodableValue(EncodableList{EncodableList{1765000000.0, 1765000060.25},
                                         EncodableList{3.0}, EncodableList{}}));
}

TEST_F(QueryTest, SegmentsPassThroughWithIntegersKeptAsIntegers) {
  write(
      "segments_2026-12-06.json",
      R"([["com.a",1765000000,1765000010.5,-2],["com.b",2.0,9007199254740993,{"x":[true,null]}],["c",1]])");
  const EncodableValue expected = EncodableList{
      EncodableList{"com.a", std::int32_t{1765000000}, 1765000010.5, std::int32_t{-2}},
      EncodableList{"com.b", 2.0, std::int64_t{9007199254740993},
                    EncodableMap{{"x", EncodableList{true, EncodableValue()}}}},
      EncodableList{"c", std::int32_t{1}}};
  EXPECT_EQ(ask(DayQuery::Segments), expected);
}

TEST_F(QueryTest, MissingOrDamagedFilesAnswerEmpty) {
  EXPECT_EQ(ask(DayQuery::Usage), emptyMap);
  EXPECT_EQ(ask(DayQuery::Activity), emptyList);
  EXPECT_EQ(ask(DayQuery::Segments), emptyList);

  // Which files are damaged is the day files' rule; each kind answers its own empty value.
  write("usage_2026-12-06.json", R"({"a":1,"b":"x"})");
  EXPECT_EQ(ask(DayQuery::Usage), emptyMap);
  write("activity_2026-12-06.json", R"([[1,2],[3,"x"]])");
  EXPECT_EQ(ask(DayQuery::Activity), emptyList);
  write("segments_2026-12-06.json", R"([["a",1,2],7])");
  EXPECT_EQ(ask(DayQuery::Segments), emptyList);
  // A folder where the file should be.
  std::filesystem::remove(dataDir / "usage_2026-12-06.json");
  std::filesystem::create_directories(dataDir / "usage_2026-12-06.json");
  EXPECT_EQ(ask(DayQuery::Usage), emptyMap);
}

// Path injection through "date": with a folder named "usage_.." in the data folder,
// "../../../secret" would name a file above the data folder.
TEST_F(QueryTest, DatesThatAreNotDaysNeverReachTheFileSystem) {
  std::filesystem::create_directories(dataDir / "usage_..");
  std::ofstream(dataDir.parent_path() / "secret.json") << R"({"stolen":1})";
  EXPECT_EQ(ask(DayQuery::Usage, "../../../secret"), emptyMap);
  for (const char* date : {"../../etc/passwd", "2026-12-06/../2026-12-06", ""}) {
    SCOPED_TRACE(date);
    write("usage_2026-12-06.json", R"({"a":1})");
    EXPECT_EQ(ask(DayQuery::Usage, date), emptyMap);
    EXPECT_EQ(ask(DayQuery::Segments, date), emptyList);
  }
  EXPECT_EQ(ask(DayQuery::Usage, "2026-12-06"), EncodableValue(EncodableMap{{"a", 1.0}}));
}

TEST_F(QueryTest, NoDataFolderAnswersEmpty) {
  EXPECT_EQ(queryDay(DayQuery::Usage, std::filesystem::path(), std::nullopt, 0.0), emptyMap);
}

}  // namespace
}  // namespace quillmoss::testing
