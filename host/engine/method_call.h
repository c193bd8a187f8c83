// One method call as the UI sent it: a name and optional arguments.
#pragma once

#include <memory>
#include <string>

#include "engine/encodable_value.h"

namespace quillmoss::engine {

class MethodCall {
 public:
  MethodCall(std::string methodName, EncodableValue arguments)
      : methodName_(std::move(methodName)), arguments_(std::move(arguments)) {}

  const std::string& methodName() const { return methodName_; }
  // Null when the call carried no arguments.
  const EncodableValue& arguments() const { return arguments_; }
  // The arguments when they are a map, else nullptr.
  const EncodableMap* argumentMap() const { return arguments_.getIf<EncodableMap>(); }

 private:
  std::string methodName_;
  EncodableValue arguments_;
};

}  // namespace quillmoss::engine
