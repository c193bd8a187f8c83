// Compact JSON for the day files: numbers that read back identical, strings always valid UTF-8.
#include <charconv>

#include "daily_data/daily_data.h"
#include "daily_data/json_text.h"

namespace quillmoss::daily {
namespace {

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
  char text[24];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  out.append(text, end);
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
  // A day file never holds what JSON cannot: a NaN or an infinity fails the whole write.
  bool operator()(double d) const { return appendJsonNumber(out, d); }
  bool operator()(const std::string& s) const {
    appendJsonString(out, s);
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
      appendJsonString(out, name);
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
    if (isValidUtf8(key)) continue;
    UsageMap merged;
    for (const auto& [name, value] : usage) merged[withValidUtf8(name)] += value;
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
    appendJsonString(out, key);
    out.push_back(':');
    if (!appendJsonNumber(out, seconds)) return std::nullopt;
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
      if (!appendJsonNumber(out, number)) return std::nullopt;
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
