// Plug-ins, the registrars that own them, and the registry that hands out registrars.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/binary_messenger.h"
#include "engine/method_channel.h"

namespace quillmoss::engine {

// A method-call delegate, the counterpart of the engine's FlutterPlugin.
class Plugin {
 public:
  virtual ~Plugin() = default;
  // Called on the main thread; the result must be answered exactly once, on the main thread.
  virtual void handleMethodCall(const MethodCall& call, std::unique_ptr<MethodResult> result) = 0;
};

class PluginRegistrar {
 public:
  explicit PluginRegistrar(BinaryMessenger* messenger) : messenger_(messenger) {}
  PluginRegistrar(const PluginRegistrar&) = delete;
  PluginRegistrar& operator=(const PluginRegistrar&) = delete;

  BinaryMessenger* messenger() const { return messenger_; }
  // Takes ownership of both for the registrar's life and routes the channel's calls to the
  // delegate (the counterpart of addMethodCallDelegate:channel:).
  void addMethodCallDelegate(std::unique_ptr<Plugin> delegate,
                             std::unique_ptr<MethodChannel> channel);

 private:
  BinaryMessenger* messenger_;
  std::vector<std::unique_ptr<Plugin>> delegates_;
  std::vector<std::unique_ptr<MethodChannel>> channels_;
};

class PluginRegistry {
 public:
  virtual ~PluginRegistry() = default;
  // One registrar per key, created on first request and owned by the registry.
  virtual PluginRegistrar* registrarForPlugin(const std::string& key) = 0;
};

}  // namespace quillmoss::engine
