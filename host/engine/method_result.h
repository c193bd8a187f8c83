// The reply to one method call. Answered exactly once: a second answer is a programming
// error (asserted in debug builds, ignored in release).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/encodable_value.h"

namespace quillmoss::engine {

class MethodResult {
 public:
  MethodResult() = default;
  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;
  virtual ~MethodResult() = default;

  void success(const EncodableValue& value = EncodableValue());
  void error(const std::string& code, const std::string& message = std::string(),
             const EncodableValue& details = EncodableValue());
  void notImplemented();
  // A success whose envelope the caller has already written in the standard method codec (0,
  // then the value): a large reply can then be written straight from its source, off the main
  // thread, with no value tree. The bytes are sent as they are; the caller keeps them.
  void successEncoded(const std::vector<std::uint8_t>& envelope);

  bool answered() const { return answered_; }

 protected:
  virtual void successInternal(const EncodableValue& value) = 0;
  virtual void errorInternal(const std::string& code, const std::string& message,
                             const EncodableValue& details) = 0;
  virtual void notImplementedInternal() = 0;
  virtual void successEncodedInternal(const std::vector<std::uint8_t>& envelope) = 0;

 private:
  bool claim();
  bool answered_ = false;
};

}  // namespace quillmoss::engine
