// The showing page over the accessibility bus; see showing_pages.h.
#include "platform/linux/atspi/showing_pages.h"

#include <cmath>
#include <cstdlib>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/monotonic_clock.h"
#include "linux_desktop/dbus.h"
#include "platform/linux/atspi/bus_tree.h"

namespace quillmoss::tracker::atspi {
namespace {

using desktop::VariantPtr;

constexpr char kRegistry[] = "org.a11y.atspi.Registry";
constexpr char kRootPath[] = "/org/a11y/atspi/accessible/root";
// However much a peer sends, no more than this is read of it.
constexpr std::size_t kMaxApplications = 512;

}  // namespace

void ShowingPages::CloseBus::operator()(GDBusConnection* bus) const {
  g_dbus_connection_close(bus, nullptr, nullptr, nullptr);
  g_object_unref(bus);
}

// What the calls in flight share with their owner, who may be gone when they end.
struct ShowingPages::Shared {
  ShowingPages* owner = nullptr;
  GMainContext* context = nullptr;
  Connection bus;
  gulong closedHandler = 0;
  bool lost = false;
  // Application bus names and their processes (-1: unknown); unique names are never reused.
  std::unordered_map<std::string, std::int64_t> pids;
  std::size_t inFlight = 0;

  // Calls name, unless the look is over or the name could not be one; done gets nullptr for
  // every failure.
  static void call(const std::shared_ptr<Shared>& self, GDBusConnection* bus,
                   const std::string& name, const std::string& path, const char* interface,
                   const char* method, GVariant* arguments, const char* replyType,
                   GCancellable* cancel, double deadline, std::function<void(VariantPtr)> done) {
    const double left = deadline - monotonicSeconds();
    if (bus == nullptr || g_cancellable_is_cancelled(cancel) || left <= 0.0 ||
        !g_dbus_is_name(name.c_str()) || !g_variant_is_object_path(path.c_str())) {
      if (arguments != nullptr) g_variant_unref(g_variant_ref_sink(arguments));
      done(nullptr);
      return;
    }
    ++self->inFlight;
    const desktop::ThreadDefaultScope onOurs(self->context);
    desktop::callAsync(bus, name.c_str(), path.c_str(), interface, method, arguments, replyType,
                       static_cast<int>(std::ceil(left * 1000.0)), cancel,
                       [self, done = std::move(done)](VariantPtr reply) {
                         --self->inFlight;
                         done(std::move(reply));
                       });
  }

  // A private connection to a bus; nullptr on failure.
  static void open(const std::shared_ptr<Shared>& self, const std::string& address,
                   GCancellable* cancel, std::function<void(GDBusConnection*)> done) {
    using Done = std::function<void(GDBusConnection*)>;
    ++self->inFlight;
    const desktop::ThreadDefaultScope onOurs(self->context);
    g_dbus_connection_new_for_address(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancel,
        [](GObject*, GAsyncResult* result, gpointer data) {
          const std::unique_ptr<std::pair<std::shared_ptr<Shared>, Done>> call(
              static_cast<std::pair<std::shared_ptr<Shared>, Done>*>(data));
          GError* error = nullptr;
          GDBusConnection* bus = g_dbus_connection_new_for_address_finish(result, &error);
          g_clear_error(&error);
          if (bus != nullptr) g_dbus_connection_set_exit_on_close(bus, FALSE);
          --call->first->inFlight;
          call->second(bus);
        },
        new std::pair<std::shared_ptr<Shared>, Done>(self, std::move(done)));
  }

  static void onClosed(GDBusConnection*, gboolean, GError*, gpointer data) {
    static_cast<Shared*>(data)->lost = true;
  }

  void drop() {
    if (closedHandler != 0) g_signal_handler_disconnect(bus.get(), closedHandler);
    closedHandler = 0;
    bus.reset();
    pids.clear();
    lost = false;
  }
};

struct ShowingPages::Look {
  std::uint64_t id = 0;
  int pid = 0;
  std::optional<std::string> title;
  std::vector<TabAddresses::Done> waiters;
  GCancellable* cancel = g_cancellable_new();
  double deadline = 0.0;
  EventLoop::TimerId timer = 0;

  ~Look() { g_object_unref(cancel); }
};

ShowingPages::ShowingPages(EventLoop& loop, desktop::GlibContext& glib, LookupLimits limits)
    : loop_(loop), glib_(glib), limits_(limits), shared_(std::make_shared<Shared>()) {
  shared_->owner = this;
  shared_->context = glib.context();
}

ShowingPages::~ShowingPages() {
  if (look_) {
    loop_.cancel(look_->timer);
    g_cancellable_cancel(look_->cancel);
    look_.reset();
  }
  shared_->owner = nullptr;
  // Cancelled calls still end on the context; their ends free what they hold.
  Shared* shared = shared_.get();
  glib_.runUntil([shared] { return shared->inFlight == 0; }, 1000);
  shared_->drop();
}

ShowingPages* ShowingPages::stillAsking(const std::weak_ptr<Shared>& weak, std::uint64_t id) {
  const auto shared = weak.lock();
  if (!shared || shared->owner == nullptr) return nullptr;
  ShowingPages* self = shared->owner;
  return self->look_ && self->look_->id == id ? self : nullptr;
}

void ShowingPages::ask(int pid, std::optional<std::string> windowTitle, TabAddresses::Done done) {
  if (look_ && look_->pid == pid && look_->title == windowTitle) {
    look_->waiters.push_back(std::move(done));
    return;
  }
  // What the running look would find is for a window no longer asked about.
  if (look_) end(TabAnswer{std::nullopt, true});
  if (shared_->lost) shared_->drop();
  if (!shared_->bus && monotonicSeconds() < retryAt_) return done(TabAnswer{});

  look_ = std::make_unique<Look>();
  look_->id = ++lastId_;
  look_->pid = pid;
  look_->title = std::move(windowTitle);
  look_->waiters.push_back(std::move(done));
  look_->deadline = monotonicSeconds() + kLookupSeconds;
  look_->timer = loop_.scheduleOnce(kLookupSeconds, [this] {
    look_->timer = 0;
    end(TabAnswer{std::nullopt, true});
  });
  if (shared_->bus) {
    findApplication();
  } else {
    connect();
  }
  glib_.refresh();
}

void ShowingPages::connect() {
  const std::weak_ptr<Shared> weak = shared_;
  const std::uint64_t id = look_->id;
  GCancellable* cancel = look_->cancel;
  const auto toA11y = [weak, id, cancel](const std::string& address) {
    const auto shared = weak.lock();
    if (!shared) return;
    Shared::open(shared, address, cancel, [weak, id](GDBusConnection* opened) {
      Connection bus(opened);
      if (ShowingPages* self = stillAsking(weak, id)) self->connected(std::move(bus));
    });
  };
  // As libatspi does: the address in the environment, else the one the session bus gives.
  if (const char* address = std::getenv("AT_SPI_BUS_ADDRESS"); address && *address) {
    return toA11y(address);
  }
  auto session = desktop::busAddress(G_BUS_TYPE_SESSION);
  if (!session) return connected(nullptr);
  const double deadline = look_->deadline;
  Shared::open(shared_, *session, cancel,
               [weak, id, cancel, deadline, toA11y](GDBusConnection* opened) {
                 auto sessionBus = std::make_shared<Connection>(opened);
                 const auto shared = weak.lock();
                 ShowingPages* self = stillAsking(weak, id);
                 if (self == nullptr) return;
                 if (!*sessionBus) return self->connected(nullptr);
                 // Nothing is started on the user's behalf: no launcher, no accessibility bus.
                 Shared::call(shared, sessionBus->get(), "org.a11y.Bus", "/org/a11y/bus",
                              "org.a11y.Bus", "GetAddress", nullptr, "(s)", cancel, deadline,
                              [weak, id, toA11y, sessionBus](VariantPtr reply) {
                                ShowingPages* self = stillAsking(weak, id);
                                if (self == nullptr) return;
                                if (!reply) return self->connected(nullptr);
                                const gchar* address = nullptr;
                                g_variant_get(reply.get(), "(&s)", &address);
                                toA11y(address);
                              });
               });
}

void ShowingPages::connected(Connection bus) {
  if (!bus) {
    retryAt_ = monotonicSeconds() + kRetrySeconds;
    return end(TabAnswer{});
  }
  shared_->drop();
  shared_->bus = std::move(bus);
  shared_->closedHandler =
      g_signal_connect(shared_->bus.get(), "closed", G_CALLBACK(Shared::onClosed), shared_.get());
  findApplication();
}

void ShowingPages::findApplication() {
  const std::weak_ptr<Shared> weak = shared_;
  const std::uint64_t id = look_->id;
  Shared::call(shared_, shared_->bus.get(), kRegistry, kRootPath, kAccessibleInterface,
               "GetChildren", nullptr, "(a(so))", look_->cancel, look_->deadline,
               [weak, id](VariantPtr reply) {
                 if (ShowingPages* self = stillAsking(weak, id)) {
                   self->applicationsListed(std::move(reply));
                 }
               });
}

void ShowingPages::applicationsListed(desktop::VariantPtr reply) {
  if (!reply) return applicationFound(std::nullopt);
  GVariant* list = g_variant_get_child_value(reply.get(), 0);
  auto applications = std::make_shared<std::vector<NodeRef>>(references(list, kMaxApplications));
  g_variant_unref(list);

  std::unordered_set<std::string> listed;
  for (const NodeRef& application : *applications) listed.insert(application.bus);
  std::erase_if(shared_->pids, [&](const auto& item) { return !listed.contains(item.first); });
  const auto search = [applications, shared = shared_, pid = look_->pid] {
    for (const NodeRef& application : *applications) {
      if (auto it = shared->pids.find(application.bus);
          it != shared->pids.end() && it->second == pid) {
        return std::optional<NodeRef>(application);
      }
    }
    return std::optional<NodeRef>();
  };
  if (auto found = search()) return applicationFound(found);

  // The processes of applications not seen before, asked all at once.
  const std::weak_ptr<Shared> weak = shared_;
  const std::uint64_t id = look_->id;
  auto left = std::make_shared<std::size_t>(1);
  const auto arrived = [weak, id, left, search] {
    if (--*left > 0) return;
    if (ShowingPages* self = stillAsking(weak, id)) self->applicationFound(search());
  };
  for (const std::string& name : listed) {
    if (shared_->pids.contains(name)) continue;
    ++*left;
    Shared::call(shared_, shared_->bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                 "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                 g_variant_new("(s)", name.c_str()), "(u)", look_->cancel, look_->deadline,
                 [shared = shared_, name, arrived](VariantPtr answer) {
                   guint32 pid = 0;
                   if (answer) g_variant_get(answer.get(), "(u)", &pid);
                   shared->pids[name] = answer ? std::int64_t{pid} : -1;
                   arrived();
                 });
  }
  arrived();
}

void ShowingPages::applicationFound(const std::optional<NodeRef>& application) {
  // Not on the bus: the browser does not expose its tree.
  if (!application) return end(TabAnswer{});
  const std::weak_ptr<Shared> weak = shared_;
  const std::uint64_t id = look_->id;
  std::shared_ptr<GDBusConnection> bus(
      static_cast<GDBusConnection*>(g_object_ref(shared_->bus.get())), g_object_unref);
  std::shared_ptr<GCancellable> cancel(static_cast<GCancellable*>(g_object_ref(look_->cancel)),
                                       g_object_unref);
  auto tree = std::make_shared<BusTree>(
      [shared = shared_, bus, cancel, deadline = look_->deadline](
          const NodeRef& node, const char* interface, const char* method, GVariant* arguments,
          const char* replyType, std::function<void(VariantPtr)> done) {
        Shared::call(shared, bus.get(), node.bus, node.path, interface, method, arguments,
                     replyType, cancel.get(), deadline, std::move(done));
      });
  findShowingPage(std::move(tree), *application, look_->title, limits_,
                  [weak, id](std::optional<std::string> address) {
                    if (ShowingPages* self = stillAsking(weak, id)) {
                      self->end(TabAnswer{std::move(address), false});
                    }
                  });
}

void ShowingPages::end(const TabAnswer& answer) {
  const std::unique_ptr<Look> look = std::move(look_);
  if (look->timer != 0) loop_.cancel(look->timer);
  g_cancellable_cancel(look->cancel);
  glib_.refresh();
  for (const TabAddresses::Done& done : look->waiters) done(answer);
}

}  // namespace quillmoss::tracker::atspi
