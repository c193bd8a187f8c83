// The engine's standard message codec: one value to bytes and back, byte-compatible with the
// engine (little-endian, alignment counted from the first byte of the message).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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
