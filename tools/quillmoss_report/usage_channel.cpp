// Pipelined calls on the usage channel, replies matched to calls by request id.
#include "usage_channel.h"

#include <cerrno>

#include "engine/standard_method_codec.h"

namespace quillmoss::report {

namespace {

Error transportError(const std::string& message) {
  return Error{kReportErrorDomain, kTransportFailed, message};
}

}  // namespace

Expected<UsageChannel> UsageChannel::connect(const std::string& socketPath) {
  auto client = engine::EngineClient::connect(socketPath, kConnectTimeoutMs);
  if (!client && client.error().code == ETIMEDOUT) return transportError(client.error().message);
  if (!client) {
    return Error{kReportErrorDomain, kNoHost,
                 "no quillmoss host is running (" + client.error().message + ")"};
  }
  return UsageChannel(std::move(*client));
}

Expected<std::vector<engine::EncodableValue>> UsageChannel::callAll(
    const std::vector<engine::MethodCall>& calls) {
  std::vector<engine::EncodableValue> values(calls.size());
  std::vector<bool> answered(calls.size(), false);
  const std::uint32_t firstId = nextId_;
  nextId_ += static_cast<std::uint32_t>(calls.size());
  std::size_t sent = 0;
  std::size_t received = 0;
  while (received < calls.size()) {
    for (; sent < calls.size() && sent - received < kInFlight; ++sent) {
      const auto message = engine::encodeMethodCall(calls[sent]);
      if (!client_->sendRequest(firstId + static_cast<std::uint32_t>(sent), kUsageChannel,
                                message.data(), message.size())) {
        return transportError("the host closed the connection");
      }
    }
    engine::EngineResponse response;
    switch (client_->receive(response, kReplyTimeoutMs)) {
      case engine::EngineClient::ReceiveStatus::kOk:
        break;
      case engine::EngineClient::ReceiveStatus::kTimeout:
        return transportError("the host did not answer within " +
                              std::to_string(kReplyTimeoutMs / 1000) + " s");
      case engine::EngineClient::ReceiveStatus::kClosed:
        return transportError("the host closed the connection without answering");
      case engine::EngineClient::ReceiveStatus::kMalformed:
        return transportError("the host sent a malformed frame");
    }
    const std::size_t index = response.requestId - firstId;
    const auto reply = engine::decodeMethodReply(response.reply.data(), response.reply.size());
    if (response.requestId < firstId || index >= sent || answered[index] || !reply) {
      return transportError("the host sent a reply that matches no call");
    }
    answered[index] = true;
    ++received;
    if (reply->kind == engine::MethodReply::Kind::kSuccess) values[index] = reply->value;
  }
  return values;
}

}  // namespace quillmoss::report
