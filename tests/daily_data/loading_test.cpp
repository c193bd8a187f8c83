// Shape checks of the three day files and how a file's state maps to a load status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>

#include "daily_data/daily_data.h"
#include "temp_folder.h"

namespace quillmoss::daily {
namespace {

using testing::TempFolder;

TEST(UsageShape, ObjectOfNumbersLoadsIntegersAsDoubles) {
  auto r = parseUsage(R"({"com.apple.Safari#example.org":95.5,"org.example.editor":310,"z":-0.0})");
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  UsageMap expected{
      {"com.apple.Safari#example.org", 95.5}, {"org.example.editor", 310.0}, {"z", 0.0}};
  EXPECT_EQ(r.value, expected);
  EXPECT_TRUE(std::signbit(r.value["z"]));
}

TEST(UsageShape, EmptyObjectIsAUsableFile) {
  auto r = parseUsage(" {} ");
  EXPECT_EQ(r.status, LoadStatus::Loaded);
  EXPECT_TRUE(r.value.empty());
}

TEST(UsageShape, UnsortedAndEscapedKeysAreRead) {
  auto r = parseUsage(R"({"b\u00e9":1,"a\"q":2.5,"\u0000":3})");
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  UsageMap expected{{"b\xc3\xa9", 1.0}, {"a\"q", 2.5}, {std::string(1, '\0'), 3.0}};
  EXPECT_EQ(r.value, expected);
}

TEST(ActivityShape, ShortElementsAreDroppedAndLongerOnesKept) {
  auto r = parseActivity("[[1.0,2.0],[3.0],[],[4,5,6],[7.5,8.5]]");
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  ActivityList expected{{1.0, 2.0}, {4.0, 5.0, 6.0}, {7.5, 8.5}};
  EXPECT_EQ(r.value, expected);
}

TEST(ActivityShape, OnlyShortElementsGiveAnEmptyButUsableList) {
  auto r = parseActivity("[[1.0],[]]");
  EXPECT_EQ(r.status, LoadStatus::Loaded);
  EXPECT_TRUE(r.value.empty());
}

TEST(SegmentsShape, ShortElementsAreDroppedAndEntriesKeptAsRead) {
  auto r = parseSegments(R"([["k",1,2.5],["k",1],[],[null,true,"x"],["k",1,2,{"b":1,"a":[2.0]}]])");
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  SegmentList expected{
      {std::string("k"), std::int64_t{1}, 2.5},
      {nullptr, true, std::string("x")},
      {std::string("k"), std::int64_t{1}, std::int64_t{2},
       JsonObject{{"b", std::int64_t{1}}, {"a", JsonArray{2.0}}}},
  };
  EXPECT_EQ(r.value, expected);
}

TEST(SegmentsShape, NumbersKeepTheirKind) {
  auto r = parseSegments(R"([["k",-3,18446744073709551615,1e2,-0.0]])");
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  ASSERT_EQ(r.value.size(), 1u);
  const Segment& s = r.value[0];
  EXPECT_EQ(s[1].value, JsonValue::Variant(std::int64_t{-3}));
  EXPECT_EQ(s[2].value, JsonValue::Variant(std::uint64_t{18446744073709551615u}));
  EXPECT_EQ(s[3].value, JsonValue::Variant(100.0));
  ASSERT_TRUE(std::holds_alternative<double>(s[4].value));
  EXPECT_TRUE(std::signbit(std::get<double>(s[4].value)));
}

TEST(JsonValueNumbers, AsDoubleConvertsEveryNumberKindAndNothingElse) {
  EXPECT_EQ(JsonValue(std::int64_t{-7}).asDouble(), -7.0);
  EXPECT_EQ(JsonValue(std::uint64_t{1} << 63).asDouble(), 9223372036854775808.0);
  EXPECT_EQ(JsonValue(2.25).asDouble(), 2.25);
  EXPECT_EQ(JsonValue(std::string("5")).asDouble(), 0.0);
  EXPECT_EQ(JsonValue().asDouble(), 0.0);
  EXPECT_FALSE(JsonValue(true).isNumber());
}

TEST(LoadStatusOnDisk, MissingFileIsMissingAndEmpty) {
  TempFolder folder;
  auto usage = loadUsage(folder.path() / "usage_2026-12-06.json");
  EXPECT_EQ(usage.status, LoadStatus::Missing);
  EXPECT_TRUE(usage.value.empty());
  EXPECT_EQ(loadActivity(folder.path() / "nowhere" / "a.json").status, LoadStatus::Missing);
}

TEST(LoadStatusOnDisk, DirectoryAtThePathIsUnusable) {
  TempFolder folder;
  const auto file = folder.path() / "segments_2026-12-06.json";
  std::filesystem::create_directory(file);
  EXPECT_EQ(loadSegments(file).status, LoadStatus::Unusable);
}

TEST(LoadStatusOnDisk, PathThroughARegularFileIsUnusable) {
  TempFolder folder;
  testing::writeBytes(folder.path() / "usage", "{}");
  EXPECT_EQ(loadUsage(folder.path() / "usage" / "usage_2026-12-06.json").status,
            LoadStatus::Unusable);
}

TEST(LoadStatusOnDisk, FifoAtThePathIsUnusableWithoutBlocking) {
  TempFolder folder;
  const auto file = folder.path() / "activity_2026-12-06.json";
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_EQ(loadActivity(file).status, LoadStatus::Unusable);
}

TEST(LoadStatusOnDisk, WrittenFilesLoadBack) {
  TempFolder folder;
  const auto dir = folder.path();
  testing::writeBytes(dir / "usage_2026-12-06.json", R"({"a":1.5})");
  testing::writeBytes(dir / "activity_2026-12-06.json", "[[1,2]]");
  testing::writeBytes(dir / "segments_2026-12-06.json", R"([["a",1,2]])");
  auto usage = loadUsage(dir / "usage_2026-12-06.json");
  auto activity = loadActivity(dir / "activity_2026-12-06.json");
  auto segments = loadSegments(dir / "segments_2026-12-06.json");
  EXPECT_EQ(usage.status, LoadStatus::Loaded);
  EXPECT_EQ(usage.value, (UsageMap{{"a", 1.5}}));
  EXPECT_EQ(activity.status, LoadStatus::Loaded);
  EXPECT_EQ(activity.value, (ActivityList{{1.0, 2.0}}));
  EXPECT_EQ(segments.status, LoadStatus::Loaded);
  EXPECT_EQ(segments.value.size(), 1u);
}

}  // namespace
}  // namespace quillmoss::daily
