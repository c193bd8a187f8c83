// The UI engine's view controller stand-in: made with a plain init from the process's engine
// project, it owns the engine side (here: the messenger's plug-in registry).
#pragma once

#include <memory>
#include <string>

#include "engine/binary_messenger.h"
#include "engine/engine_registry.h"
#include "platform/window.h"

namespace quillmoss::host {

// The engine the process runs: its messenger. Must outlive every view controller.
struct FlutterProject {
  engine::BinaryMessenger* messenger = nullptr;
};

class FlutterViewController : public ViewController, public engine::PluginRegistry {
 public:
  // The size the engine's view asks for when it becomes a window's content.
  static constexpr Rect kPreferredContentFrame{0, 0, 1280, 800};

  explicit FlutterViewController(const FlutterProject& project) : registry_(project.messenger) {}

  Rect preferredContentFrame() const override { return kPreferredContentFrame; }
  engine::PluginRegistrar* registrarForPlugin(const std::string& key) override {
    return registry_.registrarForPlugin(key);
  }
  const engine::EngineRegistry& registry() const { return registry_; }

 private:
  engine::EngineRegistry registry_;
};

}  // namespace quillmoss::host
