// The frontmost application on an X11 display: from the window manager's _NET_ACTIVE_WINDOW,
// with the screen saver's On and Off (MIT-SCREEN-SAVER) as the locked screen.
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <unordered_map>
#include <unordered_set>

#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/identity.h"
#include "linux_desktop/x11_window_facts.h"
#include "platform/linux/activation_filter.h"
#include "platform/linux/session_candidates.h"
#include "platform/linux/x11/active_window.h"
#include "platform/linux/x11/x11_link.h"

namespace quillmoss::tracker {
namespace {

using desktop::XcbReply;

// The link's event handler and lost handler capture `this`; the destructor ends them.
class X11Workspace final : public SessionWorkspace {
 public:
  explicit X11Workspace(std::shared_ptr<X11Link> link)
      : link_(std::move(link)),
        c_(link_->c()),
        root_(link_->root()),
        atoms_(link_->atoms()),
        filter_(link_->loop()) {
    link_->onLost([this] {
      filter_.stop();
      if (lostHandler_) lostHandler_();
    });
  }
  ~X11Workspace() override {
    filter_.stop();
    link_->onLost(nullptr);
    link_->dropEvents();
  }

  bool start();

  std::optional<std::string> frontmostBundleId() override { return filter_.frontmost(); }
  void observeActivations(ActivationHandler handler) override {
    filter_.setHandler(std::move(handler));
  }
  void onSessionLost(std::function<void()> handler) override { lostHandler_ = std::move(handler); }
  void frontWindow(std::function<void(const FrontWindow&)> done) override;

 private:
  using IdentityCallback = std::function<void(const std::optional<std::string>&)>;

  void handleEvent(const xcb_generic_event_t* event);
  void queryActiveWindow();
  void queryClientList();
  void resolveWindow(xcb_window_t window, int depth, IdentityCallback done);
  std::optional<std::string> identityOf(const desktop::WindowInfo& info);
  std::optional<std::string> resolveNow(xcb_window_t window);

  std::shared_ptr<X11Link> link_;
  xcb_connection_t* c_;
  xcb_window_t root_;
  desktop::X11Atoms atoms_;
  ActivationFilter filter_;
  desktop::DesktopEntryIndex index_;
  std::function<void()> lostHandler_;
  ActiveWindow active_;
  std::unordered_map<xcb_window_t, std::string> identities_;
};

bool X11Workspace::start() {
  if (link_->hasScreenSaver()) {
    xcb_screensaver_select_input(c_, root_, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
  }
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
  index_ = desktop::DesktopEntryIndex::scan();

  // The state at start-up is read synchronously, once.
  auto active = xcb_get_property(c_, 0, root_, atoms_.netActiveWindow, XCB_ATOM_WINDOW, 0, 1);
  std::optional<xcb_screensaver_query_info_cookie_t> info;
  if (link_->hasScreenSaver()) info = xcb_screensaver_query_info(c_, root_);
  XcbReply<xcb_get_property_reply_t> activeReply(xcb_get_property_reply(c_, active, nullptr));
  bool screenSaverOn = false;
  if (info) {
    XcbReply<xcb_screensaver_query_info_reply_t> reply(
        xcb_screensaver_query_info_reply(c_, *info, nullptr));
    screenSaverOn = reply && reply->state == XCB_SCREENSAVER_STATE_ON;
  }
  xcb_window_t window = desktop::propertyCard32(activeReply.get()).value_or(XCB_WINDOW_NONE);
  active_.activeIs(active_.generation(), window);
  std::optional<std::string> front;
  if (window != XCB_WINDOW_NONE) front = resolveNow(window);
  if (xcb_connection_has_error(c_)) return false;
  filter_.start(front, screenSaverOn);
  link_->watch([this](const xcb_generic_event_t* event) { handleEvent(event); });
  return true;
}

std::optional<std::string> X11Workspace::identityOf(const desktop::WindowInfo& info) {
  // New applications get desktop entries while the tracker runs (in applications/ or any folder
  // below it); the folders are looked at again only when a window is seen for the first time,
  // and read again only if they changed.
  if (index_.changedSinceScan()) index_ = index_.rescan();
  return desktop::applicationIdentity(info.facts, index_);
}

std::optional<std::string> X11Workspace::resolveNow(xcb_window_t window) {
  for (int depth = 0;; ++depth) {
    if (auto it = identities_.find(window); it != identities_.end()) return it->second;
    auto request = desktop::requestWindowFacts(c_, atoms_, window, link_->withClientPids());
    desktop::WindowInfo info = desktop::collectWindowFacts(c_, request);
    const auto owner = desktop::transientOwner(window, info.transientFor, root_, depth);
    if (!owner) {
      auto identity = identityOf(info);
      if (identity) identities_[window] = *identity;
      return identity;
    }
    window = *owner;
  }
}

void X11Workspace::handleEvent(const xcb_generic_event_t* event) {
  const std::uint8_t type = event->response_type & 0x7f;
  if (type == XCB_PROPERTY_NOTIFY) {
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notify->window != root_) return;
    if (notify->atom == atoms_.netActiveWindow) queryActiveWindow();
    if (notify->atom == atoms_.netClientList) queryClientList();
  } else if (link_->hasScreenSaver() && type == link_->screenSaverEvent()) {
    // Only On and Off come: cycle events are not asked for.
    const auto* notify = reinterpret_cast<const xcb_screensaver_notify_event_t*>(event);
    filter_.screenSaverChanged(notify->state == XCB_SCREENSAVER_STATE_ON);
  }
}

void X11Workspace::queryActiveWindow() {
  const std::uint64_t generation = active_.activeChanged();
  auto cookie = xcb_get_property(c_, 0, root_, atoms_.netActiveWindow, XCB_ATOM_WINDOW, 0, 1);
  link_->track([this, cookie, generation] {
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c_, cookie, nullptr));
    xcb_window_t window = desktop::propertyCard32(reply.get()).value_or(XCB_WINDOW_NONE);
    if (!active_.activeIs(generation, window)) return;  // a newer change is on its way
    if (window == XCB_WINDOW_NONE) {
      filter_.noActiveWindow();
      return;
    }
    filter_.windowActivated();
    resolveWindow(window, 0, [this, generation](const std::optional<std::string>& identity) {
      if (active_.current(generation)) filter_.frontChanged(identity);
    });
  });
}

void X11Workspace::resolveWindow(xcb_window_t window, int depth, IdentityCallback done) {
  if (auto it = identities_.find(window); it != identities_.end()) {
    done(it->second);
    return;
  }
  auto request = desktop::requestWindowFacts(c_, atoms_, window, link_->withClientPids());
  link_->track([this, window, depth, request, done = std::move(done)] {
    desktop::WindowInfo info = desktop::collectWindowFacts(c_, request);
    if (const auto owner = desktop::transientOwner(window, info.transientFor, root_, depth)) {
      resolveWindow(*owner, depth + 1, [this, window, done](const std::optional<std::string>& id) {
        if (id) identities_[window] = *id;
        done(id);
      });
      return;
    }
    auto identity = identityOf(info);
    // A window without an identity is asked again next time: it may not be set up yet.
    if (identity) identities_[window] = *identity;
    done(identity);
  });
}

void X11Workspace::frontWindow(std::function<void(const FrontWindow&)> done) {
  if (link_->lost() || active_.window() == XCB_WINDOW_NONE) return done({});
  // The title is asked afresh: a browser's changes with its tab.
  auto facts = desktop::requestWindowFacts(c_, atoms_, active_.window(), link_->withClientPids());
  auto title =
      xcb_get_property(c_, 0, active_.window(), atoms_.netWmName, atoms_.utf8String, 0, 1024);
  link_->track([this, facts, title, done = std::move(done)] {
    const desktop::WindowInfo info = desktop::collectWindowFacts(c_, facts);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c_, title, nullptr));
    done(FrontWindow{info.facts.pid, desktop::propertyText(reply.get())});
  });
}

void X11Workspace::queryClientList() {
  auto cookie = xcb_get_property(c_, 0, root_, atoms_.netClientList, XCB_ATOM_WINDOW, 0, 1 << 16);
  const std::uint64_t generation = active_.generation();
  link_->track([this, cookie, generation] {
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c_, cookie, nullptr));
    if (!reply || reply->format != 32) return;
    // Closed windows leave the cache, so it stays as small as the desktop and a reused
    // window id is never taken for the old window.
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    std::unordered_set<xcb_window_t> live(windows,
                                          windows + xcb_get_property_value_length(reply.get()) / 4);
    std::erase_if(identities_, [&](const auto& item) { return !live.contains(item.first); });
    if (active_.closedByList(generation, live)) filter_.noActiveWindow();
  });
}

}  // namespace

WorkspaceMade x11Workspace(SessionContext& context) {
  auto link = X11Link::of(context);
  if (!link) return link.error();
  auto workspace = std::make_unique<X11Workspace>(*link);
  if (!workspace->start())
    return desktop::cannotServe("the X display ($DISPLAY) stopped answering");
  return std::unique_ptr<SessionWorkspace>(std::move(workspace));
}

}  // namespace quillmoss::tracker
