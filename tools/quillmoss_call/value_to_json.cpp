// JSON writer for channel values.
#include "value_to_json.h"

#include <charconv>
#include <cmath>

#include "core/base64.h"
#include "daily_data/json_text.h"

namespace quillmoss::tools {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;

namespace {

// JSON has no number for NaN and the infinities; they are shown as the strings "NaN",
// "Infinity" and "-Infinity", so a reader neither takes them for null nor meets invalid JSON.
template <typename T>
void appendFloat(std::string& out, T value) {
  if (daily::appendJsonNumber(out, value)) return;
  out += std::isnan(value) ? "\"NaN\"" : value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
}

template <typename T>
void appendInteger(std::string& out, T value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void appendValue(std::string& out, const EncodableValue& value, const BytesSink& sink);

template <typename List>
void appendNumbers(std::string& out, const List& list) {
  out.push_back('[');
  bool first = true;
  for (const auto item : list) {
    if (!first) out.push_back(',');
    first = false;
    if constexpr (std::is_floating_point_v<std::decay_t<decltype(item)>>) {
      appendFloat(out, item);
    } else {
      appendInteger(out, item);
    }
  }
  out.push_back(']');
}

void appendValue(std::string& out, const EncodableValue& value, const BytesSink& sink) {
  struct Writer {
    std::string& out;
    const BytesSink& sink;
    void operator()(std::monostate) const { out += "null"; }
    void operator()(bool v) const { out += v ? "true" : "false"; }
    void operator()(std::int32_t v) const { appendInteger(out, v); }
    void operator()(std::int64_t v) const { appendInteger(out, v); }
    void operator()(double v) const { appendFloat(out, v); }
    void operator()(const std::string& v) const { daily::appendJsonString(out, v); }
    void operator()(const std::vector<std::uint8_t>& v) const {
      if (sink) {
        std::string replacement = sink(v);
        if (!replacement.empty()) {
          out += replacement;
          return;
        }
      }
      out += "{\"$bytes_base64\":";
      daily::appendJsonString(out, base64(v));
      out.push_back('}');
    }
    void operator()(const std::vector<std::int32_t>& v) const { appendNumbers(out, v); }
    void operator()(const std::vector<std::int64_t>& v) const { appendNumbers(out, v); }
    void operator()(const std::vector<double>& v) const { appendNumbers(out, v); }
    void operator()(const std::vector<float>& v) const { appendNumbers(out, v); }
    void operator()(const EncodableList& v) const {
      out.push_back('[');
      for (std::size_t i = 0; i < v.size(); ++i) {
        if (i != 0) out.push_back(',');
        appendValue(out, v[i], sink);
      }
      out.push_back(']');
    }
    void operator()(const EncodableMap& v) const {
      out.push_back('{');
      bool first = true;
      for (const auto& [key, item] : v) {
        if (!first) out.push_back(',');
        first = false;
        // JSON keys are strings; any other key is shown as its own JSON text.
        if (auto* text = key.getIf<std::string>()) {
          daily::appendJsonString(out, *text);
        } else {
          daily::appendJsonString(out, valueToJson(key));
        }
        out.push_back(':');
        appendValue(out, item, sink);
      }
      out.push_back('}');
    }
  };
  std::visit(Writer{out, sink}, static_cast<const engine::EncodableVariant&>(value));
}

}  // namespace

std::string valueToJson(const EncodableValue& value, const BytesSink& sink) {
  std::string out;
  appendValue(out, value, sink);
  return out;
}

}  // namespace quillmoss::tools
