// The running bundle on Linux: laid out like a macOS application bundle, found from the
// host's own executable, with its helper folder put first on the search path.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/bundle.h"

namespace quillmoss::host {

class LinuxBundle : public Bundle {
 public:
  // contents: the bundle's "Contents" folder.
  explicit LinuxBundle(std::filesystem::path contents) : contents_(std::move(contents)) {}
  // The bundle of the running executable (/proc/self/exe is "Contents/MacOS/<name>").
  static std::optional<LinuxBundle> ofRunningExecutable();

  const std::filesystem::path& contents() const { return contents_; }
  std::filesystem::path helpersFolder() const { return contents_ / "Helpers"; }

  std::optional<std::filesystem::path> auxiliaryExecutable(const std::string& name) override;
  std::optional<std::filesystem::path> resource(const std::string& name,
                                                const std::string& extension) override;

 private:
  std::filesystem::path contents_;
};

// Puts the running bundle's "Contents/Helpers" first on PATH, so that programs such as
// launchctl run through /usr/bin/env are the bundle's. Call once at start-up, before any
// thread is started. False when the bundle cannot be found.
bool putBundleHelpersFirstOnPath();

}  // namespace quillmoss::host
