// Standard message codec: tags, sizes and alignment as the engine writes them.
#include "engine/standard_message_codec.h"

#include <bit>
#include <cstring>
#include <limits>
#include <string>

namespace quillmoss::engine {

static_assert(std::endian::native == std::endian::little,
              "the codec copies little-endian scalars straight from memory");

namespace {

// A map entry's node: the key, the value and the tree's links.
constexpr std::size_t kMapEntryBytes = 2 * sizeof(EncodableValue) + 4 * sizeof(void*);

using Tag = StandardValueWriter::Tag;
using enum StandardValueWriter::Tag;

std::size_t sizeFieldBytes(std::size_t size) {
  return size < 254 ? 1 : size <= 0xffff ? 3 : 5;
}

std::size_t aligned(std::size_t position, std::size_t alignment) {
  const std::size_t remainder = position % alignment;
  return remainder == 0 ? position : position + alignment - remainder;
}

std::size_t encodedEnd(const EncodableValue& value, std::size_t position);

struct EncodedSizer {
  std::size_t p;
  template <typename T>
  std::size_t typedList(const std::vector<T>& v) const {
    return aligned(p + 1 + sizeFieldBytes(v.size()), sizeof(T)) + v.size() * sizeof(T);
  }
  std::size_t operator()(std::monostate) const { return p + 1; }
  std::size_t operator()(bool) const { return p + 1; }
  std::size_t operator()(std::int32_t) const { return p + 5; }
  std::size_t operator()(std::int64_t v) const {
    const bool fits = v >= std::numeric_limits<std::int32_t>::min() &&
                      v <= std::numeric_limits<std::int32_t>::max();
    return p + (fits ? 5 : 9);
  }
  std::size_t operator()(double) const { return aligned(p + 1, 8) + 8; }
  std::size_t operator()(const std::string& v) const {
    return p + 1 + sizeFieldBytes(v.size()) + v.size();
  }
  std::size_t operator()(const std::vector<std::uint8_t>& v) const { return typedList(v); }
  std::size_t operator()(const std::vector<std::int32_t>& v) const { return typedList(v); }
  std::size_t operator()(const std::vector<std::int64_t>& v) const { return typedList(v); }
  std::size_t operator()(const std::vector<double>& v) const { return typedList(v); }
  std::size_t operator()(const std::vector<float>& v) const { return typedList(v); }
  std::size_t operator()(const EncodableList& v) const {
    std::size_t end = p + 1 + sizeFieldBytes(v.size());
    for (const auto& item : v) end = encodedEnd(item, end);
    return end;
  }
  std::size_t operator()(const EncodableMap& v) const {
    std::size_t end = p + 1 + sizeFieldBytes(v.size());
    for (const auto& [key, item] : v) end = encodedEnd(item, encodedEnd(key, end));
    return end;
  }
};

// Where the value's encoding ends when it starts at `position`; lets the writer allocate once
// instead of growing (and copying) a large reply step by step.
std::size_t encodedEnd(const EncodableValue& value, std::size_t position) {
  return std::visit(EncodedSizer{position}, static_cast<const EncodableVariant&>(value));
}

template <typename T>
void writeTypedList(StandardValueWriter& out, Tag tag, const std::vector<T>& list) {
  out.writeRaw(tag);
  out.writeSize(list.size());
  out.writeAlignment(sizeof(T));
  out.writeBytes(list.data(), list.size() * sizeof(T));
}

}  // namespace

void StandardValueWriter::writeValue(const EncodableValue& value) {
  struct Visitor {
    StandardValueWriter& out;
    void operator()(std::monostate) const { out.writeNull(); }
    void operator()(bool v) const { out.writeBool(v); }
    void operator()(std::int32_t v) const { out.writeInteger(v); }
    void operator()(std::int64_t v) const { out.writeInteger(v); }
    void operator()(double v) const { out.writeDouble(v); }
    void operator()(const std::string& v) const { out.writeString(v); }
    void operator()(const std::vector<std::uint8_t>& v) const {
      writeTypedList(out, kUint8List, v);
    }
    void operator()(const std::vector<std::int32_t>& v) const {
      writeTypedList(out, kInt32List, v);
    }
    void operator()(const std::vector<std::int64_t>& v) const {
      writeTypedList(out, kInt64List, v);
    }
    void operator()(const std::vector<double>& v) const { writeTypedList(out, kFloat64List, v); }
    void operator()(const std::vector<float>& v) const { writeTypedList(out, kFloat32List, v); }
    void operator()(const EncodableList& v) const {
      out.beginList(v.size());
      for (const auto& item : v) out.writeValue(item);
    }
    void operator()(const EncodableMap& v) const {
      out.beginMap(v.size());
      for (const auto& [key, item] : v) {
        out.writeValue(key);
        out.writeValue(item);
      }
    }
  };
  std::visit(Visitor{*this}, static_cast<const EncodableVariant&>(value));
}

void writeStandardValue(std::vector<std::uint8_t>& out, const EncodableValue& value) {
  out.reserve(encodedEnd(value, out.size()));
  StandardValueWriter(out).writeValue(value);
}

std::vector<std::uint8_t> encodeStandardMessage(const EncodableValue& value) {
  std::vector<std::uint8_t> out;
  writeStandardValue(out, value);
  return out;
}

std::optional<EncodableValue> decodeStandardMessage(const std::uint8_t* data, std::size_t size) {
  StandardValueReader reader(data, size);
  EncodableValue value;
  if (!reader.readValue(value) || !reader.atEnd()) return std::nullopt;
  return value;
}

bool StandardValueReader::readByte(std::uint8_t& byte) {
  if (pos_ >= size_) return false;
  byte = data_[pos_++];
  return true;
}

bool StandardValueReader::readBytes(void* destination, std::size_t count) {
  if (count > size_ - pos_) return false;
  if (count != 0) std::memcpy(destination, data_ + pos_, count);
  pos_ += count;
  return true;
}

bool StandardValueReader::readSize(std::size_t& size) {
  std::uint8_t first = 0;
  if (!readByte(first)) return false;
  if (first < 254) {
    size = first;
  } else if (first == 254) {
    std::uint16_t value = 0;
    if (!readBytes(&value, sizeof value)) return false;
    size = value;
  } else {
    std::uint32_t value = 0;
    if (!readBytes(&value, sizeof value)) return false;
    size = value;
  }
  return true;
}

bool StandardValueReader::skipAlignment(std::size_t alignment) {
  const std::size_t remainder = pos_ % alignment;
  if (remainder == 0) return true;
  const std::size_t padding = alignment - remainder;
  if (padding > size_ - pos_) return false;
  pos_ += padding;
  return true;
}

bool StandardValueReader::charge(std::size_t count, std::size_t bytes) {
  if (count > budget_ / bytes) return false;
  budget_ -= count * bytes;
  return true;
}

template <typename T>
bool StandardValueReader::readTypedList(EncodableValue& value, std::size_t alignment) {
  std::size_t count = 0;
  if (!readSize(count) || !skipAlignment(alignment)) return false;
  // Checked before allocating, so a forged length cannot ask for gigabytes.
  if (count > (size_ - pos_) / sizeof(T) || !charge(count, sizeof(T))) return false;
  std::vector<T> list(count);
  if (!readBytes(list.data(), count * sizeof(T))) return false;
  value = std::move(list);
  return true;
}

bool StandardValueReader::readValueAt(EncodableValue& value, int depth) {
  if (depth > kMaxDecodeDepth) return false;
  std::uint8_t tag = 0;
  if (!readByte(tag)) return false;
  switch (tag) {
    case kNull:
      value = EncodableValue();
      return true;
    case kTrue:
      value = true;
      return true;
    case kFalse:
      value = false;
      return true;
    case kInt32: {
      std::int32_t v = 0;
      if (!readBytes(&v, sizeof v)) return false;
      value = v;
      return true;
    }
    case kInt64: {
      std::int64_t v = 0;
      if (!readBytes(&v, sizeof v)) return false;
      value = v;
      return true;
    }
    case kFloat64: {
      double v = 0;
      if (!skipAlignment(8) || !readBytes(&v, sizeof v)) return false;
      value = v;
      return true;
    }
    case kString: {
      std::size_t length = 0;
      if (!readSize(length) || length > size_ - pos_ || !charge(length, 1)) return false;
      value = std::string(reinterpret_cast<const char*>(data_ + pos_), length);
      pos_ += length;
      return true;
    }
    case kUint8List:
      return readTypedList<std::uint8_t>(value, 1);
    case kInt32List:
      return readTypedList<std::int32_t>(value, 4);
    case kInt64List:
      return readTypedList<std::int64_t>(value, 8);
    case kFloat64List:
      return readTypedList<double>(value, 8);
    case kFloat32List:
      return readTypedList<float>(value, 4);
    case kList: {
      std::size_t count = 0;
      // Every element takes at least one byte.
      if (!readSize(count) || count > size_ - pos_) return false;
      if (!charge(count, sizeof(EncodableValue))) return false;
      EncodableList list;
      list.reserve(count);
      for (std::size_t i = 0; i < count; ++i) {
        list.emplace_back();
        if (!readValueAt(list.back(), depth + 1)) return false;
      }
      value = std::move(list);
      return true;
    }
    case kMap: {
      std::size_t count = 0;
      if (!readSize(count) || count > (size_ - pos_) / 2) return false;
      if (!charge(count, kMapEntryBytes)) return false;
      EncodableMap map;
      for (std::size_t i = 0; i < count; ++i) {
        EncodableValue key;
        EncodableValue item;
        if (!readValueAt(key, depth + 1) || !readValueAt(item, depth + 1)) return false;
        map.insert_or_assign(std::move(key), std::move(item));
      }
      value = std::move(map);
      return true;
    }
    case kLargeInt:  // Never written by the engine's current codecs.
    default:
      return false;
  }
}

}  // namespace quillmoss::engine
