// URL hosts through liburiparser.
#include "url_host.h"

#include <uriparser/Uri.h>

#include "daily_data/json_text.h"

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

// A host goes into a usage key, which holds at most one "#" and names a member of a JSON
// file that readers must be able to parse.
bool usableHost(std::string_view host) {
  if (host.empty()) return false;
  for (unsigned char c : host) {
    if (c < 0x20 || c == 0x7f || c == '#' || c == '/' || c == '\\') return false;
  }
  return daily::isValidUtf8(host);
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
