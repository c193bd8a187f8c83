// A named channel that decodes method calls with the standard method codec and encodes replies.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/binary_messenger.h"
#include "engine/method_call.h"
#include "engine/method_result.h"

namespace quillmoss::engine {

using MethodCallHandler =
    std::function<void(const MethodCall& call, std::unique_ptr<MethodResult> result)>;

class MethodChannel {
 public:
  // The messenger must outlive the channel.
  MethodChannel(BinaryMessenger* messenger, std::string name);
  ~MethodChannel();
  MethodChannel(const MethodChannel&) = delete;
  MethodChannel& operator=(const MethodChannel&) = delete;

  const std::string& name() const { return name_; }
  // Undecodable messages get the empty reply, as a channel without handler does.
  void setMethodCallHandler(MethodCallHandler handler);

 private:
  BinaryMessenger* messenger_;
  std::string name_;
};

}  // namespace quillmoss::engine
