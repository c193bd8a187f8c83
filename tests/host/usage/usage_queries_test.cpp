// The day queries: every reply byte for byte as the value-tree path wrote it, over ordinary,
// damaged and hostile day files, and dates that are not days.
#include "usage/usage_queries.h"

#include <gtest/gtest.h>

#include <limits>

#include "daily_data/daily_data.h"
#include "engine/standard_method_codec.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;
using host::DayQuery;
using Bytes = std::vector<std::uint8_t>;

// The replies as they were made before they were streamed: the file loaded into the tracker's
// values, converted into a channel value, then encoded. Kept here as the reference.
EncodableValue treeOf(const daily::JsonValue& value) {
  return std::visit(
      [](const auto& v) -> EncodableValue {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::nullptr_t>) {
          return EncodableValue();
        } else if constexpr (std::is_same_v<T, std::uint64_t>) {
          if (v <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return static_cast<std::int64_t>(v);
          }
          return static_cast<double>(v);
        } else if constexpr (std::is_same_v<T, daily::JsonArray>) {
          EncodableList list;
          for (const auto& element : v) list.push_back(treeOf(element));
          return list;
        } else if constexpr (std::is_same_v<T, daily::JsonObject>) {
          EncodableMap map;
          for (const auto& [name, member] : v) map[EncodableValue(name)] = treeOf(member);
          return map;
        } else {
          return v;
        }
      },
      value.value);
}

Bytes treeReply(DayQuery query, const std::filesystem::path& file) {
  EncodableValue value;
  if (query == DayQuery::Usage) {
    EncodableMap map;
    for (const auto& [key, seconds] : daily::loadUsage(file).value) map.emplace(key, seconds);
    value = map;
  } else if (query == DayQuery::Activity) {
    EncodableList list;
    for (const auto& interval : daily::loadActivity(file).value) {
      list.push_back(EncodableList(interval.begin(), interval.end()));
    }
    value = list;
  } else {
    EncodableList list;
    for (const auto& segment : daily::loadSegments(file).value) {
      EncodableList entries;
      for (const auto& entry : segment) entries.push_back(treeOf(entry));
      list.push_back(entries);
    }
    value = list;
  }
  return engine::encodeSuccessEnvelope(value);
}

std::string nested(int depth) {
  return std::string(depth, '[') + "1" + std::string(depth, ']');
}

// Many elements or long strings cross the codec's one-, three- and five-byte sizes.
std::string repeated(const std::string& item, int count) {
  std::string text = "[";
  for (int i = 0; i < count; ++i) text += (i ? "," : "") + item;
  return text + "]";
}

TEST(DayReply, EveryFileGivesTheBytesOfTheValueTreeReply) {
  const std::string longKey(70000, 'k');
  std::string manyKeys = "{";
  for (int i = 300; i > 0; --i)
    manyKeys += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  manyKeys.back() = '}';
  const struct {
    DayQuery query;
    std::string text;  // empty: no file
  } cases[] = {
      // Ordinary days, as the tracker writes them.
      {DayQuery::Usage, R"({"com.apple.Safari#example.org":95.5,"org.example.editor":310.0})"},
      {DayQuery::Activity, "[[1765000000.0,1765000615.25],[1765001000.5,1765001000.5]]"},
      {DayQuery::Segments, R"([["com.apple.Safari#example.org",1765000000.0,1765000060.5]])"},
      {DayQuery::Usage, "{}"},
      {DayQuery::Activity, "[]"},
      {DayQuery::Segments, "[]"},
      {DayQuery::Usage, ""},
      {DayQuery::Segments, ""},
      // Keys out of order, escaped, beyond ASCII, with NUL; integers and odd numbers.
      {DayQuery::Usage, R"({"b":1,"a\"q":-0.0,"\u00e9":2e3,"\u0000":3,"A":18446744073709551615})"},
      {DayQuery::Usage, manyKeys},
      {DayQuery::Usage, "{\"" + longKey + "\":1.5,\"x\":2}"},
      {DayQuery::Activity, "[[1765000000,1765000060.25],[3],[],[4,5,6],[-1e-300,1e300]]"},
      {DayQuery::Segments,
       R"([["com.a",1765000000,1765000010.5,-2],["com.b",2.0,9007199254740993,)"
       R"({"x":[true,null],"b":1,"x":{"z":0,"a":-1}}],["c",1],[],[null,false,"",[[]]],)"
       R"(["k",-9223372036854775808,18446744073709551615,2147483648,-2147483649]])"},
      {DayQuery::Segments, "[[\"" + longKey + "\",1,2.5],[\"" + std::string(300, 's') + "\"]]"},
      {DayQuery::Segments, repeated(R"(["k",1.5,2])", 70000)},
      {DayQuery::Activity, repeated("[1.5," + repeated("2", 300).substr(1), 3)},
      {DayQuery::Segments, "[[\"k\",1,2," + nested(40) + "]]"},
      // Damaged and hostile: each gives its empty value.
      {DayQuery::Usage, R"({"a":1,"b":"x"})"},
      {DayQuery::Usage, R"({"a":1.0,"b":2.0,"a":3.0})"},
      {DayQuery::Usage, R"({"b":1.0,"a":2.0,"b":3.0})"},
      {DayQuery::Usage, "{\"a\xff\":1.0}"},
      {DayQuery::Usage, "[]"},
      {DayQuery::Usage, R"({"a":1e400})"},
      {DayQuery::Activity, R"([[1,2],[3,"x"]])"},
      {DayQuery::Activity, "[[1.0,2.0],3.0]"},
      {DayQuery::Activity, "{}"},
      {DayQuery::Activity, "[[NaN,1.0]]"},
      {DayQuery::Activity, "[[1.0,2.0],]"},
      {DayQuery::Activity, nested(100000)},
      {DayQuery::Segments, R"([["a",1,2],7])"},
      {DayQuery::Segments, "[[\"k\",1,2," + nested(200) + "]]"},
      {DayQuery::Segments, std::string("[[\"a\",1,2]]\0", 12)},
      {DayQuery::Segments, "[[\"a\x01\",1,2]]"},
      {DayQuery::Segments, R"([["k",18446744073709551616,2]])"},
      {DayQuery::Segments, "[] x"},
      {DayQuery::Segments, "7"},
  };
  TempDir temp;
  const auto dataDir = temp.path() / "usage";
  const char* kinds[] = {"usage", "activity", "segments"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 120));
    const auto file =
        dataDir / (std::string(kinds[static_cast<int>(c.query)]) + "_2026-12-06.json");
    std::filesystem::remove(file);
    if (!c.text.empty()) {
      ASSERT_TRUE(writeBytes(file, c.text));
    }
    EXPECT_EQ(host::dayReply(c.query, dataDir, "2026-12-06", 0.0), treeReply(c.query, file));
  }
}

EncodableValue ask(DayQuery query, std::optional<std::string> date,
                   const std::filesystem::path& dir, double now = 0.0) {
  const Bytes bytes = host::dayReply(query, dir, date, now);
  return engine::decodeMethodReply(bytes.data(), bytes.size()).value().value;
}

// Empty values and the folder checks, as decoded values.
TEST(DayReply, DatesThatAreNotDaysAndPlacesThatAreNotFilesAnswerEmpty) {
  TempDir temp;
  const auto dataDir = temp.path() / "com.velbrook.quillmoss" / "usage";
  const EncodableValue emptyMap = EncodableMap{}, emptyList = EncodableList{};
  // With a folder "usage_.." in the data folder, "../../../secret" would name a file above it.
  std::filesystem::create_directories(dataDir / "usage_..");
  writeBytes(dataDir.parent_path() / "secret.json", R"({"stolen":1})");
  EXPECT_EQ(ask(DayQuery::Usage, "../../../secret", dataDir), emptyMap);
  writeBytes(dataDir / "usage_2026-12-06.json", R"({"a":1})");
  for (const char* date : {"../../etc/passwd", "2026-12-06/../2026-12-06", ""}) {
    SCOPED_TRACE(date);
    EXPECT_EQ(ask(DayQuery::Usage, date, dataDir), emptyMap);
    EXPECT_EQ(ask(DayQuery::Segments, date, dataDir), emptyList);
  }
  EXPECT_EQ(ask(DayQuery::Usage, "2026-12-06", dataDir), EncodableValue(EncodableMap{{"a", 1.0}}));
  // A folder where the file should be, and no data folder at all.
  std::filesystem::create_directories(dataDir / "activity_2026-12-06.json");
  EXPECT_EQ(ask(DayQuery::Activity, "2026-12-06", dataDir), emptyList);
  EXPECT_EQ(ask(DayQuery::Usage, std::nullopt, std::filesystem::path()), emptyMap);
}

// The host runs for days, as the tracker does: both must mean the same day by "today".
TEST(DayReply, NoDateMeansTheDayInTheZoneAsItStandsNow) {
  TempDir temp;
  const auto dataDir = temp.path() / "usage";
  ASSERT_TRUE(writeBytes(dataDir / "usage_2025-12-05.json", R"({"west":1})"));
  ASSERT_TRUE(writeBytes(dataDir / "usage_2025-12-06.json", R"({"east":1})"));
  const double instant = 1765000000.0;  // 2025-12-06 05:46 UTC
  const ScopedEnv west("TZ", "AAA+12");
  EXPECT_EQ(ask(DayQuery::Usage, std::nullopt, dataDir, instant), (EncodableMap{{"west", 1.0}}));
  ::setenv("TZ", "BBB-14", 1);  // changed under the running host, as a desktop's settings do
  EXPECT_EQ(ask(DayQuery::Usage, std::nullopt, dataDir, instant), (EncodableMap{{"east", 1.0}}));
}

}  // namespace
}  // namespace quillmoss::testing
