// Shape checks of the three day files and how a file's state maps to a load status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "daily_data/daily_data.h"
#include "support/temp_dir.h"

namespace quillmoss::daily {
namespace {

TEST(Shapes, UsageIsAnObjectOfNumbersReadAsDoubles) {
  auto r =
      parseUsage(R"({"com.apple.Safari#example.org":95.5,"b\u00e9":310,"a\"q":-0.0,"\u0000":3})");
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  UsageMap expected{{"com.apple.Safari#example.org", 95.5},
                    {"b\xc3\xa9", 310.0},
                    {"a\"q", 0.0},
                    {std::string(1, '\0'), 3.0}};
  EXPECT_EQ(r.value, expected);
  EXPECT_TRUE(std::signbit(r.value["a\"q"]));
  EXPECT_EQ(parseUsage(" {} ").status, LoadStatus::Loaded);
}

TEST(Shapes, ElementsAreKeptAsTheFileHoldsThem) {
  auto activity = parseActivity("[[1.0,2.0],[3.0],[],[4,5,6]]");
  ASSERT_EQ(activity.status, LoadStatus::Loaded);
  EXPECT_EQ(activity.value, (ActivityList{{1.0, 2.0}, {3.0}, {}, {4.0, 5.0, 6.0}}));

  auto r = parseSegments(R"([["k",1,2.5],["k",1],[],[null,true,"x"],["k",1,2,{"b":1,"a":[2.0]}]])");
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  SegmentList expected{
      {std::string("k"), std::int64_t{1}, 2.5},
      {std::string("k"), std::int64_t{1}},
      {},
      {nullptr, true, std::string("x")},
      {std::string("k"), std::int64_t{1}, std::int64_t{2},
       JsonObject{{"b", std::int64_t{1}}, {"a", JsonArray{2.0}}}},
  };
  EXPECT_EQ(r.value, expected);
}

TEST(LoadStatusOnDisk, MissingOrUnusable) {
  quillmoss::testing::TempDir folder;
  const auto dir = folder.path();
  auto missing = loadUsage(dir / "usage_2026-12-06.json");
  EXPECT_EQ(missing.status, LoadStatus::Missing);
  EXPECT_TRUE(missing.value.empty());
  EXPECT_EQ(loadActivity(dir / "nowhere" / "a.json").status, LoadStatus::Missing);

  std::filesystem::create_directory(dir / "segments_2026-12-06.json");
  EXPECT_EQ(loadSegments(dir / "segments_2026-12-06.json").status, LoadStatus::Unusable);
  quillmoss::testing::writeBytes(dir / "usage", "{}");
  EXPECT_EQ(loadUsage(dir / "usage" / "usage_2026-12-06.json").status, LoadStatus::Unusable);
  ASSERT_EQ(::mkfifo((dir / "fifo.json").c_str(), 0600), 0);  // must not block
  EXPECT_EQ(loadActivity(dir / "fifo.json").status, LoadStatus::Unusable);
}

}  // namespace
}  // namespace quillmoss::daily
