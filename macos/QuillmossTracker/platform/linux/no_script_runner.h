// Browser scripting where there is no script engine: every script fails.
#pragma once

#include "platform/scripting.h"

namespace quillmoss::tracker {

// The error number reported for every script (errOSASystemError); not the denial -1743.
inline constexpr long kNoScriptEngineError = -1750;

class NoScriptRunner final : public ScriptRunner {
 public:
  ScriptOutcome run(const std::string& source) override;
};

}  // namespace quillmoss::tracker
