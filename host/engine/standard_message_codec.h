// The engine's standard message codec: one value to bytes and back, byte-compatible with the
// engine (little-endian, alignment counted from the first byte of the message).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/encodable_value.h"

namespace quillmoss::engine {

// Deeper values are refused when decoding, so hostile input cannot exhaust the stack.
inline constexpr int kMaxDecodeDepth = 128;
// What decoding may allocate: this many bytes per message byte, plus the allowance. A
// message that would take more (a long list of nulls, say) is refused as undecodable before
// the memory is taken, so one frame cannot cost the host many times its size.
inline constexpr std::size_t kDecodeBytesPerMessageByte = 8;
inline constexpr std::size_t kDecodeAllowanceBytes = 64 * 1024;

// Appends one value; `out` holds the message from its first byte, which alignment counts from.
void writeStandardValue(std::vector<std::uint8_t>& out, const EncodableValue& value);

// Appends values in the codec's bytes from any source, part by part: a list's or a map's size,
// then its items (a map's as key, value, key, ...). Lets a reply be written straight from the
// data it comes from, with no value tree in between. `out` holds the message from its first
// byte, which alignment counts from. The small writes are inline: they run once per item.
class StandardValueWriter {
 public:
  enum Tag : std::uint8_t {
    kNull = 0,
    kTrue = 1,
    kFalse = 2,
    kInt32 = 3,
    kInt64 = 4,
    kLargeInt = 5,
    kFloat64 = 6,
    kString = 7,
    kUint8List = 8,
    kInt32List = 9,
    kInt64List = 10,
    kFloat64List = 11,
    kList = 12,
    kMap = 13,
    kFloat32List = 14,
  };

  explicit StandardValueWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void writeNull() { out_.push_back(kNull); }
  void writeBool(bool value) { out_.push_back(value ? kTrue : kFalse); }
  // In 32 bits when it fits, as the engine writes every integer.
  void writeInteger(std::int64_t value) {
    if (value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max()) {
      out_.push_back(kInt32);
      writeRaw(static_cast<std::int32_t>(value));
    } else {
      out_.push_back(kInt64);
      writeRaw(value);
    }
  }
  void writeDouble(double value) {
    out_.push_back(kFloat64);
    writeAlignment(8);
    writeRaw(value);
  }
  void writeString(std::string_view value) {
    out_.push_back(kString);
    writeSize(value.size());
    writeBytes(value.data(), value.size());
  }
  // Followed by `size` values.
  void beginList(std::size_t size) {
    out_.push_back(kList);
    writeSize(size);
  }
  // Followed by `size` keys, each with its value.
  void beginMap(std::size_t size) {
    out_.push_back(kMap);
    writeSize(size);
  }
  void writeValue(const EncodableValue& value);

  // The building blocks of the above and of the typed lists.
  void writeSize(std::size_t size) {
    if (size < 254) {
      out_.push_back(static_cast<std::uint8_t>(size));
    } else if (size <= 0xffff) {
      out_.push_back(254);
      writeRaw(static_cast<std::uint16_t>(size));
    } else {
      out_.push_back(255);
      writeRaw(static_cast<std::uint32_t>(size));
    }
  }
  void writeAlignment(std::size_t alignment) {
    const std::size_t remainder = out_.size() % alignment;
    if (remainder != 0) out_.resize(out_.size() + alignment - remainder, 0);
  }
  void writeBytes(const void* bytes, std::size_t count) {
    if (count == 0) return;
    const std::size_t at = out_.size();
    out_.resize(at + count);
    std::memcpy(out_.data() + at, bytes, count);
  }
  // Little-endian, as the codec is.
  template <typename T>
  void writeRaw(T value) {
    writeBytes(&value, sizeof value);
  }

 private:
  std::vector<std::uint8_t>& out_;
};

std::vector<std::uint8_t> encodeStandardMessage(const EncodableValue& value);

// The one value the bytes hold; nullopt when they hold anything else (including trailing bytes).
std::optional<EncodableValue> decodeStandardMessage(const std::uint8_t* data, std::size_t size);

// Reads values one after another from a message; never reads outside it.
class StandardValueReader {
 public:
  StandardValueReader(const std::uint8_t* data, std::size_t size,
                      std::size_t bytesPerMessageByte = kDecodeBytesPerMessageByte)
      : data_(data), size_(size), budget_(kDecodeAllowanceBytes + bytesPerMessageByte * size) {}

  // False on malformed or truncated input; the reader is then unusable.
  bool readValue(EncodableValue& value) { return readValueAt(value, 0); }
  bool readByte(std::uint8_t& byte);
  bool atEnd() const { return pos_ == size_; }

 private:
  bool readValueAt(EncodableValue& value, int depth);
  bool readBytes(void* destination, std::size_t count);
  bool readSize(std::size_t& size);
  bool skipAlignment(std::size_t alignment);
  // Takes `count` items of `bytes` each from the budget; false when it would run out.
  bool charge(std::size_t count, std::size_t bytes);
  template <typename T>
  bool readTypedList(EncodableValue& value, std::size_t alignment);

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::size_t budget_;
};

}  // namespace quillmoss::engine
