// A small JSON value that keeps what the day files may hold as it was read:
// the integer/float distinction of numbers, member order and duplicate names.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quillmoss::daily {

struct JsonValue;
using JsonArray = std::vector<JsonValue>;
using JsonObject = std::vector<std::pair<std::string, JsonValue>>;

struct JsonValue {
  using Variant = std::variant<std::nullptr_t, bool, std::int64_t, std::uint64_t, double,
                               std::string, JsonArray, JsonObject>;
  Variant value;

  JsonValue() : value(nullptr) {}
  template <typename T>
  requires std::is_constructible_v<Variant, T&&> JsonValue(T&& v)
      : value(std::forward<T>(v)) {}  // NOLINT: implicit by design

  bool isNumber() const {
    return std::holds_alternative<std::int64_t>(value) ||
           std::holds_alternative<std::uint64_t>(value) || std::holds_alternative<double>(value);
  }
  // The number as a double; 0.0 when this is not a number.
  double asDouble() const;
  const std::string* asString() const { return std::get_if<std::string>(&value); }

  bool operator==(const JsonValue&) const = default;
};

}  // namespace quillmoss::daily
