// Standard message and method codecs against byte vectors worked out by hand from the format.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "engine/standard_message_codec.h"
#include "engine/standard_method_codec.h"

namespace quillmoss::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;

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

// Encodes, checks the bytes, and checks they decode back to the same value and alternative.
void expectBytes(const EncodableValue& value, const Bytes& expected) {
  EXPECT_EQ(encode(value), expected);
  auto back = decode(expected);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, value);
}

TEST(StandardCodec, ScalarsHaveTheirTags) {
  expectBytes(EncodableValue(), {0});
  expectBytes(EncodableValue(true), {1});
  expectBytes(EncodableValue(false), {2});
  expectBytes(EncodableValue(std::int32_t{1}), {3, 1, 0, 0, 0});
  expectBytes(EncodableValue(std::int32_t{-2}), {3, 0xfe, 0xff, 0xff, 0xff});
  expectBytes(EncodableValue("hi"), {7, 2, 'h', 'i'});
  expectBytes(EncodableValue(std::string()), {7, 0});
}

TEST(StandardCodec, IntegersUseThe32BitTagWheneverTheValueFits) {
  EXPECT_EQ(encode(EncodableValue(std::int64_t{5})), (Bytes{3, 5, 0, 0, 0}));
  EXPECT_EQ(encode(EncodableValue(std::int64_t{std::numeric_limits<std::int32_t>::max()})),
            (Bytes{3, 0xff, 0xff, 0xff, 0x7f}));
  EXPECT_EQ(encode(EncodableValue(std::int64_t{std::numeric_limits<std::int32_t>::min()})),
            (Bytes{3, 0, 0, 0, 0x80}));
  EXPECT_EQ(encode(EncodableValue(std::int64_t{1} << 31)), (Bytes{4, 0, 0, 0, 0x80, 0, 0, 0, 0}));
  EXPECT_EQ(encode(EncodableValue(std::int64_t{-(std::int64_t{1} << 31) - 1})),
            (Bytes{4, 0xff, 0xff, 0xff, 0x7f, 0xff, 0xff, 0xff, 0xff}));
  expectBytes(EncodableValue(std::int64_t{1} << 32), {4, 0, 0, 0, 0, 1, 0, 0, 0});
  // A 64-bit value that fits comes back as 32-bit, as the engine would send it.
  EXPECT_EQ(*decode(encode(EncodableValue(std::int64_t{7}))), EncodableValue(std::int32_t{7}));
}

TEST(StandardCodec, DoublesAreAlignedToEightFromTheMessageStart) {
  expectBytes(EncodableValue(1.5), concat({{6, 0, 0, 0, 0, 0, 0, 0}, doubleBytes(1.5)}));
  // After "ab" in a list the double's tag sits at offset 6, so one pad byte follows it.
  expectBytes(EncodableValue(EncodableList{"ab", 2.0}),
              concat({{12, 2, 7, 2, 'a', 'b', 6, 0}, doubleBytes(2.0)}));
  // After "abc" the tag sits at offset 7 and the value is already aligned.
  expectBytes(EncodableValue(EncodableList{"abc", 2.0}),
              concat({{12, 2, 7, 3, 'a', 'b', 'c', 6}, doubleBytes(2.0)}));
  // Tag at offset 7 plus an 8-byte string: the double's tag lands on offset 12, pad 3.
  expectBytes(EncodableValue(EncodableList{"abcdefgh", -0.25}),
              concat({{12, 2, 7, 8}, text("abcdefgh"), {6, 0, 0, 0}, doubleBytes(-0.25)}));
}

TEST(StandardCodec, TypedListsAlignTheirElements) {
  expectBytes(EncodableValue(std::vector<std::uint8_t>{1, 2, 3}), {8, 3, 1, 2, 3});
  expectBytes(EncodableValue(std::vector<std::int32_t>{1, -1}),
              {9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff});
  expectBytes(EncodableValue(std::vector<std::int64_t>{2}),
              {10, 1, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0});
  expectBytes(EncodableValue(std::vector<double>{1.0}),
              concat({{11, 1, 0, 0, 0, 0, 0, 0}, doubleBytes(1.0)}));
  expectBytes(EncodableValue(std::vector<float>{1.0f}), {14, 1, 0, 0, 0, 0, 0x80, 0x3f});
  // Inside a list the elements start at offset 4: aligned, no padding.
  expectBytes(EncodableValue(EncodableList{std::vector<std::int32_t>{7}}),
              {12, 1, 9, 1, 7, 0, 0, 0});
  // Inside a map under "a" they would start at 7: one pad byte.
  expectBytes(EncodableValue(EncodableMap{{"a", std::vector<std::int32_t>{7}}}),
              {13, 1, 7, 1, 'a', 9, 1, 0, 7, 0, 0, 0});
  expectBytes(EncodableValue(std::vector<std::int32_t>{}), {9, 0, 0, 0});
}

TEST(StandardCodec, ListsAndMaps) {
  expectBytes(EncodableValue(EncodableList{std::int32_t{1}, "a"}),
              {12, 2, 3, 1, 0, 0, 0, 7, 1, 'a'});
  expectBytes(EncodableValue(EncodableMap{{"a", true}}), {13, 1, 7, 1, 'a', 1});
  expectBytes(EncodableValue(EncodableMap{}), {13, 0});
  expectBytes(EncodableValue(EncodableList{EncodableList{}, EncodableValue()}), {12, 2, 12, 0, 0});
}

TEST(StandardCodec, SizesSwitchWidthAt254AndAt65536) {
  const auto expectSizePrefix = [](std::size_t length, const Bytes& prefix) {
    const std::string s(length, 'x');
    Bytes expected = concat({{7}, prefix, Bytes(length, 'x')});
    expectBytes(EncodableValue(s), expected);
  };
  expectSizePrefix(253, {253});
  expectSizePrefix(254, {254, 254, 0});
  expectSizePrefix(65535, {254, 0xff, 0xff});
  expectSizePrefix(65536, {255, 0, 0, 1, 0});
  // Lists count elements, not bytes.
  const EncodableList many(300, EncodableValue());
  const Bytes encoded = encode(EncodableValue(many));
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 4), (Bytes{12, 254, 0x2c, 0x01}));
  EXPECT_EQ(encoded.size(), 4u + 300u);
}

TEST(StandardCodec, DecodingRejectsMalformedInput) {
  const std::vector<Bytes> rejected = {
      {},                                       // Nothing at all.
      {15},                                     // Unknown tag.
      {5, 1, '1'},                              // Large integers are not written by the engine.
      {3, 1, 0, 0},                             // Truncated int32.
      {4, 1, 0, 0, 0, 0, 0, 0},                 // Truncated int64.
      {6, 0, 0, 0, 0, 0, 0, 0, 0, 0},           // Truncated double.
      {6},                                      // Padding past the end.
      {0, 0},                                   // Trailing byte.
      {7, 5, 'a'},                              // String longer than the message.
      {7, 254, 0xff},                           // Truncated 16-bit size.
      {7, 255, 0xff, 0xff, 0xff},               // Truncated 32-bit size.
      {12, 255, 0xff, 0xff, 0xff, 0xff},        // Absurd list length.
      {13, 255, 0xff, 0xff, 0xff, 0x7f},        // Absurd map length.
      {8, 255, 0xff, 0xff, 0xff, 0xff},         // Absurd byte-list length.
      {10, 255, 0xff, 0xff, 0xff, 0x1f, 0, 0},  // Absurd int64-list length.
      {13, 1, 7, 1, 'a'},                       // Map entry without its value.
      {12, 2, 0},                               // List one element short.
  };
  for (const auto& bytes : rejected) {
    EXPECT_FALSE(decode(bytes).has_value()) << ::testing::PrintToString(bytes);
  }
}

TEST(StandardCodec, NestingIsBoundedWhenDecoding) {
  const auto nested = [](int depth) {
    Bytes bytes;
    for (int i = 0; i < depth; ++i) bytes.insert(bytes.end(), {12, 1});
    bytes.push_back(0);
    return bytes;
  };
  EXPECT_TRUE(decode(nested(kMaxDecodeDepth)).has_value());
  EXPECT_FALSE(decode(nested(kMaxDecodeDepth + 1)).has_value());
  EXPECT_FALSE(decode(nested(100000)).has_value());  // Would overflow the stack if unbounded.
}

TEST(StandardCodec, MethodCallIsNameThenArguments) {
  const MethodCall call("getUsage", EncodableValue(EncodableMap{{"date", "2024-01-02"}}));
  const Bytes expected =
      concat({{7, 8}, text("getUsage"), {13, 1, 7, 4}, text("date"), {7, 10}, text("2024-01-02")});
  const Bytes encoded = encodeMethodCall(call);
  EXPECT_EQ(encoded, expected);
  auto decoded = decodeMethodCall(encoded.data(), encoded.size());
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->methodName(), "getUsage");
  ASSERT_NE(decoded->argumentMap(), nullptr);
  EXPECT_EQ(decoded->argumentMap()->at("date"), EncodableValue("2024-01-02"));

  const Bytes noArguments = {7, 3, 'r', 'u', 'n', 0};
  auto bare = decodeMethodCall(noArguments.data(), noArguments.size());
  ASSERT_TRUE(bare.has_value());
  EXPECT_TRUE(bare->arguments().isNull());
  EXPECT_EQ(bare->argumentMap(), nullptr);
}

TEST(StandardCodec, MethodCallDecodingRejectsOtherShapes) {
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

TEST(StandardCodec, Envelopes) {
  EXPECT_EQ(encodeSuccessEnvelope(EncodableValue()), (Bytes{0, 0}));
  EXPECT_EQ(encodeSuccessEnvelope(EncodableValue(2.5)),
            concat({{0, 6, 0, 0, 0, 0, 0, 0}, doubleBytes(2.5)}));
  EXPECT_EQ(encodeErrorEnvelope("E", "msg", EncodableValue()),
            (Bytes{1, 7, 1, 'E', 7, 3, 'm', 's', 'g', 0}));
  // An empty message goes out as null, and details as given.
  EXPECT_EQ(encodeErrorEnvelope("E", "", EncodableValue(true)), (Bytes{1, 7, 1, 'E', 0, 1}));

  const Bytes error = encodeErrorEnvelope("SETUP_FAILED", "no space", EncodableValue());
  auto reply = decodeMethodReply(error.data(), error.size());
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->kind, MethodReply::Kind::kError);
  EXPECT_EQ(reply->code, "SETUP_FAILED");
  EXPECT_EQ(reply->message, "no space");
  EXPECT_TRUE(reply->details.isNull());

  const Bytes success = encodeSuccessEnvelope(EncodableValue(EncodableList{"a"}));
  reply = decodeMethodReply(success.data(), success.size());
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->kind, MethodReply::Kind::kSuccess);
  EXPECT_EQ(reply->value, EncodableValue(EncodableList{"a"}));

  reply = decodeMethodReply(nullptr, 0);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->kind, MethodReply::Kind::kNotImplemented);

  // Newer engines append a stack trace to errors.
  const Bytes withTrace = {1, 7, 1, 'E', 0, 0, 7, 1, 's'};
  reply = decodeMethodReply(withTrace.data(), withTrace.size());
  ASSERT_TRUE(reply.has_value());
  EXPECT_FALSE(reply->message.has_value());

  for (const Bytes& bad : std::vector<Bytes>{{2, 0},
                                             {0},
                                             {0, 0, 0},
                                             {1, 3, 1, 0, 0, 0, 0, 0},
                                             {1, 7, 1, 'E', 1, 0},
                                             {1, 7, 1, 'E', 0}}) {
    EXPECT_FALSE(decodeMethodReply(bad.data(), bad.size()).has_value())
        << ::testing::PrintToString(bad);
  }
}

EncodableValue randomValue(std::mt19937& random, int depth) {
  std::uniform_int_distribution<int> kind(0, depth > 3 ? 10 : 12);
  std::uniform_int_distribution<int> length(0, 6);
  const auto count = [&] { return static_cast<std::size_t>(length(random)); };
  switch (kind(random)) {
    case 0:
      return EncodableValue();
    case 1:
      return EncodableValue(random() % 2 == 0);
    case 2:
      return EncodableValue(static_cast<std::int32_t>(random()));
    case 3:  // Only values beyond 32 bits stay 64-bit on the way back.
      return EncodableValue(static_cast<std::int64_t>(random()) << 33 | 1);
    case 4:
      return EncodableValue(std::uniform_real_distribution<double>(-1e9, 1e9)(random));
    case 5: {
      std::string s(count() * 50, ' ');
      for (auto& c : s) c = static_cast<char>(random());
      return EncodableValue(s);
    }
    case 6: {
      std::vector<std::uint8_t> v(count() * 60);
      for (auto& b : v) b = static_cast<std::uint8_t>(random());
      return EncodableValue(v);
    }
    case 7:
      return EncodableValue(
          std::vector<std::int32_t>(count(), static_cast<std::int32_t>(random())));
    case 8:
      return EncodableValue(
          std::vector<std::int64_t>(count(), static_cast<std::int64_t>(random())));
    case 9:
      return EncodableValue(std::vector<double>(count(), 0.5 * random()));
    case 10:
      return EncodableValue(std::vector<float>(count(), 0.25f));
    case 11: {
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

TEST(StandardCodec, RandomBytesNeverCrashTheDecoder) {
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    Bytes bytes(random() % 40);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() % 16);
    (void)decode(bytes);
    (void)decodeMethodCall(bytes.data(), bytes.size());
    (void)decodeMethodReply(bytes.data(), bytes.size());
  }
}

}  // namespace
}  // namespace quillmoss::engine
