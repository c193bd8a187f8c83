// The plug-in registry the shell hands out: one registrar per key, all on one messenger.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/binary_messenger.h"
#include "engine/plugin_registrar.h"

namespace quillmoss::engine {

class EngineRegistry final : public PluginRegistry {
 public:
  // The messenger must outlive the registry (its channels unregister on destruction).
  explicit EngineRegistry(BinaryMessenger* messenger) : messenger_(messenger) {}
  EngineRegistry(const EngineRegistry&) = delete;
  EngineRegistry& operator=(const EngineRegistry&) = delete;

  PluginRegistrar* registrarForPlugin(const std::string& key) override;
  bool hasRegistrar(const std::string& key) const { return registrars_.count(key) != 0; }
  BinaryMessenger* messenger() const { return messenger_; }

 private:
  BinaryMessenger* messenger_;
  std::map<std::string, std::unique_ptr<PluginRegistrar>> registrars_;
};

}  // namespace quillmoss::engine
