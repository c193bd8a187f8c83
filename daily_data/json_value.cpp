// Number access for JsonValue.
#include "daily_data/json_value.h"

namespace quillmoss::daily {

double JsonValue::asDouble() const {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
  if (const auto* u = std::get_if<std::uint64_t>(&value)) return static_cast<double>(*u);
  if (const auto* d = std::get_if<double>(&value)) return *d;
  return 0.0;
}

}  // namespace quillmoss::daily
