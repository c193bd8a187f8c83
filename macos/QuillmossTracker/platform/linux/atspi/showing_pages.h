// The page a process's front window shows, read from the desktop's accessibility bus (AT-SPI
// over D-Bus, through GDBus) without waiting: every call is asynchronous on the loop's GLib
// context, and one look has a time limit and a node budget, so a browser that stops answering
// costs one missed answer. Nothing is switched on here: a browser whose tree is not exposed
// (the user has not turned accessibility on) simply has no page.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/event_loop.h"
#include "linux_desktop/dbus.h"
#include "linux_desktop/glib_context.h"
#include "platform/linux/atspi/page_lookup.h"
#include "platform/tab_addresses.h"

namespace quillmoss::tracker::atspi {

// Its timers capture `this`, its calls a weak handle; the destructor ends every call.
class ShowingPages {
 public:
  // A look, connection included, ends by then; a new question supersedes a running look.
  static constexpr double kLookupSeconds = 1.0;
  // After the accessibility bus could not be reached, it is tried again no sooner than this.
  static constexpr double kRetrySeconds = 30.0;

  ShowingPages(EventLoop& loop, desktop::GlibContext& glib, LookupLimits limits = {});
  ~ShowingPages();
  ShowingPages(const ShowingPages&) = delete;
  ShowingPages& operator=(const ShowingPages&) = delete;

  // The address the front window of process pid shows; windowTitle, when known, tells that
  // window from the process's others. done runs once on the loop's thread, perhaps inside
  // this call.
  void ask(int pid, std::optional<std::string> windowTitle, TabAddresses::Done done);

 private:
  struct Look;
  struct Shared;
  // Closed without waiting when it goes.
  struct CloseBus {
    void operator()(GDBusConnection* bus) const;
  };
  using Connection = std::unique_ptr<GDBusConnection, CloseBus>;

  // This, when it is still there and still running look id.
  static ShowingPages* stillAsking(const std::weak_ptr<Shared>& weak, std::uint64_t id);
  void connect();
  void connected(Connection bus);
  void findApplication();
  void applicationsListed(desktop::VariantPtr reply);
  void applicationFound(const std::optional<NodeRef>& application);
  void end(const TabAnswer& answer);

  EventLoop& loop_;
  desktop::GlibContext& glib_;
  const LookupLimits limits_;
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<Look> look_;
  double retryAt_ = 0.0;
  std::uint64_t lastId_ = 0;
};

}  // namespace quillmoss::tracker::atspi
