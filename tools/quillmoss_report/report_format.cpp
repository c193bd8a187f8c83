// Text forms of durations, shares, times and names, and the two encodings the page needs.
#include "report_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "daily_data/json_text.h"

namespace quillmoss::report {

std::string formatDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  // Past a century the figure is nonsense anyway; keep the integer conversion defined.
  const auto whole = static_cast<long long>(std::llround(std::min(seconds, 3.2e9)));
  char text[48];
  if (whole < 60) {
    std::snprintf(text, sizeof text, "%lld s", whole);
  } else if (whole < 3600) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld h %02lld min", whole / 3600, whole / 60 % 60);
  }
  return text;
}

std::string formatShare(double share) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f %%", std::clamp(share, 0.0, 1.0) * 100);
  return text;
}

std::string formatClock(double instant, bool withSeconds) {
  // Beyond any calendar the tracker can write; also keeps the conversion defined.
  if (!std::isfinite(instant) || std::fabs(instant) > 1e12) return "--:--";
  const auto seconds = static_cast<std::time_t>(std::floor(instant));
  std::tm local{};
  if (!localtime_r(&seconds, &local)) return "--:--";
  char text[16];
  std::strftime(text, sizeof text, withSeconds ? "%H:%M:%S" : "%H:%M", &local);
  return text;
}

std::string formatNumber(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string knownName(const Row& row) {
  return row.name && !row.name->empty() ? *row.name : std::string();
}

std::string displayName(const Row& row) {
  if (row.foldedKeys > 0) return std::to_string(row.foldedKeys) + " more";
  std::string name = knownName(row);
  return name.empty() ? row.key : name;
}

std::string escapeHtml(std::string_view text) {
  const bool utf8 = daily::isValidUtf8(text);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if ((byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7f || (byte >= 0x80 && !utf8)) {
          out += "\xEF\xBF\xBD";
        } else {
          out += c;
        }
    }
  }
  return out;
}

}  // namespace quillmoss::report
