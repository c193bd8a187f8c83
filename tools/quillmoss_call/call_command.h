// The command `quillmoss-call CHANNEL METHOD [ARGUMENTS_JSON]`: one method call to a running
// host over its socket, the reply printed as JSON.
#pragma once

#include <string>
#include <vector>

namespace quillmoss::tools {

inline constexpr char kChannelPrefix[] = "com.velbrook.quillmoss/";

enum CallExit {
  kCallSucceeded = 0,
  kCallChannelError = 1,
  kCallNotImplemented = 2,
  kCallNoHost = 3,
  kCallTransportFailed = 4,  // Timed out, connection lost, malformed reply, output not written.
  kCallUsage = 64,
};

// `arguments` excludes the program name. Returns the exit status; `out` and `err` receive
// what goes to standard output and standard error.
int runCallCommand(const std::vector<std::string>& arguments, std::string& out, std::string& err);

}  // namespace quillmoss::tools
