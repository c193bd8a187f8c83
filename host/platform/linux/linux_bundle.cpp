// The bundle found from /proc/self/exe, and its helper folder on the search path.
#include "platform/linux/linux_bundle.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace quillmoss::host {

namespace fs = std::filesystem;

std::optional<LinuxBundle> LinuxBundle::ofRunningExecutable() {
  std::error_code ec;
  const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
  if (ec || executable.empty()) return std::nullopt;
  // <bundle>/Contents/MacOS/<executable>
  return LinuxBundle(executable.parent_path().parent_path());
}

std::optional<fs::path> LinuxBundle::auxiliaryExecutable(const std::string& name) {
  fs::path file = contents_ / "MacOS" / name;
  std::error_code ec;
  if (name.empty() || !fs::is_regular_file(file, ec)) return std::nullopt;
  return file;
}

std::optional<fs::path> LinuxBundle::resource(const std::string& name,
                                              const std::string& extension) {
  fs::path file = contents_ / "Resources" / (extension.empty() ? name : name + "." + extension);
  std::error_code ec;
  if (name.empty() || !fs::exists(file, ec)) return std::nullopt;
  return file;
}

bool putBundleHelpersFirstOnPath() {
  const auto bundle = LinuxBundle::ofRunningExecutable();
  if (!bundle) return false;
  std::string path = bundle->helpersFolder().string();
  if (const char* current = std::getenv("PATH"); current != nullptr && current[0] != '\0') {
    path += ":";
    path += current;
  } else {
    path += ":/usr/local/bin:/usr/bin:/bin";
  }
  return ::setenv("PATH", path.c_str(), 1) == 0;
}

}  // namespace quillmoss::host
