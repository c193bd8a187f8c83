// Selector dispatch for the plug-in stand-ins.
#include "shell/stand_in_plugins.h"

namespace quillmoss::host {

bool performClassSelector(const PluginClass& pluginClass, const std::string& selector,
                          engine::PluginRegistrar* registrar) {
  auto method = pluginClass.classMethods.find(selector);
  if (method == pluginClass.classMethods.end()) return false;
  method->second(registrar);
  return true;
}

}  // namespace quillmoss::host
