// Reading day files: shapes, load statuses, hostile files that load as Unusable and empty.
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
  UsageMap expected{{"com.apple.Safari#example.org", 95.5},
                    {"b\xc3\xa9", 310.0},
                    {"a\"q", 0.0},
                    {std::string(1, '\0'), 3.0}};
  EXPECT_EQ(r.value, expected);
  EXPECT_TRUE(std::signbit(r.value["a\"q"]));
  EXPECT_EQ(parseUsage(" {} ").status, LoadStatus::Loaded);
}

TEST(Shapes, ElementsAreKeptAsTheFileHoldsThem) {
  EXPECT_EQ(parseActivity("[[1.0,2.0],[3.0],[],[4,5,6]]").value,
            (ActivityList{{1.0, 2.0}, {3.0}, {}, {4.0, 5.0, 6.0}}));

  auto r = parseSegments(R"([["k",1,2.5],["k",1],[],[null,true,"x"],["k",1,2,{"b":1,"a":[2.0]}]])");
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
  EXPECT_EQ(loadUsage(dir / "usage_2026-12-06.json").status, LoadStatus::Missing);
  EXPECT_EQ(loadActivity(dir / "nowhere" / "a.json").status, LoadStatus::Missing);

  std::filesystem::create_directory(dir / "segments_2026-12-06.json");
  EXPECT_EQ(loadSegments(dir / "segments_2026-12-06.json").status, LoadStatus::Unusable);
  quillmoss::testing::writeBytes(dir / "usage", "{}");
  EXPECT_EQ(loadUsage(dir / "usage" / "usage_2026-12-06.json").status, LoadStatus::Unusable);
  ASSERT_EQ(::mkfifo((dir / "fifo.json").c_str(), 0600), 0);  // must not block
  EXPECT_EQ(loadActivity(dir / "fifo.json").status, LoadStatus::Unusable);
}

// A valid value inside `depth` arrays.
std::string nested(int depth) {
  return std::string(depth, '[') + "1" + std::string(depth, ']');
}

TEST(HostileFile, EveryCaseLoadsAsUnusableAndEmptyAndFilesAtTheLimitsStillLoad) {
  using enum FileKind;
  const struct {
    const char* name;
    FileKind kind;
    std::string bytes;
    LoadStatus status = LoadStatus::Unusable;
  } cases[] = {
      {"TruncatedUsage", Usage, R"({"a":1.5,"b")"},
      {"JustOverLimit", Activity, "[" + std::string(kMaxDayFileBytes - 1, ' ') + "]"},
      {"DeepArraysActivity", Activity, nested(100000)},
      {"DeepInsideSegment", Segments, "[[\"k\",1,2," + nested(200) + "]]"},
      {"UnclosedDeepArrays", Segments, std::string(100000, '[')},
      {"HugeDoubleUsage", Usage, R"({"a":1e400})"},
      {"IntegerPastUint64", Segments, R"([["k",18446744073709551616,2]])"},
      {"StringForSeconds", Usage, R"({"a":1.0,"b":"95.5"})"},
      {"StringForInstant", Activity, R"([[1.0,2.0],[1.0,"2"]])"},
      {"ScalarActivityElement", Activity, "[[1.0,2.0],3.0]"},
      {"ScalarSegmentElement", Segments, R"([["k",1,2],"k"])"},
      {"DuplicateKeys", Usage, R"({"a":1.0,"b":2.0,"a":3.0})"},
      {"InvalidUtf8Key", Usage, "{\"a\xff\":1.0}"},
      {"ArrayForUsage", Usage, "[]"},
      {"ObjectForActivity", Activity, "{}"},
      {"ObjectForSegments", Segments, "{}"},
      {"EmptyFile", Usage, ""},
      {"NulAfterDocument", Usage, std::string("{\"a\":1.0}\0", 10)},
      {"NulInsideKey", Usage, std::string("{\"a\0\":1.0}", 10)},
      {"NulBytesFile", Activity, std::string(4096, '\0')},
      {"ControlCharInString", Segments, "[[\"a\x01\",1,2]]"},
      {"TrailingGarbage", Activity, "[] x"},
      {"TrailingComma", Activity, "[[1.0,2.0],]"},
      {"NaNLiteral", Activity, "[[NaN,1.0]]"},
      {"LeadingZero", Activity, "[[01,2]]"},
      {"BadEscape", Segments, R"([["\x41",1,2]])"},
      // At the limits, still a file.
      {"AtTheSizeLimit", Activity, "[" + std::string(kMaxDayFileBytes - 2, ' ') + "]",
       LoadStatus::Loaded},
      {"ModestNesting", Segments, "[[\"k\",1,2," + nested(40) + "]]", LoadStatus::Loaded},
  };
  quillmoss::testing::TempDir folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = folder.path() / fileName(c.kind, "2026-12-06");
    quillmoss::testing::writeBytes(file, c.bytes);
    // Both readers, from disk and from text, give the same status; Unusable comes empty.
    const auto check = [&](auto load, auto parse) {
      for (const auto& r : {load(file), parse(c.bytes)}) {
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(c.status == LoadStatus::Loaded || r.value.empty());
      }
    };
    if (c.kind == FileKind::Usage) check(loadUsage, parseUsage);
    if (c.kind == FileKind::Activity) check(loadActivity, parseActivity);
    if (c.kind == FileKind::Segments) check(loadSegments, parseSegments);
  }
}

TEST(HostileFile, TheWorstRealisticDayTheWriterMakesReadsBack) {
  // A switch every 0.43 s around the clock under long browser keys: more than 16 MiB.
  SegmentList segments;
  for (int i = 0; i < 200000; ++i) {
    const double at = 1796515200.123456 + 0.432 * i;
    segments.push_back(Segment{
        "org.mozilla.firefox#docs.some-long-domain-" + std::to_string(i % 97) + ".example.com", at,
        at + 0.3});
  }
  const auto bytes = serializeSegments(segments);
  ASSERT_TRUE(bytes);
  EXPECT_GT(bytes->size(), 16u << 20);
  quillmoss::testing::TempDir folder;
  const auto file = folder.path() / "segments_2026-12-06.json";
  ASSERT_TRUE(writeFileAtomically(file, *bytes));
  const auto loaded = loadSegments(file);
  ASSERT_EQ(loaded.status, LoadStatus::Loaded);
  EXPECT_EQ(loaded.value, segments);
}

}  // namespace
}  // namespace quillmoss::daily
