// A messenger keeping handlers by channel that records the replies to the messages it sends.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/binary_messenger.h"
#include "engine/standard_method_codec.h"

namespace quillmoss::testing {

class RecordingMessenger : public engine::BinaryMessenger {
 public:
  using Bytes = std::vector<std::uint8_t>;

  void setMessageHandler(const std::string& channel,
                         engine::BinaryMessageHandler handler) override {
    if (!handler) {
      handlers.erase(channel);
      return;
    }
    if (onHandlerSet) onHandlerSet(channel);
    handlers[channel] = std::move(handler);
  }

  // Sends the message; its replies land in replies[id], possibly later. -1: no handler.
  int send(const std::string& channel, const Bytes& message) {
    auto handler = handlers.find(channel);
    if (handler == handlers.end()) return -1;
    const int id = nextId++;
    handler->second(message.data(), message.size(),
                    [this, id](const std::uint8_t* data, std::size_t size) {
                      replies[id].push_back(Bytes(data, data + size));
                    });
    return id;
  }
  int call(const std::string& channel, const std::string& method,
           engine::EncodableValue arguments = {}) {
    return send(channel,
                engine::encodeMethodCall(engine::MethodCall(method, std::move(arguments))));
  }
  // The first reply to a message, decoded; nullopt when none came.
  std::optional<engine::MethodReply> reply(int id) {
    if (replies[id].empty()) return std::nullopt;
    return engine::decodeMethodReply(replies[id][0].data(), replies[id][0].size());
  }

  std::map<std::string, engine::BinaryMessageHandler> handlers;
  std::function<void(const std::string&)> onHandlerSet;  // Called as each handler is set.
  std::map<int, std::vector<Bytes>> replies;
  int nextId = 1;
};

}  // namespace quillmoss::testing
