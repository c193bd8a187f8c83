// The small text forms shared by the page and the summary: durations, shares, clock times,
// display names and HTML escaping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "day_model.h"

namespace quillmoss::report {

// "0 s", "45 s", "3 min 05 s", "2 h 07 min"; negative and non-finite seconds read as 0.
std::string formatDuration(double seconds);
// "40.3 %" of a share from 0 to 1.
std::string formatShare(double share);
// Local "HH:MM" or "HH:MM:SS" of an instant.
std::string formatClock(double instant, bool withSeconds);
// The shortest text that reads back as the same double.
std::string formatNumber(double value);

// Longest text shown for one key, name or day, in bytes; longer text is cut at a character and
// ends in an ellipsis. It bounds the page and the summary whatever the host answers.
inline constexpr std::size_t kMaxShownTextBytes = 256;

// The text as a terminal or a page may show it: bytes that are not UTF-8 and control characters
// (C0, DEL and C1, which terminals take as escape sequences) become U+FFFD, and it is cut to
// maxBytes (std::string::npos: not cut).
std::string printable(std::string_view text, std::size_t maxBytes = kMaxShownTextBytes);

// What "getAppName" answered when it is a non-empty name; otherwise empty.
std::string knownName(const Row& row);
// knownName, else the key itself (its name is unknown), else the count of folded keys; printable.
std::string displayName(const Row& row);

// Text safe in HTML content and in quoted attributes. Text that is not UTF-8 keeps its
// ASCII and shows U+FFFD for every other byte; control characters also become U+FFFD.
std::string escapeHtml(std::string_view text);

}  // namespace quillmoss::report
