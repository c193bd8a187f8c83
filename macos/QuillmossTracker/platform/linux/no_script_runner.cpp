// Browser scripting where there is no script engine.
#include "platform/linux/no_script_runner.h"

namespace quillmoss::tracker {

ScriptOutcome NoScriptRunner::run(const std::string& /*source*/) {
  ScriptOutcome outcome;
  outcome.created = true;
  outcome.hasErrorInfo = true;
  outcome.errorNumber = kNoScriptEngineError;
  return outcome;
}

}  // namespace quillmoss::tracker
