// JSON arguments in, JSON replies out, as quillmoss-call does them.
#include <gtest/gtest.h>

#include <limits>

#include "json_to_value.h"
#include "value_to_json.h"

namespace quillmoss::tools {
namespace {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;

TEST(JsonToValue, KeepsIntegerWidthsFloatsAndStructure) {
  auto value = jsonToValue(
      R"({"date":"2024-03-01","n":5,"big":5000000000,"neg":-2147483649,"f":1.0,"l":[1,"x",null,true],"o":{}})");
  ASSERT_TRUE(value);
  const auto* map = value->getIf<EncodableMap>();
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->at("date"), EncodableValue("2024-03-01"));
  EXPECT_EQ(map->at("n"), EncodableValue(std::int32_t{5}));
  EXPECT_EQ(map->at("big"), EncodableValue(std::int64_t{5000000000}));
  EXPECT_EQ(map->at("neg"), EncodableValue(std::int64_t{-2147483649}));
  EXPECT_EQ(map->at("f"), EncodableValue(1.0));
  EXPECT_EQ(map->at("l"),
            EncodableValue(EncodableList{std::int32_t{1}, "x", EncodableValue(), true}));
  EXPECT_EQ(map->at("o"), EncodableValue(EncodableMap{}));
}

TEST(JsonToValue, RefusesWhatIsNotJsonOrDoesNotFit) {
  const auto truncated = jsonToValue("{\"a\":");
  ASSERT_FALSE(truncated);
  EXPECT_FALSE(truncated.error().message.empty());
  EXPECT_FALSE(jsonToValue("18446744073709551615").hasValue());
  EXPECT_FALSE(jsonToValue("1 2").hasValue());
}

TEST(ValueToJson, WritesEveryKindReadably) {
  EncodableMap map{{"s", "a\"b\\c\n\x01"},
                   {"d", 2.0},
                   {"i", std::int64_t{1} << 40},
                   {"n", EncodableValue()},
                   {"b", std::vector<std::uint8_t>{'h', 'i', '!', '?'}},
                   {"t", std::vector<std::int32_t>{1, -2}},
                   {"x", std::numeric_limits<double>::infinity()},
                   {std::int32_t{3}, false}};
  EXPECT_EQ(valueToJson(EncodableValue(map)),
            R"({"3":false,"b":{"$bytes_base64":"aGkhPw=="},"d":2.0,"i":1099511627776,)"
            R"("n":null,"s":"a\"b\\c\n\u0001","t":[1,-2],"x":null})");
  EXPECT_EQ(valueToJson(EncodableValue(0.1)), "0.1");
  EXPECT_EQ(valueToJson(EncodableValue(1e300)), "1e+300");
  // Text that is not UTF-8 still makes valid JSON.
  EXPECT_EQ(valueToJson(EncodableValue(std::string("\xff\xc3\xa9"))), "\"\xEF\xBF\xBDé\"");
  // Base64 padding, and a sink that takes some byte lists.
  int taken = 0;
  const auto sink = [&](const std::vector<std::uint8_t>& bytes) -> std::string {
    return taken++ == 0 ? "{\"size\":" + std::to_string(bytes.size()) + "}" : "";
  };
  EncodableList list{std::vector<std::uint8_t>{1, 2}, std::vector<std::uint8_t>{'f'},
                     std::vector<std::uint8_t>{'f', 'o'}};
  EXPECT_EQ(valueToJson(EncodableValue(list), sink),
            R"([{"size":2},{"$bytes_base64":"Zg=="},{"$bytes_base64":"Zm8="}])");
}

}  // namespace
}  // namespace quillmoss::tools
