// The one UTF-8 check and JSON string escaper.
#include "daily_data/json_text.h"

#include <gtest/gtest.h>

namespace quillmoss::daily {
namespace {

TEST(JsonText, StrictUtf8AndEscapedStringsWithBadBytesReplaced) {
  struct Case {
    const char* what;
    std::string text;
    bool valid;
    std::string json;
  };
  const Case cases[] = {
      {"plain", "org.kde.kcalc", true, "\"org.kde.kcalc\""},
      {"escapes", "a\"b\\c\n\t\x01\x7f", true, "\"a\\\"b\\\\c\\n\\t\\u0001\x7f\""},
      {"four bytes", "\xF0\x9F\x98\x80", true, "\"\xF0\x9F\x98\x80\""},
      {"a stray continuation byte", "a\x80z", false, "\"a\xEF\xBF\xBDz\""},
      {"overlong", "\xC0\xAF", false, "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"a surrogate", "\xED\xA0\x80", false, "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false,
       "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"cut short", "\xE2\x82", false, "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(isValidUtf8(c.text), c.valid);
    std::string out;
    appendJsonString(out, c.text);
    EXPECT_EQ(out, c.json);
    EXPECT_TRUE(isValidUtf8(out));
  }
}

}  // namespace
}  // namespace quillmoss::daily
