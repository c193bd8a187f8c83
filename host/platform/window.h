// A window of the application: visibility, frame, content view controller, class tag.
#pragma once

#include <memory>
#include <string>

namespace quillmoss::host {

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  bool operator==(const Rect&) const = default;
};

// The controller of a window's content; its preferred size is what the window takes on.
class ViewController {
 public:
  virtual ~ViewController() = default;
  virtual Rect preferredContentFrame() const = 0;
};

class Window {
 public:
  virtual ~Window() = default;
  // The class the window was made as ("NSWindow", "MainFlutterWindow", ...).
  virtual std::string className() const = 0;
  virtual bool isVisible() const = 0;
  virtual Rect frame() const = 0;
  virtual void setFrame(const Rect& frame, bool display) = 0;
  virtual ViewController* contentViewController() const = 0;
  // The window owns its content view controller; installing one may resize the window.
  virtual void setContentViewController(std::unique_ptr<ViewController> controller) = 0;
  virtual bool isReleasedWhenClosed() const = 0;
  virtual void setReleasedWhenClosed(bool released) = 0;
  virtual void makeKeyAndOrderFront() = 0;
  // Hook run once after the interface file made the window.
  virtual void awakeFromNib() {}
};

}  // namespace quillmoss::host
