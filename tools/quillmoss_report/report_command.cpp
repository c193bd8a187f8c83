// quillmoss-report: options, the calls to the host, the page and the summary.
#include "report_command.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "core/error.h"
#include "daily_data/daily_data.h"
#include "day_model.h"
#include "engine/engine_socket_path.h"
#include "report_format.h"
#include "report_page.h"
#include "report_summary.h"
#include "usage_channel.h"

namespace quillmoss::report {

namespace {

using engine::EncodableMap;
using engine::EncodableValue;
using engine::MethodCall;

const char kUsage[] =
    "usage: quillmoss-report [DAY] [--out FILE]\n"
    "  Asks the running quillmoss host for DAY (yyyy-MM-dd, default today) and writes it as\n"
    "  one HTML page, FILE (default quillmoss-report-DAY.html).\n"
    "  Exit status: 0 page written, 1 DAY is not a day (an empty page is written),\n"
    "  2 page not written, 3 no host running, 4 transport failure, 64 usage.\n";

// A day string that also names a day of the calendar (no 2026-02-30).
bool isCalendarDay(const std::string& text) {
  if (!daily::isDayString(text)) return false;
  const int year = std::atoi(text.substr(0, 4).c_str());
  const unsigned month = static_cast<unsigned>(std::atoi(text.substr(5, 2).c_str()));
  const unsigned day = static_cast<unsigned>(std::atoi(text.substr(8, 2).c_str()));
  return std::chrono::year_month_day(std::chrono::year(year), std::chrono::month(month),
                                     std::chrono::day(day))
      .ok();
}

MethodCall call(const char* method, const char* key, const std::string& value) {
  return MethodCall(method, EncodableValue(EncodableMap{{EncodableValue(key), value}}));
}

// Names for every row, icons for the applications, all asked in one pipelined batch.
Status label(UsageChannel& channel, DayReport& report) {
  std::vector<Row*> named;
  std::vector<Row*> drawn;
  std::vector<MethodCall> calls;
  for (Row* row : allRows(report)) {
    if (row->foldedKeys > 0) continue;
    named.push_back(row);
    calls.push_back(call("getAppName", "bundleId", row->key));
  }
  for (Row& app : report.applications) {
    if (app.foldedKeys > 0) continue;
    drawn.push_back(&app);
    calls.push_back(call("getAppIcon", "bundleId", app.key));
  }
  auto answers = channel.callAll(calls);
  if (!answers) return answers.error();
  for (std::size_t i = 0; i < named.size(); ++i) {
    if (const auto* name = (*answers)[i].getIf<std::string>()) named[i]->name = *name;
  }
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    if (const auto* png = (*answers)[named.size() + i].getIf<std::vector<std::uint8_t>>()) {
      drawn[i]->iconPng = *png;
    }
  }
  return {};
}

Expected<DayReport> askHost(UsageChannel& channel, const std::string& day) {
  auto answers = channel.callAll({call("getUsage", "date", day), call("getActivity", "date", day),
                                  call("getSegments", "date", day)});
  if (!answers) return answers.error();
  DayReport report = buildDayReport(day, (*answers)[0], (*answers)[1], (*answers)[2]);
  if (auto labelled = label(channel, report); !labelled) return labelled.error();
  return report;
}

}  // namespace

int runReportCommand(const std::vector<std::string>& arguments, double now, std::string& out,
                     std::string& err) {
  std::string outPath;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      out += kUsage;
      return kReportWritten;
    }
    if (argument == "--out") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        err += "quillmoss-report: --out needs a file name\n" + std::string(kUsage);
        return kReportUsage;
      }
      outPath = arguments[++i];
    } else if (argument.size() > 1 && argument[0] == '-') {
      err += "quillmoss-report: unknown option " + argument + "\n" + kUsage;
      return kReportUsage;
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() > 1) {
    err += std::string("quillmoss-report: one DAY at most\n") + kUsage;
    return kReportUsage;
  }
  const std::string day = positional.empty() ? daily::localDayString(now) : positional[0];
  const bool isDay = isCalendarDay(day);
  if (outPath.empty()) {
    outPath = isDay ? "quillmoss-report-" + day + ".html" : "quillmoss-report.html";
  }

  auto channel = UsageChannel::connect(engine::defaultEngineSocketPath());
  if (!channel) {
    err += "quillmoss-report: " + channel.error().message + "\n";
    return channel.error().code == kNoHost ? kReportNoHost : kReportTransportFailed;
  }
  DayReport report;
  if (isDay) {
    auto asked = askHost(*channel, day);
    if (!asked) {
      err += "quillmoss-report: " + asked.error().message + "\n";
      return kReportTransportFailed;
    }
    report = std::move(*asked);
  } else {
    report = emptyDayReport(
        day, "\u201c" + printable(day) + "\u201d is not a day; give one as yyyy-MM-dd.");
  }

  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(outPath, ignored);
  const Status written = absolute.empty()
                             ? Status(posixError("cannot write " + outPath, ENOENT))
                             : daily::writeFileAtomically(absolute, renderPage(report));
  if (!written) {
    err += "quillmoss-report: " + written.error().message + "\n";
    return kReportNotWritten;
  }
  out += renderSummary(report, absolute.string());
  if (!isDay) {
    err += "quillmoss-report: " + report.notice + " An empty report was written.\n";
    return kReportNotADay;
  }
  return kReportWritten;
}

}  // namespace quillmoss::report
