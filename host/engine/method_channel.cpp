// Method channel: decodes calls from the messenger and answers through an encoding result.
#include "engine/method_channel.h"

#include <utility>

#include "engine/standard_method_codec.h"

namespace quillmoss::engine {

namespace {

// Encodes the answer as an envelope; a result dropped unanswered still sends the empty reply,
// so the caller is never left waiting.
class ChannelMethodResult final : public MethodResult {
 public:
  explicit ChannelMethodResult(BinaryReply reply) : reply_(std::move(reply)) {}
  ~ChannelMethodResult() override {
    if (!answered()) send(nullptr, 0);
  }

 protected:
  void successInternal(const EncodableValue& value) override {
    const auto bytes = encodeSuccessEnvelope(value);
    send(bytes.data(), bytes.size());
  }
  void errorInternal(const std::string& code, const std::string& message,
                     const EncodableValue& details) override {
    const auto bytes = encodeErrorEnvelope(code, message, details);
    send(bytes.data(), bytes.size());
  }
  void notImplementedInternal() override { send(nullptr, 0); }
  void successEncodedInternal(const std::vector<std::uint8_t>& envelope) override {
    send(envelope.data(), envelope.size());
  }

 private:
  void send(const std::uint8_t* bytes, std::size_t size) {
    if (reply_) std::exchange(reply_, nullptr)(bytes, size);
  }

  BinaryReply reply_;
};

}  // namespace

MethodChannel::MethodChannel(BinaryMessenger* messenger, std::string name)
    : messenger_(messenger), name_(std::move(name)) {}

MethodChannel::~MethodChannel() {
  // Nothing may reach a handler whose owner is gone.
  messenger_->setMessageHandler(name_, nullptr);
}

void MethodChannel::setMethodCallHandler(MethodCallHandler handler) {
  if (!handler) {
    messenger_->setMessageHandler(name_, nullptr);
    return;
  }
  messenger_->setMessageHandler(
      name_, [handler = std::move(handler)](const std::uint8_t* message, std::size_t size,
                                            BinaryReply reply) {
        auto call = decodeMethodCall(message, size);
        if (!call) {
          if (reply) reply(nullptr, 0);
          return;
        }
        handler(*call, std::make_unique<ChannelMethodResult>(std::move(reply)));
      });
}

}  // namespace quillmoss::engine
