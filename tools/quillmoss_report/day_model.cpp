// Grouping, sorting, folding and merging of one day's answers.
#include "day_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

namespace quillmoss::report {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;

namespace {

std::optional<double> finiteNumber(const EncodableValue& value) {
  double number = 0;
  if (const auto* d = value.getIf<double>()) {
    number = *d;
  } else if (value.isInteger()) {
    number = static_cast<double>(value.longValue());
  } else {
    return std::nullopt;
  }
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

std::optional<Interval> interval(const EncodableValue& startValue, const EncodableValue& endValue) {
  const auto start = finiteNumber(startValue);
  const auto end = finiteNumber(endValue);
  if (!start || !end || *end < *start) return std::nullopt;
  return Interval{*start, *end};
}

// The browser's key for "browser#domain"; nullopt for a key that is its own application.
std::optional<std::string> browserOf(const std::string& key) {
  const auto hash = key.find('#');
  if (hash == std::string::npos || hash == 0) return std::nullopt;
  return key.substr(0, hash);
}

void mergeInto(std::vector<Interval>& pieces, double tolerance) {
  std::sort(pieces.begin(), pieces.end(),
            [](const Interval& a, const Interval& b) { return a.start < b.start; });
  std::vector<Interval> merged;
  for (const Interval& piece : pieces) {
    if (!merged.empty() && piece.start - merged.back().end <= tolerance) {
      merged.back().end = std::max(merged.back().end, piece.end);
    } else {
      merged.push_back(piece);
    }
  }
  pieces = std::move(merged);
}

void sortByTime(std::vector<Row>& rows) {
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return a.seconds != b.seconds ? a.seconds > b.seconds : a.key < b.key;
  });
}

// Keeps the first `limit` rows and sums the rest into one row without a key.
void foldBeyond(std::vector<Row>& rows, std::size_t limit) {
  if (rows.size() <= limit) return;
  Row rest;
  for (std::size_t i = limit; i < rows.size(); ++i) {
    rest.seconds += rows[i].seconds;
    rest.foldedKeys += 1 + rows[i].domains.size();
    rest.lane.insert(rest.lane.end(), rows[i].lane.begin(), rows[i].lane.end());
  }
  rows.resize(limit);
  rows.push_back(std::move(rest));
}

struct Application {
  double ownSeconds = 0;
  std::map<std::string, double> domains;
  std::vector<Interval> lane;
};

}  // namespace

DayReport emptyDayReport(const std::string& day, const std::string& notice) {
  DayReport report;
  report.day = day;
  report.notice = notice;
  return report;
}

DayReport buildDayReport(const std::string& day, const EncodableValue& usage,
                         const EncodableValue& activity, const EncodableValue& segments) {
  DayReport report;
  report.day = day;
  std::map<std::string, Application> applications;
  const auto credit = [&](const std::string& key) -> std::pair<Application&, double*> {
    if (auto browser = browserOf(key)) {
      Application& app = applications[*browser];
      return {app, &app.domains[key]};
    }
    Application& app = applications[key];
    return {app, &app.ownSeconds};
  };

  if (const auto* map = usage.getIf<EncodableMap>()) {
    for (const auto& [keyValue, secondsValue] : *map) {
      const auto* key = keyValue.getIf<std::string>();
      const auto seconds = finiteNumber(secondsValue);
      if (!key || !seconds) {
        ++report.droppedEntries;
        continue;
      }
      *credit(*key).second += *seconds;
      report.total += *seconds;
    }
  }

  double first = std::numeric_limits<double>::infinity();
  double last = -first;
  const auto widenAxis = [&](const Interval& piece) {
    first = std::min(first, piece.start);
    last = std::max(last, piece.end);
  };
  if (const auto* list = segments.getIf<EncodableList>()) {
    for (const auto& element : *list) {
      const auto* entries = element.getIf<EncodableList>();
      const std::string* key = nullptr;
      std::optional<Interval> piece;
      if (entries && entries->size() >= 3) {
        key = (*entries)[0].getIf<std::string>();
        piece = interval((*entries)[1], (*entries)[2]);
      }
      if (!key || !piece) {
        ++report.droppedEntries;
        continue;
      }
      credit(*key).first.lane.push_back(*piece);
      widenAxis(*piece);
    }
  }
  if (const auto* list = activity.getIf<EncodableList>()) {
    for (const auto& element : *list) {
      std::optional<Interval> piece;
      if (const auto* entries = element.getIf<EncodableList>(); entries && entries->size() >= 2) {
        piece = interval((*entries)[0], (*entries)[1]);
      } else if (const auto* numbers = element.getIf<std::vector<double>>();
                 numbers && numbers->size() >= 2) {
        piece = interval((*numbers)[0], (*numbers)[1]);
      }
      if (!piece) {
        ++report.droppedEntries;
        continue;
      }
      report.activity.push_back(*piece);
      widenAxis(*piece);
    }
  }
  if (first <= last) report.axis = {first, last};
  const double span = report.axis.end - report.axis.start;

  for (auto& [key, app] : applications) {
    Row row;
    row.key = key;
    row.seconds = app.ownSeconds;
    for (const auto& [domainKey, seconds] : app.domains) {
      Row domain;
      domain.key = domainKey;
      domain.seconds = seconds;
      row.seconds += seconds;
      row.domains.push_back(std::move(domain));
    }
    sortByTime(row.domains);
    foldBeyond(row.domains, kMaxDomainsPerApplication);
    row.lane = std::move(app.lane);
    report.applications.push_back(std::move(row));
  }
  sortByTime(report.applications);
  foldBeyond(report.applications, kMaxApplications);
  const bool shares = std::isfinite(report.total) && report.total > 0;
  for (Row* row : allRows(report)) {
    row->share = shares ? std::clamp(row->seconds / report.total, 0.0, 1.0) : 0.0;
  }
  // Coarser steps until the pieces fit (eleven at most: a step as long as the span leaves one
  // piece per lane).
  for (double tolerance = span * kTimelineResolution;; tolerance *= 2) {
    std::size_t pieces = 0;
    for (Row* row : allRows(report)) {
      mergeInto(row->lane, tolerance);
      pieces += row->lane.size();
    }
    mergeInto(report.activity, tolerance);
    pieces += report.activity.size();
    if (pieces <= kMaxTimelinePieces || !(tolerance < span)) break;
  }

  if (report.applications.empty() && report.activity.empty()) {
    report.notice = "Nothing recorded for " + day +
                    ": there are no day files, or the host could not read them.";
  }
  if (report.droppedEntries > 0) {
    if (!report.notice.empty()) report.notice += " ";
    report.notice +=
        std::to_string(report.droppedEntries) + " entries of an unexpected shape were left out.";
  }
  return report;
}

std::vector<Row*> allRows(DayReport& report) {
  std::vector<Row*> rows;
  for (Row& application : report.applications) {
    rows.push_back(&application);
    for (Row& domain : application.domains) rows.push_back(&domain);
  }
  return rows;
}

}  // namespace quillmoss::report
