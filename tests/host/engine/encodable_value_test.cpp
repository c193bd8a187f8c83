// The order of encodable values, which keys an EncodableMap: by kind, then by value.
#include <gtest/gtest.h>

#include <cmath>
#include <compare>
#include <tuple>

#include "engine/encodable_value.h"

namespace quillmoss::engine {
namespace {

using Ord = std::partial_ordering;
const double kNaN = std::nan("");

TEST(EncodableValue, OrdersByKindThenLexicographicallyWithStringBytesUnsigned) {
  const std::tuple<const char*, EncodableValue, EncodableValue, Ord> cases[] = {
      {"kind first", std::int32_t{9}, "a", Ord::less},
      {"null equals null", EncodableValue(), EncodableValue(), Ord::equivalent},
      {"string bytes compare unsigned", "\xc3\xa9", "z", Ord::greater},
      {"a prefix comes first", "ab", "abc", Ord::less},
      {"byte lists unsigned", std::vector<std::uint8_t>{200}, std::vector<std::uint8_t>{100},
       Ord::greater},
      {"shorter byte list first", std::vector<std::uint8_t>{1}, std::vector<std::uint8_t>{1, 0},
       Ord::less},
      {"NaN is unordered", kNaN, 1.0, Ord::unordered},
      {"NaN inside a list", std::vector<double>{1.0, kNaN}, std::vector<double>{1.0, 2.0},
       Ord::unordered},
      {"lists item by item", EncodableList{1, "b"}, EncodableList{1, "a", 0}, Ord::greater},
      {"maps by key, then value", EncodableMap{{"a", 2}}, EncodableMap{{"a", 1}, {"b", 0}},
       Ord::greater},
      {"equal maps", EncodableMap{{"a", EncodableList{}}}, EncodableMap{{"a", EncodableList{}}},
       Ord::equivalent},
  };
  for (const auto& [what, a, b, expected] : cases) {
    EXPECT_EQ(a <=> b, expected) << what;
    EXPECT_EQ(a == b, expected == 0) << what;
  }
}

}  // namespace
}  // namespace quillmoss::engine
