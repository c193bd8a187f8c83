// Registry: creates registrars on first request and owns them for its life.
#include "engine/engine_registry.h"

namespace quillmoss::engine {

PluginRegistrar* EngineRegistry::registrarForPlugin(const std::string& key) {
  auto& slot = registrars_[key];
  if (!slot) slot = std::make_unique<PluginRegistrar>(messenger_);
  return slot.get();
}

}  // namespace quillmoss::engine
