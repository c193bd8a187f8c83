// HTML of the report: the day's total, one bar per application, the timeline with its
// activity band. Everything that came from the host passes escapeHtml or base64.
#include "report_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iterator>

#include "core/base64.h"
#include "report_format.h"

namespace quillmoss::report {

namespace {

constexpr std::size_t kMaxIconBytes = 64 * 1024;
// Our own sentences, with at most a shown day in them.
constexpr std::size_t kMaxNoticeBytes = 4 * kMaxShownTextBytes;
constexpr int kMaxTicks = 8;

constexpr char kStyle[] = R"css(
:root{color-scheme:light dark;--bg:#fbfbf8;--fg:#1d1d1f;--muted:#66666c;--track:#e9e9e4;
--gap:#d6d6cf;--l:47%;--act:#2e8b57;--warn:#c77c02}
@media (prefers-color-scheme:dark){:root{--bg:#17181a;--fg:#ececec;--muted:#a3a3a9;
--track:#2a2b2f;--gap:#3b3c41;--l:63%;--act:#4cc38a;--warn:#f0a830}}
*{box-sizing:border-box}
body{margin:0 auto;max-width:62rem;padding:1.5rem;background:var(--bg);color:var(--fg);
font:15px/1.4 system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif}
h1{font-size:1.45rem;margin:0 0 .3rem}h2{font-size:1.1rem;margin:2rem 0 .8rem}
.total{margin:0;color:var(--muted)}.total strong{color:var(--fg);font-size:1.25rem}
.notice{margin:1rem 0;padding:.6rem .9rem;border-left:4px solid var(--warn);background:var(--track)}
ol{list-style:none;margin:0;padding:0}
.row{display:grid;grid-template-columns:32px minmax(7rem,15rem) 1fr 6.5rem 4.5rem;
grid-template-areas:"icon name bar time share";gap:.8rem;align-items:center;padding:.3rem 0}
.icon{grid-area:icon;width:32px;height:32px;border-radius:7px}
.letter{display:grid;place-items:center;color:#fff;font-weight:600;
background:hsl(var(--h) 55% var(--l))}
.name{grid-area:name;overflow:hidden;text-overflow:ellipsis;white-space:nowrap}
code{font:13px ui-monospace,"DejaVu Sans Mono",monospace;color:var(--muted)}
.bar{grid-area:bar;height:12px;background:var(--track);border-radius:6px;overflow:hidden}
.fill{display:block;height:100%;border-radius:6px;background:hsl(var(--h) 62% var(--l))}
.time,.share{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
.time{grid-area:time}.share{grid-area:share;color:var(--muted)}
.domains .row{padding:.1rem 0;font-size:.92em}.domains .name{padding-left:1rem}
.domains .fill{opacity:.6}
.lanes{display:grid;grid-template-columns:minmax(6rem,11rem) 1fr;gap:.4rem .8rem;
align-items:center}
.lane-name{overflow:hidden;text-overflow:ellipsis;white-space:nowrap}
.track{position:relative;height:18px;background:var(--track);border-radius:3px;overflow:hidden}
.track i{position:absolute;top:0;bottom:0;min-width:2px;background:hsl(var(--h) 62% var(--l))}
.activity .track{height:12px;
background:repeating-linear-gradient(135deg,var(--track) 0 5px,var(--gap) 5px 10px)}
.activity .track i{background:var(--act)}
.axis{position:relative;height:1.3rem;font-size:12px;color:var(--muted)}
.axis span{position:absolute;top:0;transform:translateX(-50%);white-space:nowrap}
.axis span:first-child{transform:none}.axis span:last-child{transform:translateX(-100%)}
.legend{margin:.8rem 0 0;font-size:13px;color:var(--muted)}
footer{margin-top:2.5rem;font-size:12px;color:var(--muted)}
@media (max-width:640px){body{padding:1rem}
.row{grid-template-columns:32px 1fr auto;grid-template-areas:"icon name time" "icon bar share";
gap:.2rem .6rem}
.lanes{grid-template-columns:1fr;gap:.15rem}.lane-name{font-size:13px;margin-top:.3rem}
.lanes .spacer{display:none}.axis span:nth-child(even):not(:last-child){visibility:hidden}}
)css";

// An even spread of hues, the same for an application's bar and its lane.
int hueOf(std::size_t index) {
  return static_cast<int>(std::fmod(210.0 + index * 137.508, 360.0));
}

std::string percent(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f%%", std::clamp(value, 0.0, 1.0) * 100);
  return text;
}

struct Axis {
  double start = 0;
  double end = 0;
  double step = 0;
  double position(double instant) const { return (instant - start) / (end - start); }
};

// A span on whole local steps (seconds, minutes or hours) with at most kMaxTicks intervals.
Axis niceAxis(Interval span) {
  static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                      600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
  const double length = std::max(span.end - span.start, 1.0);
  double step = std::ceil(length / kMaxTicks);
  for (double candidate : kSteps) {
    if (length / candidate <= kMaxTicks) {
      step = candidate;
      break;
    }
  }
  // Steps are counted from local midnight, so a tick reads 10:15 rather than 10:14:37.
  double offset = 0;
  if (std::fabs(span.start) < 1e12) {
    const auto start = static_cast<std::time_t>(span.start);
    std::tm local{};
    if (localtime_r(&start, &local)) offset = static_cast<double>(local.tm_gmtoff);
  }
  Axis axis{std::floor((span.start + offset) / step) * step - offset,
            std::ceil((span.end + offset) / step) * step - offset, step};
  if (axis.end <= axis.start) axis.end = axis.start + step;
  return axis;
}

class Page {
 public:
  explicit Page(const DayReport& report) : report_(report) {}

  std::string render() {
    out_ += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n";
    out_ += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out_ += "<meta name=\"color-scheme\" content=\"light dark\">\n";
    out_ += "<title>Screen time on " + escapeHtml(printable(report_.day)) + "</title>\n<style>";
    out_ += kStyle;
    out_ += "</style></head>\n<body>\n<header><h1>Screen time on <span class=\"day\">" +
            escapeHtml(printable(report_.day)) + "</span></h1>\n";
    out_ += "<p class=\"total\" data-seconds=\"" + formatNumber(report_.total) +
            "\">Total <strong>" + formatDuration(report_.total) + "</strong> in " +
            std::to_string(report_.applications.size()) +
            (report_.applications.size() == 1 ? " application" : " applications") +
            "</p></header>\n";
    if (!report_.notice.empty()) {
      out_ += "<p class=\"notice\">" + escapeHtml(printable(report_.notice, kMaxNoticeBytes)) +
              "</p>\n";
    }
    applications();
    timeline();
    out_ +=
        "<footer>Drawn by quillmoss-report from the answers of the quillmoss host.</footer>\n"
        "</body></html>\n";
    return std::move(out_);
  }

 private:
  void applications() {
    if (report_.applications.empty()) return;
    out_ += "<section class=\"applications\"><h2>Applications</h2>\n<ol>\n";
    for (std::size_t i = 0; i < report_.applications.size(); ++i) {
      const Row& app = report_.applications[i];
      out_ += "<li class=\"app\" style=\"--h:" + std::to_string(hueOf(i)) + "\">";
      row(app, true);
      if (!app.domains.empty()) {
        out_ += "<ol class=\"domains\">\n";
        for (const Row& domain : app.domains) {
          out_ += "<li class=\"domain\">";
          row(domain, false);
          out_ += "</li>\n";
        }
        out_ += "</ol>";
      }
      out_ += "</li>\n";
    }
    out_ += "</ol></section>\n";
  }

  void row(const Row& row, bool withIcon) {
    out_ += "<div class=\"row\" data-key=\"" + escapeHtml(printable(row.key)) +
            "\" data-seconds=\"" + formatNumber(row.seconds) + "\" data-share=\"" +
            formatNumber(row.share) + "\">";
    if (withIcon) icon(row);
    out_ += "<span class=\"name\">" + name(row) + "</span>";
    out_ += "<span class=\"bar\"><span class=\"fill\" style=\"width:" + percent(row.share) +
            "\"></span></span>";
    out_ += "<span class=\"time\">" + formatDuration(row.seconds) +
            "</span><span class=\"share\">" + formatShare(row.share) + "</span></div>";
  }

  static bool isPng(const std::vector<std::uint8_t>& bytes) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return bytes.size() > sizeof kSignature && bytes.size() <= kMaxIconBytes &&
           std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
  }

  void icon(const Row& row) {
    if (isPng(row.iconPng)) {
      out_ +=
          "<img class=\"icon\" width=\"32\" height=\"32\" alt=\"\" src=\"data:image/png;base64," +
          base64(row.iconPng) + "\">";
      return;
    }
    // No icon: the first letter of what names the row, on the application's colour.
    const std::string label = displayName(row);
    std::size_t length = label.empty() ? 0 : 1;
    while (length < label.size() && (static_cast<unsigned char>(label[length]) & 0xC0) == 0x80) {
      ++length;
    }
    out_ += "<span class=\"icon letter\" aria-hidden=\"true\">" +
            escapeHtml(label.substr(0, length)) + "</span>";
  }

  // The host's name, or the key itself set apart as a key; "N more" for folded rows.
  static std::string name(const Row& row) {
    if (row.foldedKeys > 0 || !knownName(row).empty()) return escapeHtml(displayName(row));
    return "<code class=\"key\" title=\"no name known for this key\">" +
           escapeHtml(displayName(row)) + "</code>";
  }

  void timeline() {
    if (report_.activity.empty() &&
        std::none_of(report_.applications.begin(), report_.applications.end(),
                     [](const Row& r) { return !r.lane.empty(); })) {
      return;
    }
    const Axis axis = niceAxis(report_.axis);
    const bool seconds = axis.step < 60;
    out_ += "<section class=\"timeline\"><h2>Timeline</h2>\n<div class=\"lanes\">\n";
    out_ += "<span class=\"spacer\"></span><div class=\"axis\">";
    for (double tick = axis.start; tick <= axis.end + axis.step / 2; tick += axis.step) {
      out_ += "<span style=\"left:" + percent(axis.position(tick)) + "\">" +
              formatClock(tick, seconds) + "</span>";
    }
    out_ += "</div>\n";
    for (std::size_t i = 0; i < report_.applications.size(); ++i) {
      const Row& app = report_.applications[i];
      out_ += "<span class=\"lane-name\">" + name(app) +
              "</span><div class=\"track lane\" style=\"--h:" + std::to_string(hueOf(i)) +
              "\" data-key=\"" + escapeHtml(printable(app.key)) + "\">";
      pieces(axis, app.lane);
      out_ += "</div>\n";
    }
    out_ +=
        "<span class=\"lane-name activity-name\">At the machine</span>"
        "<div class=\"activity\"><div class=\"track\">";
    pieces(axis, report_.activity);
    out_ +=
        "</div></div>\n</div>\n<p class=\"legend\">Each lane shows when the application was "
        "in front. The band below shows when someone was at the machine; stripes are time "
        "away, asleep or locked.</p></section>\n";
  }

  // The lane's name stands beside it, so a piece's title holds only its times.
  void pieces(const Axis& axis, const std::vector<Interval>& intervals) {
    for (const Interval& piece : intervals) {
      out_ += "<i data-s=\"" + formatNumber(piece.start) + "\" data-e=\"" +
              formatNumber(piece.end) + "\" style=\"left:" + percent(axis.position(piece.start)) +
              ";width:" + percent(axis.position(piece.end) - axis.position(piece.start)) +
              "\" title=\"" + formatClock(piece.start, true) + "\u2013" +
              formatClock(piece.end, true) + " (" + formatDuration(piece.end - piece.start) +
              ")\"></i>";
    }
  }

  const DayReport& report_;
  std::string out_;
};

}  // namespace

std::string renderPage(const DayReport& report) {
  return Page(report).render();
}

}  // namespace quillmoss::report
