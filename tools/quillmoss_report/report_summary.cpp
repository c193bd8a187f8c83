// The printed summary: total, then application and domain lines in the page's order.
#include "report_summary.h"

#include <algorithm>

#include "report_format.h"

namespace quillmoss::report {

namespace {

std::size_t codePoints(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// Names longer than this are cut so that lines stay readable in a terminal.
constexpr std::size_t kNameColumn = 32;

std::string cut(std::string text) {
  if (codePoints(text) <= kNameColumn) return text;
  std::size_t kept = 0;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++kept == kNameColumn) break;
  }
  return text.substr(0, i) + "\u2026";
}

}  // namespace

std::string renderSummary(const DayReport& report, const std::string& pagePath) {
  std::string out = "Screen time on " + printable(report.day) + ": " +
                    formatDuration(report.total) + " in " +
                    std::to_string(report.applications.size()) +
                    (report.applications.size() == 1 ? " application\n" : " applications\n");
  if (!report.notice.empty()) out += "  " + printable(report.notice, std::string::npos) + "\n";
  const auto line = [&out](const Row& row, std::size_t indent) {
    std::string name = std::string(indent, ' ') + cut(displayName(row));
    if (row.foldedKeys == 0 && knownName(row).empty()) name += " (no name)";
    const std::size_t width = codePoints(name);
    out += "  " + name + std::string(width < 44 ? 44 - width : 1, ' ');
    const std::string time = formatDuration(row.seconds);
    out += std::string(time.size() < 12 ? 12 - time.size() : 0, ' ') + time;
    const std::string share = formatShare(row.share);
    out += std::string(share.size() < 9 ? 9 - share.size() : 0, ' ') + share + "\n";
  };
  for (const Row& app : report.applications) {
    line(app, 0);
    for (const Row& domain : app.domains) line(domain, 2);
  }
  out += "Report: " + printable(pagePath, std::string::npos) + "\n";
  return out;
}

}  // namespace quillmoss::report
