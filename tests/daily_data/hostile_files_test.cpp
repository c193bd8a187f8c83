// Damaged and hostile day files load as Unusable and empty, never crash, never hang.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "daily_data/daily_data.h"
#include "temp_folder.h"

namespace quillmoss::daily {
namespace {

using testing::TempFolder;

struct HostileCase {
  const char* name;
  FileKind kind;
  std::function<std::string()> bytes;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
  *os << c.name;
}

std::string text(std::string_view s) {
  return std::string(s);
}

std::string nested(std::string_view open, std::string_view close, int depth) {
  std::string out;
  out.reserve((open.size() + close.size()) * static_cast<std::size_t>(depth) + 2);
  for (int i = 0; i < depth; ++i) out.append(open);
  out.append("1");
  for (int i = 0; i < depth; ++i) out.append(close);
  return out;
}

// A valid empty array padded with whitespace to the given size.
std::string spacedArray(std::size_t size) {
  std::string out(size, ' ');
  out.front() = '[';
  out.back() = ']';
  return out;
}

std::string withNul(std::string_view before, std::string_view after) {
  std::string out(before);
  out.push_back('\0');
  out.append(after);
  return out;
}

const HostileCase kCases[] = {
    {"TruncatedUsage", FileKind::Usage, [] { return text(R"({"a":1.5,"b")"); }},
    {"TruncatedActivity", FileKind::Activity, [] { return text("[[1.0,2.0],[3.0,"); }},
    {"TruncatedSegments", FileKind::Segments, [] { return text(R"([["k",1.0,2.0],["k",)"); }},
    {"TruncatedInsideString", FileKind::Segments, [] { return text(R"([["com.exa)"); }},
    {"FiftyMegabytes", FileKind::Segments, [] { return spacedArray(50u << 20); }},
    {"JustOverLimit", FileKind::Activity, [] { return spacedArray(kMaxDayFileBytes + 1); }},
    {"DeepArraysActivity", FileKind::Activity, [] { return nested("[", "]", 100000); }},
    {"DeepArraysSegments", FileKind::Segments, [] { return nested("[", "]", 100000); }},
    {"DeepObjectsUsage", FileKind::Usage, [] { return nested(R"({"a":)", "}", 100000); }},
    {"DeepInsideSegment", FileKind::Segments,
     [] { return "[[\"k\",1,2," + nested("[", "]", 200) + "]]"; }},
    {"UnclosedDeepArrays", FileKind::Segments, [] { return std::string(100000, '['); }},
    {"HugeDoubleUsage", FileKind::Usage, [] { return text(R"({"a":1e400})"); }},
    {"HugeNegativeDouble", FileKind::Activity, [] { return text("[[-1e400,1.0]]"); }},
    {"TwoToTheSeventy", FileKind::Activity, [] { return text("[[1180591620717411303424,1]]"); }},
    {"IntegerPastUint64", FileKind::Segments,
     [] { return text(R"([["k",18446744073709551616,2]])"); }},
    {"IntegerPastInt64Min", FileKind::Segments,
     [] { return text(R"([["k",-9223372036854775809,2]])"); }},
    {"StringForSeconds", FileKind::Usage, [] { return text(R"({"a":1.0,"b":"95.5"})"); }},
    {"NullForSeconds", FileKind::Usage, [] { return text(R"({"a":null})"); }},
    {"ArrayForSeconds", FileKind::Usage, [] { return text(R"({"a":[1]})"); }},
    {"ObjectForSeconds", FileKind::Usage, [] { return text(R"({"a":{}})"); }},
    {"BoolForSeconds", FileKind::Usage, [] { return text(R"({"a":true})"); }},
    {"StringForInstant", FileKind::Activity, [] { return text(R"([[1.0,2.0],[1.0,"2"]])"); }},
    {"NullForInstant", FileKind::Activity, [] { return text("[[1.0,null]]"); }},
    {"ScalarActivityElement", FileKind::Activity, [] { return text("[[1.0,2.0],3.0]"); }},
    {"ScalarSegmentElement", FileKind::Segments, [] { return text(R"([["k",1,2],"k"])"); }},
    {"ObjectSegmentElement", FileKind::Segments, [] { return text(R"([{"k":1}])"); }},
    {"DuplicateKeys", FileKind::Usage, [] { return text(R"({"a":1.0,"b":2.0,"a":3.0})"); }},
    {"InvalidUtf8Key", FileKind::Usage, [] { return text("{\"a\xff\":1.0}"); }},
    {"OverlongUtf8", FileKind::Segments, [] { return text("[[\"\xc0\xaf\",1,2]]"); }},
    {"Utf8Surrogate", FileKind::Segments, [] { return text("[[\"\xed\xa0\x80\",1,2]]"); }},
    {"TruncatedUtf8", FileKind::Usage, [] { return text("{\"\xe6\x97\":1.0}"); }},
    {"BareNumber", FileKind::Usage, [] { return text("5"); }},
    {"BareString", FileKind::Segments, [] { return text(R"("segments")"); }},
    {"BareNull", FileKind::Activity, [] { return text("null"); }},
    {"BareTrue", FileKind::Usage, [] { return text("true"); }},
    {"ArrayForUsage", FileKind::Usage, [] { return text("[]"); }},
    {"ObjectForActivity", FileKind::Activity, [] { return text("{}"); }},
    {"ObjectForSegments", FileKind::Segments, [] { return text("{}"); }},
    {"EmptyFile", FileKind::Usage, [] { return text(""); }},
    {"OnlyWhitespace", FileKind::Activity, [] { return text(" \n\t "); }},
    {"NulAfterDocument", FileKind::Usage, [] { return withNul(R"({"a":1.0})", ""); }},
    {"OnlyNul", FileKind::Segments, [] { return withNul("", ""); }},
    {"NulInsideKey", FileKind::Usage, [] { return withNul(R"({"a)", R"(":1.0})"); }},
    {"NulBytesFile", FileKind::Activity, [] { return std::string(4096, '\0'); }},
    {"ControlCharInString", FileKind::Segments, [] { return text("[[\"a\x01\",1,2]]"); }},
    {"TwoDocuments", FileKind::Usage, [] { return text("{} {}"); }},
    {"TrailingGarbage", FileKind::Activity, [] { return text("[] x"); }},
    {"TrailingComma", FileKind::Activity, [] { return text("[[1.0,2.0],]"); }},
    {"SingleQuotes", FileKind::Usage, [] { return text("{'a':1.0}"); }},
    {"NaNLiteral", FileKind::Activity, [] { return text("[[NaN,1.0]]"); }},
    {"InfinityLiteral", FileKind::Usage, [] { return text(R"({"a":Infinity})"); }},
    {"LeadingZero", FileKind::Activity, [] { return text("[[01,2]]"); }},
    {"BadEscape", FileKind::Segments, [] { return text(R"([["\x41",1,2]])"); }},
};

struct Outcome {
  LoadStatus status;
  bool empty;
};

Outcome loadAs(FileKind kind, const std::filesystem::path& file) {
  switch (kind) {
    case FileKind::Usage: {
      auto r = loadUsage(file);
      return {r.status, r.value.empty()};
    }
    case FileKind::Activity: {
      auto r = loadActivity(file);
      return {r.status, r.value.empty()};
    }
    case FileKind::Segments: {
      auto r = loadSegments(file);
      return {r.status, r.value.empty()};
    }
  }
  return {LoadStatus::Loaded, false};
}

Outcome parseAs(FileKind kind, std::string_view bytes) {
  switch (kind) {
    case FileKind::Usage: {
      auto r = parseUsage(bytes);
      return {r.status, r.value.empty()};
    }
    case FileKind::Activity: {
      auto r = parseActivity(bytes);
      return {r.status, r.value.empty()};
    }
    case FileKind::Segments: {
      auto r = parseSegments(bytes);
      return {r.status, r.value.empty()};
    }
  }
  return {LoadStatus::Loaded, false};
}

class HostileFile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFile, LoadsAsUnusableAndEmpty) {
  const HostileCase& c = GetParam();
  TempFolder folder;
  const auto file = folder.path() / fileName(c.kind, "2026-12-06");
  const std::string bytes = c.bytes();
  testing::writeBytes(file, bytes);

  Outcome fromDisk = loadAs(c.kind, file);
  EXPECT_EQ(fromDisk.status, LoadStatus::Unusable);
  EXPECT_TRUE(fromDisk.empty);

  Outcome fromText = parseAs(c.kind, bytes);
  EXPECT_EQ(fromText.status, LoadStatus::Unusable);
  EXPECT_TRUE(fromText.empty);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFile, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileFile, LargestAllowedFileStillLoads) {
  TempFolder folder;
  const auto file = folder.path() / "activity_2026-12-06.json";
  testing::writeBytes(file, spacedArray(kMaxDayFileBytes));
  EXPECT_EQ(loadActivity(file).status, LoadStatus::Loaded);
}

TEST(HostileFile, NestingWithinSegmentEntriesUpToTheCapLoads) {
  auto r = parseSegments("[[\"k\",1,2," + nested("[", "]", 40) + "]]");
  ASSERT_EQ(r.status, LoadStatus::Loaded);
  ASSERT_EQ(r.value.size(), 1u);
  EXPECT_EQ(r.value[0].size(), 4u);
}

}  // namespace
}  // namespace quillmoss::daily
