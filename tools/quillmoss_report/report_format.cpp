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

std::string printable(std::string_view text, std::size_t maxBytes) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  static constexpr char kEllipsis[] = "\xE2\x80\xA6";
  const std::string valid = daily::withValidUtf8(text);
  std::string out;
  out.reserve(std::min(valid.size(), maxBytes));
  for (std::size_t i = 0; i < valid.size();) {
    const auto byte = static_cast<unsigned char>(valid[i]);
    const std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    const bool control =
        byte < 0x20 || byte == 0x7f ||
        (byte == 0xC2 && static_cast<unsigned char>(valid[i + 1]) < 0xA0);  // U+0080..U+009F
    const std::string_view shown =
        control ? std::string_view(kReplacement) : std::string_view(valid).substr(i, length);
    if (out.size() + shown.size() > maxBytes) {
      // Back to the last whole character that leaves room for the ellipsis.
      std::size_t end = std::min(out.size(), maxBytes - (sizeof kEllipsis - 1));
      while (end > 0 && end < out.size() && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80) {
        --end;
      }
      out.resize(end);
      return out + kEllipsis;
    }
    out += shown;
    i += length;
  }
  return out;
}

std::string knownName(const Row& row) {
  return row.name && !row.name->empty() ? *row.name : std::string();
}

std::string displayName(const Row& row) {
  if (row.foldedKeys > 0) return std::to_string(row.foldedKeys) + " more";
  std::string name = knownName(row);
  return printable(name.empty() ? row.key : name);
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
