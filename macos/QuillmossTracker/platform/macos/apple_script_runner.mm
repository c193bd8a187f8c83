// Browser scripts through NSAppleScript.
#import <Foundation/Foundation.h>

#include <cstring>

#include "platform/macos/macos_tracker_ports.h"

namespace quillmoss::tracker {
namespace {

// An NSNumber that holds an integer, not a fraction.
bool isIntegerNumber(id value) {
  if (![value isKindOfClass:[NSNumber class]]) return false;
  const char* type = [(NSNumber*)value objCType];
  return std::strcmp(type, @encode(double)) != 0 && std::strcmp(type, @encode(float)) != 0;
}

class AppleScriptRunner final : public ScriptRunner {
 public:
  ScriptOutcome run(const std::string& source) override {
    ScriptOutcome outcome;
    NSString* text = [[NSString alloc] initWithBytes:source.data()
                                              length:source.size()
                                            encoding:NSUTF8StringEncoding];
    if (text == nil) return outcome;
    NSAppleScript* script = [[NSAppleScript alloc] initWithSource:text];
    if (script == nil) return outcome;
    outcome.created = true;

    NSDictionary<NSString*, id>* errorInfo = nil;
    NSAppleEventDescriptor* result = [script executeAndReturnError:&errorInfo];
    if (errorInfo != nil) {
      outcome.hasErrorInfo = true;
      id number = errorInfo[NSAppleScriptErrorNumber];
      if (isIntegerNumber(number)) outcome.errorNumber = [(NSNumber*)number longValue];
    }
    if (const char* value = result.stringValue.UTF8String) outcome.text = std::string(value);
    return outcome;
  }
};

}  // namespace

std::unique_ptr<ScriptRunner> makeAppleScriptRunner() {
  return std::make_unique<AppleScriptRunner>();
}

}  // namespace quillmoss::tracker
