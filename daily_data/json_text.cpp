// UTF-8 checking, JSON string escaping and number spelling; see json_text.h.
#include "daily_data/json_text.h"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quillmoss::daily {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at text[i] (a byte >= 0x80), or 0. The lead byte
// says how long it would be; simdjson says whether it is.
std::size_t sequenceLength(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || text.size() - i < length) return 0;
  return simdjson::validate_utf8(text.data() + i, length) ? length : 0;
}

// Calls plain(from, to) for each run of well-formed text and bad() for each byte that is not.
template <typename Plain, typename Bad>
void splitAtBadBytes(std::string_view text, Plain plain, Bad bad) {
  if (isValidUtf8(text)) {
    plain(text);
    return;
  }
  std::size_t from = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
    } else if (std::size_t length = sequenceLength(text, i)) {
      i += length;
    } else {
      plain(text.substr(from, i - from));
      bad();
      from = ++i;
    }
  }
  plain(text.substr(from));
}

void appendEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::size_t plainFrom = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.substr(plainFrom, i - plainFrom));
    plainFrom = i + 1;
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
  }
  out.append(text.substr(plainFrom));
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  return simdjson::validate_utf8(bytes.data(), bytes.size());
}

void appendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  splitAtBadBytes(
      text, [&](std::string_view plain) { appendEscaped(out, plain); },
      [&] { out.append(kReplacement); });
  out.push_back('"');
}

std::string withValidUtf8(std::string_view text) {
  std::string out;
  splitAtBadBytes(
      text, [&](std::string_view plain) { out.append(plain); }, [&] { out.append(kReplacement); });
  return out;
}

namespace {

template <typename Float>
bool appendFloat(std::string& out, Float value) {
  if (!std::isfinite(value)) return false;
  char text[48];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  if (ec != std::errc()) return false;
  const bool integral =
      std::find_if(text, end, [](char c) { return c == '.' || c == 'e' || c == 'E'; }) == end;
  out.append(text, end);
  if (integral) out.append(".0");
  return true;
}

}  // namespace

bool appendJsonNumber(std::string& out, double value) {
  return appendFloat(out, value);
}

bool appendJsonNumber(std::string& out, float value) {
  return appendFloat(out, value);
}

}  // namespace quillmoss::daily
