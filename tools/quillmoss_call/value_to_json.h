// Channel values printed as JSON: byte lists as {"$bytes_base64": "..."}, doubles always with
// a fraction or exponent so they stay distinct from integers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/encodable_value.h"

namespace quillmoss::tools {

// Takes a byte list elsewhere (a file) and returns the JSON text to print in its place, or an
// empty string to print it as base64 after all.
using BytesSink = std::function<std::string(const std::vector<std::uint8_t>& bytes)>;

std::string valueToJson(const engine::EncodableValue& value, const BytesSink& sink = nullptr);

}  // namespace quillmoss::tools
