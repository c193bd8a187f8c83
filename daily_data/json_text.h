// Text as JSON needs it, for every writer of both programs and their tools: the one UTF-8
// check (simdjson's), the one string escaper and the one spelling of a floating-point number.
#pragma once

#include <string>
#include <string_view>

namespace quillmoss::daily {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// Appends the text as a quoted JSON string. Bytes that are not UTF-8 become U+FFFD: a reader
// rejects a whole document for one of them, which would cost far more than one odd character.
void appendJsonString(std::string& out, std::string_view text);

// The text as appendJsonString puts it, unquoted and unescaped: bad bytes replaced.
std::string withValidUtf8(std::string_view text);

// Appends the shortest text that reads back as the same number (of that width); an integral
// value gets ".0" so that it reads back as a floating-point number, not an integer. NaN and the
// infinities have no JSON spelling: false, and nothing appended; the caller decides.
bool appendJsonNumber(std::string& out, double value);
bool appendJsonNumber(std::string& out, float value);

}  // namespace quillmoss::daily
