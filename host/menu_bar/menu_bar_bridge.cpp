// The menu bar ticker: channel dispatch, the status item, the one-second timer and the quit rule.
#include "menu_bar/menu_bar_bridge.h"

#include <string>

#include "engine/method_channel.h"
#include "menu_bar/menu_bar_title.h"

namespace quillmoss::host {

namespace {

const engine::EncodableValue* argument(const engine::MethodCall& call, const char* key) {
  const engine::EncodableMap* map = call.argumentMap();
  if (!map) return nullptr;
  auto found = map->find(engine::EncodableValue(std::string(key)));
  return found == map->end() ? nullptr : &found->second;
}

// A number of either kind, or nothing when missing or of another type.
std::optional<double> numberArgument(const engine::MethodCall& call, const char* key) {
  const engine::EncodableValue* value = argument(call, key);
  if (!value) return std::nullopt;
  if (const auto* d = value->getIf<double>()) return *d;
  if (value->isInteger()) return static_cast<double>(value->longValue());
  return std::nullopt;
}

std::int64_t peopleArgument(const engine::MethodCall& call) {
  const engine::EncodableValue* value = argument(call, "peopleStudying");
  return value && value->isInteger() ? value->longValue() : 1;
}

}  // namespace

MenuBarBridge::MenuBarBridge(const Services& services)
    : services_(services),
      startedAt_(services.clock.now()),
      self_(std::make_shared<Handle>(Handle{this})) {}

MenuBarBridge::~MenuBarBridge() {
  // A bridge that goes away no longer runs a ticker; its timer and item go with it.
  if (endTicker()) *services_.timerRunning = false;
}

void MenuBarBridge::registerWith(engine::PluginRegistrar* registrar, const Services& services) {
  auto channel = std::make_unique<engine::MethodChannel>(registrar->messenger(), kMenuBarChannel);
  registrar->addMethodCallDelegate(std::make_unique<MenuBarBridge>(services), std::move(channel));
}

void MenuBarBridge::handleMethodCall(const engine::MethodCall& call,
                                     std::unique_ptr<engine::MethodResult> result) {
  const std::string& method = call.methodName();
  if (method == "startTimer") {
    startedAt_ = numberArgument(call, "startedAt").value_or(services_.clock.now());
    peopleStudying_ = peopleArgument(call);
    startMenuBar();
    result->success();
  } else if (method == "updatePeople") {
    peopleStudying_ = peopleArgument(call);
    tick();
    result->success();
  } else if (method == "stopTimer") {
    stopMenuBar();
    result->success();
  } else {
    result->notImplemented();
  }
}

bool MenuBarBridge::endTicker() {
  if (ticker_) {
    services_.mainLoop.cancel(*ticker_);
    ticker_.reset();
  }
  if (statusItem_) {
    services_.statusBar.removeStatusItem(statusItem_);
    statusItem_.reset();
  }
  const bool wasRunning = *services_.timerRunning;
  *services_.timerRunning = false;
  return wasRunning;
}

void MenuBarBridge::startMenuBar() {
  // A restart only replaces the item and the timer: the quit rule belongs to "stopTimer"
  // alone, or a restart while only the menu bar shows would end the application.
  endTicker();
  *services_.timerRunning = true;

  statusItem_ = services_.statusBar.statusItemWithLength(kVariableStatusItemLength);
  std::weak_ptr<Handle> weak = self_;
  if (StatusBarButton* button = statusItem_->button()) {
    button->setFont(Font::monospacedDigitSystemFont(13.0, FontWeight::medium));
    button->setAction([weak] {
      if (auto self = weak.lock()) self->bridge->handleClick();
    });
  }
  tick();
  ticker_ = services_.mainLoop.scheduleRepeating(1.0, [weak] {
    if (auto self = weak.lock()) self->bridge->tick();
  });
}

void MenuBarBridge::stopMenuBar() {
  if (!endTicker()) return;
  if (Window* window = firstMainFlutterWindow(); window && window->isVisible()) return;
  Application* application = &services_.application;
  services_.mainLoop.post([application] { application->terminate(); });
}

void MenuBarBridge::tick() {
  std::string title = menuBarTitle(services_.clock.now(), startedAt_, peopleStudying_);
  std::weak_ptr<Handle> weak = self_;
  services_.mainLoop.post([weak, title = std::move(title)] {
    auto self = weak.lock();
    if (!self || !self->bridge->statusItem_) return;
    if (StatusBarButton* button = self->bridge->statusItem_->button()) button->setTitle(title);
  });
}

void MenuBarBridge::handleClick() {
  services_.application.setActivationPolicy(ActivationPolicy::regular);
  services_.application.activateIgnoringOtherApps(true);
  if (Window* window = firstMainFlutterWindow()) window->makeKeyAndOrderFront();
}

Window* MenuBarBridge::firstMainFlutterWindow() const {
  for (Window* window : services_.application.windows()) {
    if (window->className() == "MainFlutterWindow") return window;
  }
  return nullptr;
}

}  // namespace quillmoss::host
