// Compact JSON for the day files: numbers that read back identical, strings always valid UTF-8.
#include <charconv>
#include <cmath>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {
namespace {

// Shortest text that reads back as the same double. An integral value gets ".0" so it is
// read back as a double, not an integer. False for NaN and infinities, which JSON cannot hold.
bool appendDouble(std::string& out, double value) {
  if (!std::isfinite(value)) return false;
  char text[40];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  if (ec != std::errc()) return false;
  bool looksIntegral = true;
  for (const char* c = text; c != end; ++c) {
    if (*c == '.' || *c == 'e' || *c == 'E') {
      looksIntegral = false;
      break;
    }
  }
  out.append(text, end);
  if (looksIntegral) out.append(".0");
  return true;
}

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
  char text[24];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  out.append(text, end);
}

// Length of the well-formed UTF-8 sequence starting at text[i] (lead byte >= 0x80), or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  auto cont = [&](std::size_t k, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return k < text.size() && at(k) >= low && at(k) <= high;
  };
  unsigned char lead = at(i);
  if (lead >= 0xC2 && lead <= 0xDF) return cont(i + 1) ? 2 : 0;
  if (lead == 0xE0) return cont(i + 1, 0xA0, 0xBF) && cont(i + 2) ? 3 : 0;
  if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
    return cont(i + 1) && cont(i + 2) ? 3 : 0;
  }
  if (lead == 0xED) return cont(i + 1, 0x80, 0x9F) && cont(i + 2) ? 3 : 0;  // no surrogates
  if (lead == 0xF0) return cont(i + 1, 0x90, 0xBF) && cont(i + 2) && cont(i + 3) ? 4 : 0;
  if (lead >= 0xF1 && lead <= 0xF3) return cont(i + 1) && cont(i + 2) && cont(i + 3) ? 4 : 0;
  if (lead == 0xF4) return cont(i + 1, 0x80, 0x8F) && cont(i + 2) && cont(i + 3) ? 4 : 0;
  return 0;
}

// A quoted JSON string. Bytes that are not UTF-8 become U+FFFD: a reader rejects the whole
// file for one of them, which would cost the day far more than one odd key.
void appendString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t plainFrom = 0;
  std::size_t i = 0;
  auto flush = [&] { out.append(text.substr(plainFrom, i - plainFrom)); };
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      if (std::size_t length = utf8SequenceLength(text, i)) {
        i += length;
        continue;
      }
      flush();
      out.append("\xEF\xBF\xBD");
      plainFrom = ++i;
      continue;
    }
    flush();
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        out.append("\\u00");
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0xF]);
    }
    plainFrom = ++i;
  }
  flush();
  out.push_back('"');
}

bool isUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
    } else if (std::size_t length = utf8SequenceLength(text, i)) {
      i += length;
    } else {
      return false;
    }
  }
  return true;
}

// The text as the writer puts it on disk, unquoted: bad bytes replaced, nothing escaped.
std::string asWritten(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length =
        static_cast<unsigned char>(text[i]) < 0x80 ? 1 : utf8SequenceLength(text, i);
    if (length == 0) {
      out.append("\xEF\xBF\xBD");
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

bool appendValue(std::string& out, const JsonValue& value);

struct ValueWriter {
  std::string& out;
  bool operator()(std::nullptr_t) const {
    out.append("null");
    return true;
  }
  bool operator()(bool b) const {
    out.append(b ? "true" : "false");
    return true;
  }
  bool operator()(std::int64_t i) const {
    appendInteger(out, i);
    return true;
  }
  bool operator()(std::uint64_t u) const {
    appendInteger(out, u);
    return true;
  }
  bool operator()(double d) const { return appendDouble(out, d); }
  bool operator()(const std::string& s) const {
    appendString(out, s);
    return true;
  }
  bool operator()(const JsonArray& array) const {
    out.push_back('[');
    bool first = true;
    for (const JsonValue& item : array) {
      if (!first) out.push_back(',');
      first = false;
      if (!appendValue(out, item)) return false;
    }
    out.push_back(']');
    return true;
  }
  bool operator()(const JsonObject& object) const {
    out.push_back('{');
    bool first = true;
    for (const auto& [name, item] : object) {
      if (!first) out.push_back(',');
      first = false;
      appendString(out, name);
      out.push_back(':');
      if (!appendValue(out, item)) return false;
    }
    out.push_back('}');
    return true;
  }
};

bool appendValue(std::string& out, const JsonValue& value) {
  return std::visit(ValueWriter{out}, value.value);
}

}  // namespace

std::optional<std::string> serializeUsage(const UsageMap& usage) {
  // Keys that differ only in bytes that are not UTF-8 would be written as one name twice,
  // and a reader refuses repeated names; such keys are written once with their sum.
  for (const auto& [key, seconds] : usage) {
    if (isUtf8(key)) continue;
    UsageMap merged;
    for (const auto& [name, value] : usage) merged[asWritten(name)] += value;
    return serializeUsage(merged);
  }
  std::string out;
  std::size_t estimate = 2;
  for (const auto& [key, seconds] : usage) estimate += key.size() + 28;
  out.reserve(estimate);
  out.push_back('{');
  bool first = true;
  for (const auto& [key, seconds] : usage) {
    if (!first) out.push_back(',');
    first = false;
    appendString(out, key);
    out.push_back(':');
    if (!appendDouble(out, seconds)) return std::nullopt;
  }
  out.push_back('}');
  return out;
}

std::optional<std::string> serializeActivity(const ActivityList& activity) {
  std::string out;
  out.reserve(2 + activity.size() * 44);
  out.push_back('[');
  bool firstInterval = true;
  for (const ActivityInterval& interval : activity) {
    if (!firstInterval) out.push_back(',');
    firstInterval = false;
    out.push_back('[');
    bool first = true;
    for (double number : interval) {
      if (!first) out.push_back(',');
      first = false;
      if (!appendDouble(out, number)) return std::nullopt;
    }
    out.push_back(']');
  }
  out.push_back(']');
  return out;
}

std::optional<std::string> serializeSegments(const SegmentList& segments) {
  std::string out;
  out.reserve(2 + segments.size() * 72);
  out.push_back('[');
  bool firstSegment = true;
  for (const Segment& segment : segments) {
    if (!firstSegment) out.push_back(',');
    firstSegment = false;
    out.push_back('[');
    bool first = true;
    for (const JsonValue& entry : segment) {
      if (!first) out.push_back(',');
      first = false;
      if (!appendValue(out, entry)) return std::nullopt;
    }
    out.push_back(']');
  }
  out.push_back(']');
  return out;
}

}  // namespace quillmoss::daily
