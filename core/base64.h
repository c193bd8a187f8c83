// Standard base64 with padding, for bytes shown inside text (JSON, data: URLs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmoss {

std::string base64(const std::vector<std::uint8_t>& bytes);

}  // namespace quillmoss
