// Arguments given as JSON text, turned into a channel value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/encodable_value.h"

namespace quillmoss::tools {

// Objects become maps with string keys, integers 32- or 64-bit values by size, other numbers
// doubles, arrays lists. Nullopt, with the reason, for text that is not JSON or a number
// beyond 64 bits.
std::optional<engine::EncodableValue> jsonToValue(std::string_view text, std::string* error);

}  // namespace quillmoss::tools
