// Registrar: keeps delegates and their channels alive and routes calls between them.
#include "engine/plugin_registrar.h"

namespace quillmoss::engine {

void PluginRegistrar::addMethodCallDelegate(std::unique_ptr<Plugin> delegate,
                                            std::unique_ptr<MethodChannel> channel) {
  if (!delegate || !channel) return;
  Plugin* target = delegate.get();
  // The channel is destroyed before the delegate (member order), so the raw pointer never
  // outlives its object.
  channel->setMethodCallHandler(
      [target](const MethodCall& call, std::unique_ptr<MethodResult> result) {
        target->handleMethodCall(call, std::move(result));
      });
  delegates_.push_back(std::move(delegate));
  channels_.push_back(std::move(channel));
}

}  // namespace quillmoss::engine
