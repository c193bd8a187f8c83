// The values that cross a method channel, mirroring the engine's standard codec types.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace quillmoss::engine {

class EncodableValue;
using EncodableList = std::vector<EncodableValue>;
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// Order of alternatives is part of the ordering used by EncodableMap.
using EncodableVariant =
    std::variant<std::monostate, bool, std::int32_t, std::int64_t, double, std::string,
                 std::vector<std::uint8_t>, std::vector<std::int32_t>, std::vector<std::int64_t>,
                 std::vector<double>, EncodableList, EncodableMap, std::vector<float>>;

class EncodableValue : public EncodableVariant {
 public:
  using EncodableVariant::EncodableVariant;
  EncodableValue() = default;
  // String literals become strings, never bools.
  EncodableValue(const char* text) : EncodableVariant(std::string(text)) {}  // NOLINT

  bool isNull() const { return std::holds_alternative<std::monostate>(*this); }
  // Either integer width as 64 bits; 0 for anything else.
  std::int64_t longValue() const {
    if (auto* v = std::get_if<std::int32_t>(this)) return *v;
    if (auto* v = std::get_if<std::int64_t>(this)) return *v;
    return 0;
  }
  bool isInteger() const {
    return std::holds_alternative<std::int32_t>(*this) ||
           std::holds_alternative<std::int64_t>(*this);
  }
  template <typename T>
  const T* getIf() const {
    return std::get_if<T>(this);
  }
};

}  // namespace quillmoss::engine
