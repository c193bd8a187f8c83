// The focus timer in the panels' trays, on a private session bus with a watcher of our own: the
// item's properties as a panel reads them, its title each second, a click, a watcher that goes
// and comes back, and the item withdrawn when the timer stops.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <map>

#include "core/fake/fake_event_loop.h"
#include "linux_desktop/dbus.h"
#include "linux_desktop/glib_context.h"
#include "menu_bar/menu_bar_bridge.h"
#include "platform/linux/app_model/model_application.h"
#include "platform/linux/tray/status_notifier_bar.h"
#include "platform/wall_clock.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

using desktop::VariantPtr;

constexpr int kWaitMs = 5000;

// dbus-daemon with a configuration of its own: no services to start, nobody else's bus.
class PrivateBus {
 public:
  PrivateBus() {
    writeBytes(temp.path() / "bus.conf",
               "<busconfig><type>session</type><listen>unix:dir=" + temp.string() +
                   "</listen><auth>EXTERNAL</auth><policy context='default'>"
                   "<allow send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/>"
                   "<allow own='*'/></policy></busconfig>");
    const std::string config = "--config-file=" + (temp.path() / "bus.conf").string();
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"dbus-daemon", config.c_str(), "--nofork", "--print-address", nullptr};
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
      pid = 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char text[512] = {};
    for (std::size_t got = 0; pid != 0 && got < sizeof text - 1 && !address.ends_with('\n');) {
      const ssize_t n = ::read(out[0], text + got, sizeof text - 1 - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
      address = text;
    }
    ::close(out[0]);
    if (!address.empty()) address.pop_back();
  }
  ~PrivateBus() {
    if (pid == 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
  TempDir temp;
  pid_t pid = 0;
  std::string address;
};

// A panel's watcher: the items registered with it and the signals items send.
class Watcher {
 public:
  explicit Watcher(const std::string& address) : bus(connect(address)) {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.kde.StatusNotifierWatcher'>"
        "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
        "</interface></node>",
        nullptr);
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* arguments, GDBusMethodInvocation* invocation, gpointer data) {
          const gchar* service = nullptr;
          g_variant_get(arguments, "(&s)", &service);
          static_cast<Watcher*>(data)->items.push_back(service);
          g_dbus_method_invocation_return_value(invocation, nullptr);
        },
        nullptr,
        nullptr,
        {}};
    g_dbus_connection_register_object(bus.get(), "/StatusNotifierWatcher", node->interfaces[0],
                                      &vtable, this, nullptr, nullptr);
    EXPECT_TRUE(desktop::requestName(bus.get(), host::kStatusNotifierWatcher));
    signals = desktop::SignalSubscription(
        bus.get(), "org.kde.StatusNotifierItem", nullptr, host::kStatusNotifierItemPath,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
           GVariant* arguments, gpointer data) {
          gchar* printed = g_variant_print(arguments, FALSE);
          static_cast<Watcher*>(data)->received.emplace_back(name, printed);
          g_free(printed);
        },
        this);
  }
  static desktop::BusPtr connect(const std::string& address) {
    return desktop::BusPtr(g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr));
  }
  desktop::BusPtr bus;
  std::vector<std::string> items;
  std::vector<std::pair<std::string, std::string>> received;  // name, printed arguments
  desktop::SignalSubscription signals;
};

class FakeMainLoop : public FakeEventLoop, public host::WallClock {
 public:
  double now() const override { return time; }
};

class TrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (bus.address.empty()) GTEST_SKIP() << "dbus-daemon is not installed";
  }
  // Runs the bus's work on the loop's thread until the condition holds.
  void pump(const std::function<bool()>& done) { EXPECT_TRUE(glib.runUntil(done, kWaitMs)); }
  // A call from the panel's side, answered while the item's side is pumped.
  VariantPtr call(Watcher& watcher, const char* interface, const char* method,
                  GVariant* arguments) {
    struct Slot {
      GVariant* reply = nullptr;
      bool done = false;
    } slot;
    g_dbus_connection_call(
        watcher.bus.get(), itemName.c_str(), host::kStatusNotifierItemPath, interface, method,
        arguments, nullptr, G_DBUS_CALL_FLAGS_NONE, kWaitMs, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          auto* slot = static_cast<Slot*>(data);
          slot->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
          slot->done = true;
        },
        &slot);
    pump([&] { return slot.done; });
    return VariantPtr(slot.reply ? slot.reply : g_variant_ref_sink(g_variant_new("()")));
  }
  std::map<std::string, std::string> properties(Watcher& watcher) {
    std::map<std::string, std::string> found;
    VariantPtr all = call(watcher, "org.freedesktop.DBus.Properties", "GetAll",
                          g_variant_new("(s)", "org.kde.StatusNotifierItem"));
    GVariantIter* iter = nullptr;
    const gchar* name = nullptr;
    GVariant* value = nullptr;
    if (!g_variant_is_of_type(all.get(), G_VARIANT_TYPE("(a{sv})"))) return found;
    g_variant_get(all.get(), "(a{sv})", &iter);
    while (g_variant_iter_loop(iter, "{&sv}", &name, &value)) {
      gchar* text = g_variant_print(value, FALSE);
      found[name] = text;
      g_free(text);
    }
    g_variant_iter_free(iter);
    return found;
  }
  static std::vector<std::string> itemsOnBus(Watcher& watcher) {
    std::vector<std::string> items;
    auto names =
        desktop::callSync(watcher.bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                          "org.freedesktop.DBus", "ListNames", nullptr, "(as)");
    GVariantIter* iter = nullptr;
    const gchar* name = nullptr;
    g_variant_get(names->get(), "(as)", &iter);
    while (g_variant_iter_next(iter, "&s", &name)) {
      if (g_str_has_prefix(name, "org.kde.StatusNotifierItem-")) items.push_back(name);
    }
    g_variant_iter_free(iter);
    return items;
  }

  PrivateBus bus;
  ScopedEnv address{"DBUS_SESSION_BUS_ADDRESS", bus.address.c_str()};
  FakeMainLoop loop;
  desktop::GlibContext glib{loop};
  int clicks = 0;
  host::StatusNotifierBar bar{
      loop,
      glib,
      {"com.velbrook.quillmoss", host::trayIconFromTheme(QM_BUNDLE_ICONS, "com.velbrook.quillmoss"),
       "Click for the day"},
      [this] { ++clicks; }};
  appkit_model::ModelApplication application{loop};
  host::MenuBarBridge bridge{{loop, bar, application, loop}};
  std::string itemName;
};

std::string title(const std::string& time) {
  return "'\u23F1 " + time + "  \U0001F465 1'";
}

TEST_F(TrayTest, TheRunningTimerIsAnItemPanelsReadAndFollowEachSecondUntilItStops) {
  // No panel yet: the item waits on the bus, without error.
  bridge.startMenuBar();
  loop.runPending();
  {
    Watcher probe(bus.address);
    pump([&] { return !itemsOnBus(probe).empty(); });
  }

  auto watcher = std::make_unique<Watcher>(bus.address);
  Watcher& panel = *watcher;
  pump([&] { return !panel.items.empty(); });
  ASSERT_EQ(panel.items.size(), 1u);
  itemName = panel.items[0];
  EXPECT_TRUE(itemName.starts_with("org.kde.StatusNotifierItem-")) << itemName;

  auto shown = properties(panel);
  EXPECT_EQ(shown["Title"], title("00:00"));
  EXPECT_EQ(shown["XAyatanaLabel"], title("00:00"));
  EXPECT_EQ(shown["XAyatanaLabelGuide"], "'\u23F1 88:88  \U0001F465 8'");
  EXPECT_EQ(shown["ToolTip"],
            "('com.velbrook.quillmoss', [], " + title("00:00") + ", 'Click for the day')");
  EXPECT_EQ(shown["Id"], "'com.velbrook.quillmoss'");
  EXPECT_EQ(shown["Status"], "'Active'");
  EXPECT_EQ(shown["ItemIsMenu"], "false");
  EXPECT_EQ(shown["IconName"], "'com.velbrook.quillmoss'");

  // The icon's pixels: each size whole, and teal (ARGB, alpha first) where the tile is.
  VariantPtr pixmaps = call(panel, "org.freedesktop.DBus.Properties", "Get",
                            g_variant_new("(ss)", "org.kde.StatusNotifierItem", "IconPixmap"));
  GVariant* inner = nullptr;
  g_variant_get(pixmaps.get(), "(v)", &inner);
  ASSERT_EQ(g_variant_n_children(inner), std::size(host::kTrayIconSizes));
  for (std::size_t i = 0; i < g_variant_n_children(inner); ++i) {
    gint32 width = 0, height = 0;
    GVariant* bytes = nullptr;
    g_variant_get_child(inner, i, "(ii@ay)", &width, &height, &bytes);
    gsize size = 0;
    const auto* argb = static_cast<const guint8*>(g_variant_get_fixed_array(bytes, &size, 1));
    EXPECT_EQ(width, host::kTrayIconSizes[i]);
    ASSERT_EQ(size, static_cast<gsize>(width * height * 4));
    const guint8* edge = argb + (height / 2 * width + width / 8) * 4;  // inside the tile's rim
    EXPECT_EQ(edge[0], 255);
    EXPECT_GT(edge[2], edge[1] + 60) << "green over red";
    EXPECT_GT(edge[3], edge[1] + 60) << "blue over red";
    g_variant_unref(bytes);
  }
  g_variant_unref(inner);

  // Each second of the timer: a new title, tooltip and label, told to the panels.
  for (const char* time : {"00:01", "00:02"}) {
    panel.received.clear();
    loop.advance(1.0);
    pump([&] { return panel.received.size() == 3; });
    EXPECT_EQ(panel.received,
              (std::vector<std::pair<std::string, std::string>>{
                  {"NewTitle", "()"},
                  {"NewToolTip", "()"},
                  {"XAyatanaNewLabel", "(" + title(time) + ", '\u23F1 88:88  \U0001F465 8')"}}));
    EXPECT_EQ(properties(panel)["Title"], title(time));
  }

  // A click: the button's action (the application comes forward), then the desktop's own.
  application.setActivationPolicy(host::ActivationPolicy::accessory);
  call(panel, "org.kde.StatusNotifierItem", "Activate", g_variant_new("(ii)", 0, 0));
  loop.runPending();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(application.activationPolicy(), host::ActivationPolicy::regular);

  // The panel starts again: the item is registered with the new watcher.
  watcher.reset();
  Watcher again(bus.address);
  pump([&] { return again.items == std::vector<std::string>{itemName}; });

  // Stopped: gone from the bus, and so from every tray.
  bridge.stopMenuBar();
  pump([&] { return itemsOnBus(again).empty(); });
}

}  // namespace
}  // namespace quillmoss::testing
