// Standard message and method codecs against byte vectors worked out by hand from the format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "engine/standard_message_codec.h"
#include "engine/standard_method_codec.h"

namespace quillmoss::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Int32s = std::vector<std::int32_t>;

Bytes encode(const EncodableValue& value) {
  return encodeStandardMessage(value);
}

std::optional<EncodableValue> decode(const Bytes& bytes) {
  return decodeStandardMessage(bytes.data(), bytes.size());
}

Bytes doubleBytes(double value) {
  Bytes bytes(8);
  std::memcpy(bytes.data(), &value, 8);
  return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

TEST(StandardCodec, EachKindHasItsTagAndAlignmentAndIntegersTheNarrowestThatFits) {
  struct Case {
    const char* what;
    EncodableValue value;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"null", EncodableValue(), {0}},
      {"true", true, {1}},
      {"false", false, {2}},
      {"int32", std::int32_t{-2}, {3, 0xfe, 0xff, 0xff, 0xff}},
      {"int64", std::int64_t{1} << 32, {4, 0, 0, 0, 0, 1, 0, 0, 0}},
      // Only 64-bit values that do not fit 32 bits take the 64-bit tag.
      {"past int32 max", std::int64_t{INT32_MAX} + 1, {4, 0, 0, 0, 0x80, 0, 0, 0, 0}},
      {"past int32 min",
       std::int64_t{INT32_MIN} - 1,
       {4, 0xff, 0xff, 0xff, 0x7f, 0xff, 0xff, 0xff, 0xff}},
      {"string", "hi", {7, 2, 'h', 'i'}},
      {"empty string", std::string(), {7, 0}},
      {"double", 1.5, concat({{6, 0, 0, 0, 0, 0, 0, 0}, doubleBytes(1.5)})},
      // Doubles align to eight from the message start: one pad byte, none, three.
      {"double after ab", EncodableList{"ab", 2.0},
       concat({{12, 2, 7, 2, 'a', 'b', 6, 0}, doubleBytes(2.0)})},
      {"double after abc", EncodableList{"abc", 2.0},
       concat({{12, 2, 7, 3, 'a', 'b', 'c', 6}, doubleBytes(2.0)})},
      {"double after 8 chars", EncodableList{"abcdefgh", -0.25},
       concat({{12, 2, 7, 8}, text("abcdefgh"), {6, 0, 0, 0}, doubleBytes(-0.25)})},
      {"bytes", Bytes{1, 2, 3}, {8, 3, 1, 2, 3}},
      {"int32 list", Int32s{1, -1}, {9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}},
      {"empty int32 list", Int32s{}, {9, 0, 0, 0}},
      {"int64 list", std::vector<std::int64_t>{2},
       concat({{10, 1, 0, 0, 0, 0, 0, 0, 2}, Bytes(7, 0)})},
      {"double list", std::vector<double>{1.0},
       concat({{11, 1, 0, 0, 0, 0, 0, 0}, doubleBytes(1.0)})},
      {"float list", std::vector<float>{1.0f}, {14, 1, 0, 0, 0, 0, 0x80, 0x3f}},
      {"typed list aligned in list", EncodableList{Int32s{7}}, {12, 1, 9, 1, 7, 0, 0, 0}},
      {"typed list padded in map",
       EncodableMap{{"a", Int32s{7}}},
       {13, 1, 7, 1, 'a', 9, 1, 0, 7, 0, 0, 0}},
      {"list", EncodableList{std::int32_t{1}, "a"}, {12, 2, 3, 1, 0, 0, 0, 7, 1, 'a'}},
      {"map", EncodableMap{{"a", true}}, {13, 1, 7, 1, 'a', 1}},
      {"empty map", EncodableMap{}, {13, 0}},
      {"nested", EncodableList{EncodableList{}, EncodableValue()}, {12, 2, 12, 0, 0}},
      // Sizes switch width at 254 and at 65536.
      {"253 chars", std::string(253, 'x'), concat({{7, 253}, Bytes(253, 'x')})},
      {"254 chars", std::string(254, 'x'), concat({{7, 254, 254, 0}, Bytes(254, 'x')})},
      {"65535 chars", std::string(65535, 'x'), concat({{7, 254, 0xff, 0xff}, Bytes(65535, 'x')})},
      {"65536 chars", std::string(65536, 'x'), concat({{7, 255, 0, 0, 1, 0}, Bytes(65536, 'x')})},
      // Lists count elements, not bytes.
      {"300 nulls", EncodableList(300, EncodableValue()),
       concat({{12, 254, 0x2c, 0x01}, Bytes(300, 0)})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(encode(c.value), c.bytes);
    auto back = decode(c.bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, c.value);
  }
  // 64-bit values that fit are sent as 32-bit ones.
  for (std::int32_t fits : {INT32_MIN, 7, INT32_MAX}) {
    EXPECT_EQ(*decode(encode(EncodableValue(std::int64_t{fits}))), EncodableValue(fits));
  }
}

// A list or map header with `count` and then `count` times `item`.
Bytes repeated(std::uint8_t tag, std::uint32_t count, const Bytes& item) {
  Bytes bytes{tag, 255};
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(static_cast<std::uint8_t>(count >> shift));
  bytes.reserve(bytes.size() + count * item.size());
  for (std::uint32_t i = 0; i < count; ++i) bytes.insert(bytes.end(), item.begin(), item.end());
  return bytes;
}

// Malformed input is refused, and so is what would take more than a small multiple of the
// message's size to decode, before the memory is taken.
TEST(StandardCodec, DecodingRefusesMalformedInputAndBoundsItsCost) {
  const auto nested = [](int depth) {
    Bytes bytes;
    for (int i = 0; i < depth; ++i) bytes.insert(bytes.end(), {12, 1});
    bytes.push_back(0);
    return bytes;
  };
  constexpr std::uint32_t kMany = 200'000;
  const struct {
    const char* what;
    Bytes message;
    bool decodes;
  } cases[] = {
      {"nothing at all", {}, false},
      {"unknown tag", {15}, false},
      {"a large integer, never written by the engine", {5, 1, '1'}, false},
      {"truncated int32", {3, 1, 0, 0}, false},
      {"truncated int64", {4, 1, 0, 0, 0, 0, 0, 0}, false},
      {"truncated double", {6, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
      {"padding past the end", {6}, false},
      {"a trailing byte", {0, 0}, false},
      {"a string longer than the message", {7, 5, 'a'}, false},
      {"truncated 16-bit size", {7, 254, 0xff}, false},
      {"truncated 32-bit size", {7, 255, 0xff, 0xff, 0xff}, false},
      {"absurd list length", {12, 255, 0xff, 0xff, 0xff, 0xff}, false},
      {"absurd map length", {13, 255, 0xff, 0xff, 0xff, 0x7f}, false},
      {"absurd byte-list length", {8, 255, 0xff, 0xff, 0xff, 0xff}, false},
      {"absurd int64-list length", {10, 255, 0xff, 0xff, 0xff, 0x1f, 0, 0}, false},
      {"a map entry without its value", {13, 1, 7, 1, 'a'}, false},
      {"a list one element short", {12, 2, 0}, false},
      {"nesting at the bound", nested(kMaxDecodeDepth), true},
      {"nesting past it", nested(kMaxDecodeDepth + 1), false},
      {"nesting that would overflow the stack", nested(100000), false},
      {"many nulls", repeated(12, kMany, {0}), false},
      {"many null keys and values", repeated(13, kMany / 2, {0, 0}), false},
      {"many falses in a list in a list", concat({{12, 1}, repeated(12, kMany, {2})}), false},
      {"a thousand nulls, within the allowance", repeated(12, 1000, {0}), true},
      {"a megabyte of bytes", concat({{8, 255, 0, 0, 16, 0}, Bytes(1 << 20, 7)}), true},
      {"a thousand strings of a thousand characters",
       repeated(12, 1000, concat({{7, 254, 0xe8, 0x03}, Bytes(1000, 'q')})), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(decode(c.message).has_value(), c.decodes);
    const Bytes call = concat({{7, 8}, text("getUsage"), c.message});
    EXPECT_EQ(decodeMethodCall(call.data(), call.size()).has_value(), c.decodes);
  }
}

TEST(StandardCodec, MethodCallIsNameThenArguments) {
  const MethodCall call("getUsage", EncodableValue(EncodableMap{{"date", "2024-01-02"}}));
  const Bytes encoded = encodeMethodCall(call);
  EXPECT_EQ(
      encoded,
      concat({{7, 8}, text("getUsage"), {13, 1, 7, 4}, text("date"), {7, 10}, text("2024-01-02")}));
  auto decoded = decodeMethodCall(encoded.data(), encoded.size());
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->methodName(), "getUsage");
  EXPECT_EQ(decoded->arguments(), call.arguments());

  const Bytes noArguments = {7, 3, 'r', 'u', 'n', 0};
  auto bare = decodeMethodCall(noArguments.data(), noArguments.size());
  ASSERT_TRUE(bare.has_value());
  EXPECT_EQ(bare->argumentMap(), nullptr);

  const std::vector<Bytes> rejected = {
      {},
      {7, 3, 'r', 'u', 'n'},        // Arguments missing.
      {7, 3, 'r', 'u', 'n', 0, 0},  // Trailing bytes.
      {3, 1, 0, 0, 0, 0},           // Name is not a string.
      {0xff, 0xff},                 // Garbage.
  };
  for (const auto& bytes : rejected) {
    EXPECT_FALSE(decodeMethodCall(bytes.data(), bytes.size()).has_value())
        << ::testing::PrintToString(bytes);
  }
}

TEST(StandardCodec, EnvelopesAndHeavyReplies) {
  EXPECT_EQ(encodeSuccessEnvelope(EncodableValue(2.5)),
            concat({{0, 6, 0, 0, 0, 0, 0, 0}, doubleBytes(2.5)}));
  EXPECT_EQ(encodeErrorEnvelope("E", "msg", EncodableValue()),
            (Bytes{1, 7, 1, 'E', 7, 3, 'm', 's', 'g', 0}));
  // An empty message goes out as null, and details as given.
  EXPECT_EQ(encodeErrorEnvelope("E", "", EncodableValue(true)), (Bytes{1, 7, 1, 'E', 0, 1}));

  const auto decodeReply = [](const Bytes& bytes) {
    return decodeMethodReply(bytes.data(), bytes.size());
  };
  const auto reply = decodeReply(encodeErrorEnvelope("SETUP_FAILED", "no space", EncodableValue()));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->kind, MethodReply::Kind::kError);
  EXPECT_EQ(reply->code, "SETUP_FAILED");
  EXPECT_EQ(reply->message, "no space");
  EXPECT_EQ(decodeReply({})->kind, MethodReply::Kind::kNotImplemented);
  // Newer engines append a stack trace to errors.
  EXPECT_TRUE(decodeReply({1, 7, 1, 'E', 0, 0, 7, 1, 's'}).has_value());
  const std::vector<Bytes> bad = {
      {2, 0}, {0}, {0, 0, 0}, {1, 3, 1, 0, 0, 0, 0, 0}, {1, 7, 1, 'E', 1, 0}, {1, 7, 1, 'E', 0}};
  for (const Bytes& bytes : bad) {
    EXPECT_FALSE(decodeReply(bytes).has_value()) << ::testing::PrintToString(bytes);
  }
  // Replies are allowed more than calls: a heavy day's segments decode.
  EncodableList segments;
  for (int i = 0; i < 5000; ++i) {
    segments.push_back(EncodableList{"com.apple.Safari#example.org", 1.7e9 + i, 1.7e9 + i + 0.5});
  }
  const auto heavy = decodeReply(encodeSuccessEnvelope(EncodableValue(segments)));
  EXPECT_EQ(heavy.value_or(MethodReply{}).value, EncodableValue(segments));
}

// Random nests of the kinds whose bytes depend on position (strings, doubles, typed lists).
EncodableValue randomValue(std::mt19937& random, int depth) {
  const auto count = [&] { return static_cast<std::size_t>(random() % 7); };
  switch (random() % (depth > 3 ? 5 : 7)) {
    case 0:
      return EncodableValue(static_cast<std::int32_t>(random()));
    case 1:  // Only values beyond 32 bits stay 64-bit on the way back.
      return EncodableValue(static_cast<std::int64_t>(random()) << 33 | 1);
    case 2:
      return EncodableValue(std::uniform_real_distribution<double>(-1e9, 1e9)(random));
    case 3:
      return EncodableValue(std::string(count() * 50, static_cast<char>(random())));
    case 4:
      return random() % 2 ? EncodableValue(std::vector<std::int64_t>(count(), 1ll << 40))
                          : EncodableValue(std::vector<float>(count(), 0.25f));
    case 5: {
      EncodableList list;
      for (std::size_t i = count(); i > 0; --i) list.push_back(randomValue(random, depth + 1));
      return EncodableValue(list);
    }
    default: {
      EncodableMap map;
      for (std::size_t i = count(); i > 0; --i) {
        map[randomValue(random, depth + 1)] = randomValue(random, depth + 1);
      }
      return EncodableValue(map);
    }
  }
}

TEST(StandardCodec, RandomValuesRoundTripAndEveryTruncationIsRejected) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 300; ++round) {
    const EncodableValue value = randomValue(random, 0);
    const Bytes bytes = encode(value);
    auto back = decode(bytes);
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(*back, value);
    ASSERT_EQ(encode(*back), bytes);
    for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 64) {
      ASSERT_FALSE(decodeStandardMessage(bytes.data(), cut).has_value()) << cut;
    }
  }
}

}  // namespace
}  // namespace quillmoss::engine
