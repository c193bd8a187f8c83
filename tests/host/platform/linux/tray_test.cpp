// The focus timer in the panels' trays, on a private session bus (GLib's GTestDBus: a
// dbus-daemon with a configuration of its own) with a watcher of our own: the item's properties
// as a panel reads them, its title each second, a click, a watcher that comes back, the end.
#include <gtest/gtest.h>

#include <map>

#include "core/fake/fake_event_loop.h"
#include "linux_desktop/glib_context.h"
#include "menu_bar/menu_bar_bridge.h"
#include "platform/linux/app_model/model_application.h"
#include "platform/linux/tray/status_notifier_bar.h"
#include "platform/wall_clock.h"

namespace quillmoss::testing {
namespace {

using Received = std::vector<std::pair<std::string, std::string>>;  // name, printed arguments

std::string printed(GVariant* value) {
  gchar* text = g_variant_print(value, FALSE);
  std::string result(text);
  g_free(text);
  return result;
}

// A panel's watcher: the items registered with it and the signals items send.
struct Watcher {
  explicit Watcher(const char* address)
      : bus(g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr)) {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.kde.StatusNotifierWatcher'><method "
        "name='RegisterStatusNotifierItem'><arg type='s'/></method></interface></node>",
        nullptr);
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* arguments, GDBusMethodInvocation* invocation, gpointer self) {
          const gchar* service = nullptr;
          g_variant_get(arguments, "(&s)", &service);
          static_cast<Watcher*>(self)->items.push_back(service);
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
           GVariant* arguments, gpointer self) {
          static_cast<Watcher*>(self)->received.emplace_back(name, printed(arguments));
        },
        this);
  }
  desktop::BusPtr bus;
  std::vector<std::string> items;
  Received received;
  desktop::SignalSubscription signals;
};

struct FakeMainLoop : FakeEventLoop, host::WallClock {
  double now() const override { return time; }
};

class TrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* daemon = g_find_program_in_path("dbus-daemon");
    if (!daemon) GTEST_SKIP() << "dbus-daemon is not installed";
    g_free(daemon);
    g_test_dbus_up(bus);
    panel = std::make_unique<Watcher>(g_test_dbus_get_bus_address(bus));
  }
  void TearDown() override {
    bridge.stopMenuBar();
    panel.reset();
    if (g_test_dbus_get_bus_address(bus)) g_test_dbus_down(bus);
    g_object_unref(bus);
  }
  // Runs the bus's work on the loop's thread until the condition holds.
  void pump(const std::function<bool()>& done) { EXPECT_TRUE(glib.runUntil(done, 5000)); }
  // A call from the panel's side, answered while the item's side is pumped; printed.
  std::string call(const char* interface, const char* method, GVariant* arguments) {
    std::optional<std::string> reply;
    g_dbus_connection_call(
        panel->bus.get(), item().c_str(), host::kStatusNotifierItemPath, interface, method,
        arguments, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
        [](GObject* bus, GAsyncResult* result, gpointer out) {
          GVariant* value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
          *static_cast<std::optional<std::string>*>(out) = value ? printed(value) : "failed";
          if (value) g_variant_unref(value);
        },
        &reply);
    pump([&] { return reply.has_value(); });
    return reply.value_or("");
  }
  std::string property(const char* name) {
    return call("org.freedesktop.DBus.Properties", "Get",
                g_variant_new("(ss)", "org.kde.StatusNotifierItem", name));
  }
  std::string item() { return panel->items.empty() ? "" : panel->items[0]; }

  GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
  std::unique_ptr<Watcher> panel;
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
};

std::string title(const std::string& time) {
  return "\u23F1 " + time + "  \U0001F465 1";
}
const char kGuide[] = "'\u23F1 88:88  \U0001F465 8'";

TEST_F(TrayTest, TheRunningTimerIsAnItemPanelsReadAndFollowEachSecondUntilItStops) {
  bridge.startMenuBar();
  loop.runPending();
  pump([&] { return !panel->items.empty(); });
  ASSERT_TRUE(item().starts_with("org.kde.StatusNotifierItem-")) << item();
  const std::pair<const char*, std::string> shown[] = {
      {"Title", "<'" + title("00:00") + "'>"},
      {"XAyatanaLabel", "<'" + title("00:00") + "'>"},
      {"XAyatanaLabelGuide", std::string("<") + kGuide + ">"},
      {"ToolTip",
       "<('com.velbrook.quillmoss', @a(iiay) [], '" + title("00:00") + "', 'Click for the day')>"},
      {"Id", "<'com.velbrook.quillmoss'>"},
      {"Status", "<'Active'>"},
      {"ItemIsMenu", "<false>"},
      {"IconName", "<'com.velbrook.quillmoss'>"}};
  for (const auto& [name, value] : shown) EXPECT_EQ(property(name), "(" + value + ",)") << name;

  // The icon at each size, whole, alpha first, teal (green and blue over red) in the tile.
  const host::TrayIcon icon = host::trayIconFromTheme(QM_BUNDLE_ICONS, "com.velbrook.quillmoss");
  ASSERT_EQ(icon.pixmaps.size(), std::size(host::kTrayIconSizes));
  for (const host::TrayPixmap& pixmap : icon.pixmaps) {
    ASSERT_EQ(pixmap.argb.size(), static_cast<std::size_t>(pixmap.width * pixmap.height * 4));
    const std::uint8_t* tile =
        &pixmap.argb[(pixmap.height / 2 * pixmap.width + pixmap.width / 8) * 4];
    EXPECT_EQ(tile[0], 255);
    EXPECT_GT(std::min(tile[2], tile[3]), tile[1] + 60) << pixmap.width;
  }
  const std::string pixmaps = property("IconPixmap");
  EXPECT_TRUE(pixmaps.starts_with("(<[(16, 16, [byte 0x") &&
              pixmaps.find("), (64, 64, [0x") != std::string::npos)
      << pixmaps.substr(pixmaps.find("(64"), 40);

  // Each second of the timer: a new title, tooltip and label, told to the panels.
  for (const char* time : {"00:01", "00:02"}) {
    panel->received.clear();
    loop.advance(1.0);
    pump([&] { return panel->received.size() == 3; });
    EXPECT_EQ(panel->received,
              (Received{{"NewTitle", "()"},
                        {"NewToolTip", "()"},
                        {"XAyatanaNewLabel", "('" + title(time) + "', " + kGuide + ")"}}));
  }

  // A click: the button's action (the application comes forward), then the desktop's own.
  application.setActivationPolicy(host::ActivationPolicy::accessory);
  EXPECT_EQ(call("org.kde.StatusNotifierItem", "Activate", g_variant_new("(ii)", 0, 0)), "()");
  loop.runPending();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(application.activationPolicy(), host::ActivationPolicy::regular);

  // The panel starts again: the item is registered with the new watcher.
  const std::string name = item();
  panel.reset();
  panel = std::make_unique<Watcher>(g_test_dbus_get_bus_address(bus));
  pump([&] { return item() == name; });

  // Stopped: gone from the bus, and so from every tray.
  bridge.stopMenuBar();
  pump([&] { return !desktop::nameHasOwner(panel->bus.get(), name.c_str()); });
}

}  // namespace
}  // namespace quillmoss::testing
