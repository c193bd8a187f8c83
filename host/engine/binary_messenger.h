// Raw messages on named channels between the host and the UI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quillmoss::engine {

// Sends the reply bytes for one message; called exactly once. Empty means "no handler".
using BinaryReply = std::function<void(const std::uint8_t* reply, std::size_t size)>;
using BinaryMessageHandler =
    std::function<void(const std::uint8_t* message, std::size_t size, BinaryReply reply)>;

class BinaryMessenger {
 public:
  virtual ~BinaryMessenger() = default;
  // Handlers are called on the main thread. An empty handler removes the channel's handler.
  virtual void setMessageHandler(const std::string& channel, BinaryMessageHandler handler) = 0;
};

}  // namespace quillmoss::engine
