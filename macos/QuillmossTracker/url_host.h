// The host part of a URL, through a standards-conforming URI parser.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmoss::tracker {

// The host of an absolute URL, percent-decoded, without brackets, port or user information.
// None when the text is not a URL, has no host, or its host would not make a usable name.
std::optional<std::string> urlHost(std::string_view text);

}  // namespace quillmoss::tracker
