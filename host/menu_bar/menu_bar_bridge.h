// MenuBarBridge: the "com.velbrook.quillmoss/menu_bar" channel that shows the focus timer and
// people count in the status bar and ends a menu-bar-only application when the timer stops.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "core/event_loop.h"
#include "engine/plugin_registrar.h"
#include "platform/application.h"
#include "platform/status_bar.h"
#include "platform/wall_clock.h"

namespace quillmoss::host {

inline constexpr const char* kMenuBarChannel = "com.velbrook.quillmoss/menu_bar";

class MenuBarBridge : public engine::Plugin {
 public:
  // The references must outlive the bridge. `timerRunning` is true from the start of a
  // ticker until its stop: the process's one flag, written by the bridge and read by the
  // application delegate, which share it.
  struct Services {
    EventLoop& mainLoop;
    StatusBar& statusBar;
    Application& application;
    const WallClock& clock;
    std::shared_ptr<bool> timerRunning = std::make_shared<bool>(false);
  };

  explicit MenuBarBridge(const Services& services);
  ~MenuBarBridge() override;
  MenuBarBridge(const MenuBarBridge&) = delete;
  MenuBarBridge& operator=(const MenuBarBridge&) = delete;

  // Makes the channel on the registrar's messenger and attaches a new bridge to it.
  static void registerWith(engine::PluginRegistrar* registrar, const Services& services);

  void handleMethodCall(const engine::MethodCall& call,
                        std::unique_ptr<engine::MethodResult> result) override;

  void startMenuBar();
  void stopMenuBar();
  void tick();
  void handleClick();

  double startedAt() const { return startedAt_; }
  std::int64_t peopleStudying() const { return peopleStudying_; }

 private:
  // Work that outlives a call (timers, posted tasks, the button's target) holds this weakly.
  struct Handle {
    MenuBarBridge* bridge;
  };

  // Ends the ticker; says whether it was running.
  bool endTicker();
  Window* firstMainFlutterWindow() const;

  Services services_;
  std::shared_ptr<StatusItem> statusItem_;
  std::optional<EventLoop::TimerId> ticker_;
  double startedAt_;
  std::int64_t peopleStudying_ = 1;
  std::shared_ptr<Handle> self_;
};

}  // namespace quillmoss::host
