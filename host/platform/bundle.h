// The application bundle the host runs from: its helper executables and resources.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quillmoss::host {

class Bundle {
 public:
  virtual ~Bundle() = default;
  // The executable "Contents/MacOS/<name>", or nullopt when the bundle has none.
  virtual std::optional<std::filesystem::path> auxiliaryExecutable(const std::string& name) = 0;
  // The file "Contents/Resources/<name>.<extension>", or nullopt when the bundle has none.
  virtual std::optional<std::filesystem::path> resource(const std::string& name,
                                                        const std::string& extension) = 0;
};

}  // namespace quillmoss::host
