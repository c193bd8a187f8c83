// The command `quillmoss-report [DAY] [--out FILE]`: asks the running host for one day over
// its socket and writes the day as one HTML page.
#pragma once

#include <string>
#include <vector>

namespace quillmoss::report {

enum ReportExit {
  kReportWritten = 0,
  kReportNotADay = 1,  // an empty page that says so is written
  kReportNotWritten = 2,
  kReportNoHost = 3,
  kReportTransportFailed = 4,
  kReportUsage = 64,
};

// `arguments` excludes the program name; `now` picks today's day when DAY is left out.
// `out` and `err` receive what goes to standard output and standard error.
int runReportCommand(const std::vector<std::string>& arguments, double now, std::string& out,
                     std::string& err);

}  // namespace quillmoss::report
