// Our engine interface served on the Flutter macOS embedding: the messenger adapter that puts
// our channels on the engine's binary messenger, and the registry of our plug-ins' registrars.
// Objective-C++ only.
#pragma once

#import <FlutterMacOS/FlutterMacOS.h>

#include <map>
#include <memory>
#include <string>

#include "engine/binary_messenger.h"
#include "engine/plugin_registrar.h"

namespace quillmoss::engine {

// One binary message handler per channel on the engine's messenger; replies go back as NSData,
// the empty reply as nil (no handler). Main thread only, as the engine calls it.
class FlutterMessengerAdapter final : public BinaryMessenger {
 public:
  explicit FlutterMessengerAdapter(id<FlutterBinaryMessenger> _Nonnull messenger)
      : messenger_(messenger) {}

  void setMessageHandler(const std::string& channel, BinaryMessageHandler handler) override;

 private:
  id<FlutterBinaryMessenger> _Nonnull messenger_;
};

// A registrar of ours per key, each on the messenger of the engine's registrar with that key.
// Owns the registrars (and through them the plug-ins); keep it as long as the engine.
class FlutterRegistryAdapter final : public PluginRegistry {
 public:
  explicit FlutterRegistryAdapter(NSObject<FlutterPluginRegistry>* _Nonnull registry)
      : registry_(registry) {}
  FlutterRegistryAdapter(const FlutterRegistryAdapter&) = delete;
  FlutterRegistryAdapter& operator=(const FlutterRegistryAdapter&) = delete;

  PluginRegistrar* _Nonnull registrarForPlugin(const std::string& key) override;

 private:
  struct Entry {
    std::unique_ptr<FlutterMessengerAdapter> messenger;
    std::unique_ptr<PluginRegistrar> registrar;  // destroyed first: it uses the messenger
  };

  NSObject<FlutterPluginRegistry>* _Nonnull registry_;
  std::map<std::string, Entry> entries_;
};

}  // namespace quillmoss::engine
