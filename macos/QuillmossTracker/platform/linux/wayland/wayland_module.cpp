// The entry point of the Wayland mechanisms' module; see wayland_module.h.
#include "platform/linux/wayland/wayland_module.h"

extern "C" __attribute__((visibility("default"))) const quillmoss::tracker::WaylandMechanisms*
quillmoss_wayland_mechanisms() {
  using namespace quillmoss::tracker;
  static const WaylandMechanisms mechanisms{
      wlrToplevelWorkspace, kwinScriptWorkspace, gnomeExtensionWorkspace,
      extIdleNotify,        kdeKwinIdle,         gnomeIdleMonitor};
  return &mechanisms;
}
