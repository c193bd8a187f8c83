// Registration of the UI engine's ten plug-ins with a plug-in registry, in the fixed order.
#pragma once

#include "engine/plugin_registrar.h"

namespace quillmoss::host {

void RegisterGeneratedPlugins(engine::PluginRegistry* registry);

}  // namespace quillmoss::host
