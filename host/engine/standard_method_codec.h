// The engine's standard method codec: method calls and reply envelopes over the standard
// message codec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/encodable_value.h"
#include "engine/method_call.h"

namespace quillmoss::engine {

// The method name as a string value, then the arguments value.
std::vector<std::uint8_t> encodeMethodCall(const MethodCall& call);
// Nullopt unless the bytes are exactly a string name followed by one value.
std::optional<MethodCall> decodeMethodCall(const std::uint8_t* data, std::size_t size);

// 0, then the value.
std::vector<std::uint8_t> encodeSuccessEnvelope(const EncodableValue& value);
// 1, the code, the message (null when empty, as the engine sends it), then the details.
std::vector<std::uint8_t> encodeErrorEnvelope(const std::string& code, const std::string& message,
                                              const EncodableValue& details);

// A reply as the caller sees it.
struct MethodReply {
  enum class Kind { kNotImplemented, kSuccess, kError };
  Kind kind = Kind::kNotImplemented;
  EncodableValue value;  // The success value.
  std::string code;      // The error's parts.
  std::optional<std::string> message;
  EncodableValue details;
};

// Empty bytes are the not-implemented reply; nullopt for a malformed envelope.
std::optional<MethodReply> decodeMethodReply(const std::uint8_t* data, std::size_t size);

}  // namespace quillmoss::engine
