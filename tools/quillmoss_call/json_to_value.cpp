// JSON arguments to channel values, read with simdjson.
#include "json_to_value.h"

#include <simdjson.h>

#include <cstdint>
#include <limits>

namespace quillmoss::tools {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;

namespace {

bool convert(simdjson::dom::element element, EncodableValue& out, std::string* error) {
  switch (element.type()) {
    case simdjson::dom::element_type::NULL_VALUE:
      out = EncodableValue();
      return true;
    case simdjson::dom::element_type::BOOL:
      out = bool(element.get_bool().value_unsafe());
      return true;
    case simdjson::dom::element_type::INT64: {
      const std::int64_t value = element.get_int64().value_unsafe();
      if (value >= std::numeric_limits<std::int32_t>::min() &&
          value <= std::numeric_limits<std::int32_t>::max()) {
        out = static_cast<std::int32_t>(value);
      } else {
        out = value;
      }
      return true;
    }
    case simdjson::dom::element_type::UINT64:
      if (error) *error = "integer too large for 64 bits";
      return false;
    case simdjson::dom::element_type::DOUBLE:
      out = element.get_double().value_unsafe();
      return true;
    case simdjson::dom::element_type::STRING:
      out = std::string(element.get_string().value_unsafe());
      return true;
    case simdjson::dom::element_type::ARRAY: {
      EncodableList list;
      simdjson::dom::array array;
      if (element.get_array().get(array) != simdjson::SUCCESS) return false;
      for (auto item : array) {
        list.emplace_back();
        if (!convert(item, list.back(), error)) return false;
      }
      out = std::move(list);
      return true;
    }
    case simdjson::dom::element_type::OBJECT: {
      EncodableMap map;
      simdjson::dom::object object;
      if (element.get_object().get(object) != simdjson::SUCCESS) return false;
      for (auto field : object) {
        EncodableValue item;
        if (!convert(field.value, item, error)) return false;
        map.insert_or_assign(EncodableValue(std::string(field.key)), std::move(item));
      }
      out = std::move(map);
      return true;
    }
  }
  if (error) *error = "unsupported JSON value";
  return false;
}

}  // namespace

Expected<EncodableValue> jsonToValue(std::string_view text) {
  simdjson::dom::parser parser;
  simdjson::padded_string padded(text);
  simdjson::dom::element root;
  if (auto code = parser.parse(padded).get(root); code != simdjson::SUCCESS) {
    return Error{kJsonErrorDomain, static_cast<int>(code), simdjson::error_message(code)};
  }
  EncodableValue value;
  std::string reason;
  if (!convert(root, value, &reason)) return Error{kJsonErrorDomain, 0, reason};
  return value;
}

}  // namespace quillmoss::tools
