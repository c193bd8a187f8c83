// The messenger and registry adapters over FlutterMacOS.
#include "engine/macos/flutter_binding.h"

#include <cstdint>
#include <utility>

namespace quillmoss::engine {
namespace {

NSString* _Nonnull toNSString(const std::string& text) {
  NSString* converted = [[NSString alloc] initWithBytes:text.data()
                                                 length:text.size()
                                               encoding:NSUTF8StringEncoding];
  return converted != nil ? converted : @"";
}

}  // namespace

void FlutterMessengerAdapter::setMessageHandler(const std::string& channel,
                                                BinaryMessageHandler handler) {
  NSString* name = toNSString(channel);
  if (!handler) {
    [messenger_ setMessageHandlerOnChannel:name binaryMessageHandler:nil];
    return;
  }
  [messenger_
      setMessageHandlerOnChannel:name
            binaryMessageHandler:^(NSData* _Nullable message, FlutterBinaryReply _Nonnull reply) {
              BinaryReply send = [reply](const std::uint8_t* bytes, std::size_t size) {
                reply(size == 0 ? nil : [NSData dataWithBytes:bytes length:size]);
              };
              handler(static_cast<const std::uint8_t*>(message.bytes), message.length,
                      std::move(send));
            }];
}

PluginRegistrar* FlutterRegistryAdapter::registrarForPlugin(const std::string& key) {
  auto found = entries_.find(key);
  if (found != entries_.end()) return found->second.registrar.get();
  id<FlutterPluginRegistrar> registrar = [registry_ registrarForPlugin:toNSString(key)];
  Entry entry;
  entry.messenger = std::make_unique<FlutterMessengerAdapter>(registrar.messenger);
  entry.registrar = std::make_unique<PluginRegistrar>(entry.messenger.get());
  return entries_.emplace(key, std::move(entry)).first->second.registrar.get();
}

}  // namespace quillmoss::engine
