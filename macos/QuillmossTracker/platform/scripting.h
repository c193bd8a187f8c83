// Runs a browser script and reports what came back.
#pragma once

#include <optional>
#include <string>

namespace quillmoss::tracker {

struct ScriptOutcome {
  bool created = false;             // false: the script object could not be made
  bool hasErrorInfo = false;        // an error dictionary came back
  std::optional<long> errorNumber;  // its integer error number, when it has one
  std::optional<std::string> text;  // the result as text, when there is text
};

class ScriptRunner {
 public:
  virtual ~ScriptRunner() = default;
  // Compiles and runs the source synchronously.
  virtual ScriptOutcome run(const std::string& source) = 0;
};

}  // namespace quillmoss::tracker
