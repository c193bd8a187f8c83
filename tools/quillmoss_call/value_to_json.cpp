// JSON writer for channel values.
#include "value_to_json.h"

#include <charconv>
#include <cmath>

namespace quillmoss::tools {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t utf8SequenceLength(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint32_t code = 0;
  if ((lead & 0xe0) == 0xc0) {
    length = 2;
    code = lead & 0x1f;
  } else if ((lead & 0xf0) == 0xe0) {
    length = 3;
    code = lead & 0x0f;
  } else if ((lead & 0xf8) == 0xf0) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xc0) != 0x80) return 0;
    code = code << 6 | (byte(i + k) & 0x3f);
  }
  static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  return length;
}

void appendString(std::string& out, const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = utf8SequenceLength(text, i);
    if (length == 0) {
      out += "\\ufffd";  // Not UTF-8: shown as the replacement character.
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text, i, length);
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7f) {
      out += "\\u00";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xf]);
    } else {
      out.push_back(static_cast<char>(c));
    }
    i += length;
  }
  out.push_back('"');
}

template <typename T>
void appendFloat(std::string& out, T value) {
  if (!std::isfinite(value)) {
    out += "null";  // JSON has no spelling for these.
    return;
  }
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  out += text;
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
    void operator()(const std::string& v) const { appendString(out, v); }
    void operator()(const std::vector<std::uint8_t>& v) const {
      if (sink) {
        std::string replacement = sink(v);
        if (!replacement.empty()) {
          out += replacement;
          return;
        }
      }
      out += "{\"$bytes_base64\":";
      appendString(out, base64Encode(v));
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
          appendString(out, *text);
        } else {
          appendString(out, valueToJson(key));
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

std::string base64Encode(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    out.push_back(kAlphabet[group >> 18]);
    out.push_back(kAlphabet[(group >> 12) & 63]);
    out.push_back(kAlphabet[(group >> 6) & 63]);
    out.push_back(kAlphabet[group & 63]);
  }
  if (i + 1 == bytes.size()) {
    const std::uint32_t group = bytes[i] << 16;
    out.push_back(kAlphabet[group >> 18]);
    out.push_back(kAlphabet[(group >> 12) & 63]);
    out += "==";
  } else if (i + 2 == bytes.size()) {
    const std::uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8;
    out.push_back(kAlphabet[group >> 18]);
    out.push_back(kAlphabet[(group >> 12) & 63]);
    out.push_back(kAlphabet[(group >> 6) & 63]);
    out.push_back('=');
  }
  return out;
}

}  // namespace quillmoss::tools
