// The values that cross a method channel, mirroring the engine's standard codec types.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace quillmoss::engine {

namespace detail {

template <typename T>
inline constexpr bool kIsVector = false;
template <typename T>
inline constexpr bool kIsVector<std::vector<T>> = true;

// What std::lexicographical_compare_three_way and vector's <=> do; the libc++ of Xcode 15 has
// neither.
template <typename Range, typename CompareItems>
std::partial_ordering compareRanges(const Range& x, const Range& y, CompareItems compareItems) {
  auto i = x.begin();
  auto j = y.begin();
  for (; i != x.end() && j != y.end(); ++i, ++j) {
    const std::partial_ordering order = compareItems(*i, *j);
    if (order != 0) return order;
  }
  return x.size() <=> y.size();
}

}  // namespace detail

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

  // Spelled out here: the standard library's variant and vector comparisons recurse without end
  // on a variant that contains itself (C++20 constraint checking). Same order as the variant's:
  // by alternative index, then by value.
  friend std::partial_ordering operator<=>(const EncodableValue& a, const EncodableValue& b) {
    return compare(a, b);
  }
  friend bool operator==(const EncodableValue& a, const EncodableValue& b) {
    return compare(a, b) == 0;
  }

 private:
  static std::partial_ordering compare(const EncodableValue& a, const EncodableValue& b) {
    if (a.index() != b.index()) return a.index() <=> b.index();
    return std::visit(
        [&b](const auto& x) -> std::partial_ordering {
          using T = std::decay_t<decltype(x)>;
          const T& y = *std::get_if<T>(&b);
          if constexpr (std::is_same_v<T, EncodableList>) {
            return detail::compareRanges(x, y, compare);
          } else if constexpr (std::is_same_v<T, EncodableMap>) {
            return detail::compareRanges(x, y, [](const auto& p, const auto& q) {
              const auto order = compare(p.first, q.first);
              return order != 0 ? order : compare(p.second, q.second);
            });
          } else if constexpr (std::is_same_v<T, std::string>) {
            return x.compare(y) <=> 0;
          } else if constexpr (detail::kIsVector<T>) {
            return detail::compareRanges(
                x, y, [](auto p, auto q) -> std::partial_ordering { return p <=> q; });
          } else {
            return x <=> y;
          }
        },
        static_cast<const EncodableVariant&>(a));
  }
};

}  // namespace quillmoss::engine
