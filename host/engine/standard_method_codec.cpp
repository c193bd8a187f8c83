// Method calls and envelopes in the engine's standard method codec.
#include "engine/standard_method_codec.h"

#include "engine/standard_message_codec.h"

namespace quillmoss::engine {

namespace {
constexpr std::uint8_t kSuccessEnvelope = 0;
constexpr std::uint8_t kErrorEnvelope = 1;
constexpr std::size_t kReplyDecodeBytesPerMessageByte = 32;
}  // namespace

std::vector<std::uint8_t> encodeMethodCall(const MethodCall& call) {
  std::vector<std::uint8_t> out;
  writeStandardValue(out, EncodableValue(call.methodName()));
  writeStandardValue(out, call.arguments());
  return out;
}

std::optional<MethodCall> decodeMethodCall(const std::uint8_t* data, std::size_t size) {
  StandardValueReader reader(data, size);
  EncodableValue name;
  EncodableValue arguments;
  if (!reader.readValue(name) || !reader.readValue(arguments) || !reader.atEnd()) {
    return std::nullopt;
  }
  auto* text = std::get_if<std::string>(&name);
  if (text == nullptr) return std::nullopt;
  return MethodCall(std::move(*text), std::move(arguments));
}

std::vector<std::uint8_t> encodeSuccessEnvelope(const EncodableValue& value) {
  std::vector<std::uint8_t> out{kSuccessEnvelope};
  writeStandardValue(out, value);
  return out;
}

std::vector<std::uint8_t> encodeErrorEnvelope(const std::string& code, const std::string& message,
                                              const EncodableValue& details) {
  std::vector<std::uint8_t> out{kErrorEnvelope};
  writeStandardValue(out, EncodableValue(code));
  writeStandardValue(out, message.empty() ? EncodableValue() : EncodableValue(message));
  writeStandardValue(out, details);
  return out;
}

std::optional<MethodReply> decodeMethodReply(const std::uint8_t* data, std::size_t size) {
  MethodReply reply;
  if (size == 0) return reply;
  // Replies are the host's own, built from day files: lists of small lists of numbers decode
  // into more than calls ever should.
  StandardValueReader reader(data, size, kReplyDecodeBytesPerMessageByte);
  std::uint8_t kind = 0;
  reader.readByte(kind);
  if (kind == kSuccessEnvelope) {
    if (!reader.readValue(reply.value) || !reader.atEnd()) return std::nullopt;
    reply.kind = MethodReply::Kind::kSuccess;
    return reply;
  }
  if (kind != kErrorEnvelope) return std::nullopt;
  EncodableValue code;
  EncodableValue message;
  if (!reader.readValue(code) || !reader.readValue(message) || !reader.readValue(reply.details)) {
    return std::nullopt;
  }
  // Newer engines may append a stack trace (a string or null).
  if (!reader.atEnd()) {
    EncodableValue stackTrace;
    if (!reader.readValue(stackTrace) || !reader.atEnd()) return std::nullopt;
    if (!stackTrace.isNull() && !stackTrace.getIf<std::string>()) return std::nullopt;
  }
  auto* codeText = code.getIf<std::string>();
  if (codeText == nullptr) return std::nullopt;
  if (auto* text = message.getIf<std::string>()) {
    reply.message = *text;
  } else if (!message.isNull()) {
    return std::nullopt;
  }
  reply.code = *codeText;
  reply.kind = MethodReply::Kind::kError;
  return reply;
}

}  // namespace quillmoss::engine
