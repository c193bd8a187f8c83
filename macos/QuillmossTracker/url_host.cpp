// URL hosts through liburiparser.
#include "url_host.h"

#include <uriparser/Uri.h>

namespace quillmoss::tracker {
namespace {

class ParsedUri {
 public:
  ParsedUri() = default;
  ParsedUri(const ParsedUri&) = delete;
  ParsedUri& operator=(const ParsedUri&) = delete;
  ~ParsedUri() {
    if (parsed_) uriFreeUriMembersA(&uri_);
  }
  bool parse(std::string_view text) {
    const char* errorPos = nullptr;
    parsed_ = uriParseSingleUriExA(&uri_, text.data(), text.data() + text.size(), &errorPos) ==
              URI_SUCCESS;
    return parsed_;
  }
  const UriUriA& uri() const { return uri_; }

 private:
  UriUriA uri_{};
  bool parsed_ = false;
};

bool validUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// A host goes into a usage key, which holds at most one "#" and names a member of a JSON
// file that readers must be able to parse.
bool usableHost(std::string_view host) {
  if (host.empty()) return false;
  for (unsigned char c : host) {
    if (c < 0x20 || c == 0x7f || c == '#' || c == '/' || c == '\\') return false;
  }
  return validUtf8(host);
}

}  // namespace

std::optional<std::string> urlHost(std::string_view text) {
  ParsedUri parsed;
  if (text.empty() || !parsed.parse(text)) return std::nullopt;
  const UriUriA& uri = parsed.uri();
  // A relative reference is not a URL.
  if (uri.scheme.first == nullptr || uri.scheme.first == uri.scheme.afterLast) return std::nullopt;
  if (uri.hostText.first == nullptr || uri.hostText.first == uri.hostText.afterLast) {
    return std::nullopt;
  }
  std::string host(uri.hostText.first, uri.hostText.afterLast);
  // Decoding "%00" would end the text early; such a host is not usable anyway.
  if (host.find("%00") != std::string::npos) return std::nullopt;
  const char* end = uriUnescapeInPlaceExA(host.data(), URI_FALSE, URI_BR_DONT_TOUCH);
  host.resize(static_cast<std::size_t>(end - host.data()));
  if (!usableHost(host)) return std::nullopt;
  return host;
}

}  // namespace quillmoss::tracker
