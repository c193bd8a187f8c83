// Arguments given as JSON text, turned into a channel value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "engine/encodable_value.h"

namespace quillmoss::tools {

inline constexpr char kJsonErrorDomain[] = "QuillmossJSON";

// Objects become maps with string keys, integers 32- or 64-bit values by size, other numbers
// doubles, arrays lists. An error, with the reason, for text that is not JSON or a number
// beyond 64 bits.
Expected<engine::EncodableValue> jsonToValue(std::string_view text);

}  // namespace quillmoss::tools
