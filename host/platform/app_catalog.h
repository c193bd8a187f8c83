// Display names and 32 x 32 PNG icons for usage keys; used on the main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmoss::host {

class AppCatalog {
 public:
  virtual ~AppCatalog() = default;
  virtual std::optional<std::string> appName(const std::string& usageKey) = 0;
  virtual std::optional<std::vector<std::uint8_t>> appIconPng(const std::string& usageKey) = 0;
};

}  // namespace quillmoss::host
