// The report over the host's answers: key grouping, odd entries, long tails, no markup injected.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "day_model.h"
#include "report_format.h"
#include "report_page.h"
#include "report_summary.h"

namespace quillmoss::report {
namespace {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;

EncodableValue usageOf(const std::vector<std::pair<std::string, double>>& entries) {
  EncodableMap map;
  for (const auto& [key, seconds] : entries) map[EncodableValue(key)] = EncodableValue(seconds);
  return map;
}

TEST(DayModel, KeysGroupUnderTheirBrowserOnlyWhenTheyNameOne) {
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"b#example.com", "b", true}, {"b#x#y", "b", true},      {"b#", "b", true},
      {"#lead", "#lead", false},    {"plain", "plain", false},
  };
  for (const auto& [key, application, domain] : cases) {
    const DayReport report =
        buildDayReport("2026-01-02", usageOf({{key, 7}}), EncodableList{}, EncodableList{});
    ASSERT_EQ(report.applications.size(), 1u) << key;
    EXPECT_EQ(report.applications[0].key, application) << key;
    EXPECT_EQ(report.applications[0].domains.size(), domain ? 1u : 0u) << key;
  }
}

TEST(DayModel, EntriesOfAnOddShapeAreLeftOutAndCounted) {
  const EncodableList segments{
      EncodableList{"a", 10, 20.5},                             // kept (integers too)
      EncodableList{"a", 30.0, 29.0},                           // ends before it starts
      EncodableList{"a", "10", 20.0},                           // a time as text
      EncodableList{EncodableValue("a"), EncodableValue(1.0)},  // too short
      EncodableValue(3),                                        // not a list
  };
  const EncodableList activity{EncodableList{EncodableValue(1.0), EncodableValue(2.0)},
                               std::vector<double>{4.0, 6.0}, EncodableList{EncodableValue(5.0)}};
  const DayReport report =
      buildDayReport("2026-01-02", usageOf({{"a", 5}}), EncodableValue(activity), segments);
  EXPECT_EQ(report.droppedEntries, 5u);
  ASSERT_EQ(report.applications[0].lane.size(), 1u);
  EXPECT_EQ(report.applications[0].lane[0].end, 20.5);
  EXPECT_EQ(report.activity.size(), 2u);
  EXPECT_NE(report.notice.find("5 entries"), std::string::npos);
}

TEST(DayModel, LongTailsFoldIntoOneRowAndSharesStillAddUp) {
  std::vector<std::pair<std::string, double>> usage;
  for (std::size_t i = 0; i < kMaxApplications + 5; ++i)
    usage.push_back({"app" + std::to_string(i), 1});
  for (std::size_t i = 0; i < kMaxDomainsPerApplication + 3; ++i)
    usage.push_back({"browser#site" + std::to_string(i), 2});
  const DayReport report =
      buildDayReport("2026-01-02", usageOf(usage), EncodableList{}, EncodableList{});
  ASSERT_EQ(report.applications.size(), kMaxApplications + 1);
  EXPECT_EQ(report.applications.front().key, "browser");
  EXPECT_EQ(report.applications.front().domains.back().foldedKeys, 3u);
  EXPECT_EQ(report.applications.back().foldedKeys, 6u);  // the browser took one place
  double shares = 0;
  for (const Row& app : report.applications) shares += app.share;
  EXPECT_NEAR(shares, 1.0, 1e-12);
}

TEST(DayModel, NothingAnsweredGivesAnEmptyReportThatSaysSo) {
  for (const EncodableValue& odd : {EncodableValue(), EncodableValue(EncodableList{}),
                                    EncodableValue("text"), EncodableValue(3)}) {
    const DayReport report = buildDayReport("2026-01-02", odd, odd, odd);
    EXPECT_TRUE(report.applications.empty());
    EXPECT_NE(report.notice.find("Nothing recorded for 2026-01-02"), std::string::npos);
    EXPECT_EQ(renderPage(report).find("class=\"row\""), std::string::npos);
  }
}

TEST(ReportFormat, TextFromTheHostCannotBecomeMarkup) {
  const std::pair<std::string, std::string> cases[] = {
      {"<script>&\"'", "&lt;script&gt;&amp;&quot;&#39;"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"bad\xC3(", "bad\xEF\xBF\xBD("},
      {std::string("nul\0bell\a", 9),
       "nul\xEF\xBF\xBD"
       "bell\xEF\xBF\xBD"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(escapeHtml(in), out);

  // Any X client can name its window: no terminal control reaches the summary either.
  const std::string controls =
      "\x1b]0;t\x07\x1b[2J\xc2\x9b"
      "31m\x7f";
  DayReport report = buildDayReport("2026-01-02", usageOf({{"<img src=x>" + controls, 1}}),
                                    EncodableList{}, EncodableList{});
  report.applications[0].name = "</span><b>" + controls;
  const std::string page = renderPage(report);
  EXPECT_EQ(page.find("<img src=x>"), std::string::npos);
  EXPECT_EQ(page.find("</span><b>"), std::string::npos);
  const std::string summary = renderSummary(report, "page.html");
  report.applications[0].name.reset();
  for (const std::string& text : {summary, renderSummary(report, "page.html")}) {
    EXPECT_EQ(std::count_if(text.begin(), text.end(),
                            [](char c) { return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7f; }),
              0);
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos);
  }
}

// Rows, names, keys, icons and pieces past their bounds, every key and name escape-heavy.
TEST(ReportPage, PageStaysWithinItsBoundWhateverTheKeys) {
  const std::string heavy(3 * kMaxShownTextBytes, '"');
  EncodableMap usage;
  EncodableList segments;
  for (std::size_t app = 0; app <= kMaxApplications; ++app) {
    const std::string browser = std::to_string(app) + heavy;
    for (std::size_t domain = 0; domain <= kMaxDomainsPerApplication; ++domain) {
      usage[EncodableValue(browser + "#" + std::to_string(domain) + heavy)] = 1.0;
    }
    for (int piece = 0; piece < 400; ++piece) {
      segments.push_back(EncodableList{browser, piece * 100.0 + app, piece * 100.0 + app + 1});
    }
  }
  EncodableList activity;
  for (int piece = 0; piece < 2000; ++piece)
    activity.push_back(std::vector<double>{piece * 50.0, piece * 50.0 + 1});
  DayReport report = buildDayReport("2026-01-02", usage, activity, segments);
  std::vector<std::uint8_t> icon(64 * 1024, 0);
  const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::copy(std::begin(signature), std::end(signature), icon.begin());
  for (Row* row : allRows(report)) row->name = heavy;
  for (Row& app : report.applications) app.iconPng = icon;
  std::size_t pieces = report.activity.size();
  for (const Row& app : report.applications) pieces += app.lane.size();
  EXPECT_LE(pieces, kMaxTimelinePieces);
  EXPECT_LE(renderPage(report).size(), kMaxPageBytes);
}

TEST(ReportFormat, DurationsNeverNegative) {
  EXPECT_EQ(formatDuration(-3), "0 s");
  EXPECT_EQ(formatDuration(185), "3 min 05 s");
  EXPECT_EQ(formatDuration(7620), "2 h 07 min");
}

}  // namespace
}  // namespace quillmoss::report
