// Exactly-once bookkeeping shared by every kind of method result.
#include "engine/method_result.h"

#include <cassert>

namespace quillmoss::engine {

bool MethodResult::claim() {
  assert(!answered_ && "a method result was answered twice");
  if (answered_) return false;
  answered_ = true;
  return true;
}

void MethodResult::success(const EncodableValue& value) {
  if (claim()) successInternal(value);
}

void MethodResult::error(const std::string& code, const std::string& message,
                         const EncodableValue& details) {
  if (claim()) errorInternal(code, message, details);
}

void MethodResult::notImplemented() {
  if (claim()) notImplementedInternal();
}

void MethodResult::successEncoded(const std::vector<std::uint8_t>& envelope) {
  if (claim()) successEncodedInternal(envelope);
}

}  // namespace quillmoss::engine
