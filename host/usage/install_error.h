// The errors the installation steps raise: a domain, a code and a readable message.
#pragma once

#include <string>

namespace quillmoss::host {

struct InstallError {
  std::string domain;
  int code = 0;
  std::string message;

  bool operator==(const InstallError&) const = default;
};

inline constexpr char kUsageTrackerErrorDomain[] = "UsageTracker";
// The platform's file operations report under this domain with errno as the code.
inline constexpr char kPosixErrorDomain[] = "NSPOSIXErrorDomain";

}  // namespace quillmoss::host
