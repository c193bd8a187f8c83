#!/usr/bin/python3
"""Stand-ins for the desktop's D-Bus services on a private session bus, for the tracker's tests.
    fake_services.py screensaver  org.freedesktop.ScreenSaver; stdin: lock | unlock
    fake_services.py kwin FILE CLASS PID
                                  KWin's scripting interface; once the tracker starts the script,
                                  the script's first report (the window in front). stdin:
                                  activate FILE CLASS PID | none | spoof FILE CLASS PID
    fake_services.py logind       logind's manager and our session, on the bus named by
                                  DBUS_SYSTEM_BUS_ADDRESS; stdin: lock | unlock
    fake_services.py gnome APPID CLASS PID
                                  the Quillmoss GNOME Shell extension and Mutter's idle monitor.
                                  stdin: focus APPID CLASS PID | none | idle MILLISECONDS
Both also list WINDOWS for the host (KWin: when the host's script starts); stdin: retitle.
Prints "ready" once its names are owned, then one line per call it receives or makes. Run with
Debian's python3 (it needs python3-gi)."""

import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

TRACKER = ("com.velbrook.quillmoss.Tracker", "/com/velbrook/quillmoss/Tracker",
           "com.velbrook.quillmoss.Tracker")
FOCUS_PATH = "/com/velbrook/quillmoss/FocusedWindow"
SESSION_PATH = "/org/freedesktop/login1/session/_31"
FOCUS_IFACE = "com.velbrook.quillmoss.FocusedWindow"
HOST = ("com.velbrook.quillmoss.Host", "/com/velbrook/quillmoss/Host",
        "com.velbrook.quillmoss.Windows")
# The windows the shell shows: app id, WM class, pid, title.
WINDOWS = [["org.example.E2E.desktop", "e2e", 0, "draft - E2E Editor"],
           ["", "e2etool", 0, "Tool Window"], ["", "e2etool", 0, "Other tool window"]]

XML = {
    "screensaver": """<node><interface name="org.freedesktop.ScreenSaver">
        <method name="GetActive"><arg type="b" direction="out"/></method>
        <signal name="ActiveChanged"><arg type="b"/></signal></interface></node>""",
    "kwin": """<node><interface name="org.kde.kwin.Scripting">
        <method name="loadScript"><arg type="s" direction="in"/><arg type="s" direction="in"/>
          <arg type="i" direction="out"/></method>
        <method name="start"/>
        <method name="unloadScript"><arg type="s" direction="in"/><arg type="b" direction="out"/>
        </method></interface></node>""",
    "gnome": f"""<node><interface name="{FOCUS_IFACE}">
        <method name="GetFocus"><arg type="s" direction="out"/><arg type="s" direction="out"/>
          <arg type="i" direction="out"/></method>
        <method name="ListWindows"><arg type="a(ssis)" direction="out"/></method>
        <signal name="FocusChanged"><arg type="s"/><arg type="s"/><arg type="i"/></signal>
        </interface></node>""",
    "manager": """<node><interface name="org.freedesktop.login1.Manager">
        <method name="GetSessionByPID"><arg type="u" direction="in"/><arg type="o" direction="out"/>
        </method>
        <method name="GetSession"><arg type="s" direction="in"/><arg type="o" direction="out"/>
        </method></interface></node>""",
    "session": """<node><interface name="org.freedesktop.login1.Session">
        <property name="LockedHint" type="b" access="read"/></interface></node>""",
    "idle": """<node><interface name="org.gnome.Mutter.IdleMonitor">
        <method name="GetIdletime"><arg type="t" direction="out"/></method>
        </interface></node>""",
}


# What each stand-in owns: (bus name, object path, interface) triples.
EXPORTS = {
    "screensaver": [("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "screensaver")],
    "logind": [("org.freedesktop.login1", "/org/freedesktop/login1", "manager"),
               ("org.freedesktop.login1", SESSION_PATH, "session")],
    "kwin": [("org.kde.KWin", "/Scripting", "kwin")],
    "gnome": [("com.velbrook.quillmoss.FocusedWindow", FOCUS_PATH, "gnome"),
              ("org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core", "idle")],
}


def say(*words):
    print(*words, flush=True)


def fields(words):
    """APPID CLASS PID, "-" standing for an empty field."""
    return [w if w != "-" else "" for w in (list(words) + ["", "", ""])[:3]]


class Fake:
    def __init__(self, kind, first):
        self.kind = kind
        self.bus = Gio.bus_get_sync(Gio.BusType.SYSTEM if kind == "logind" else Gio.BusType.SESSION,
                                    None)
        self.active = False
        self.focus = first
        self.idle_ms = 0
        self.script = None
        for name, path, xml in EXPORTS[kind]:
            info = Gio.DBusNodeInfo.new_for_xml(XML[xml]).interfaces[0]
            self.bus.register_object(path, info, self.call, self.get_property, None)
            self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "RequestName",
                               GLib.Variant("(su)", (name, 4)), None, Gio.DBusCallFlags.NONE, 5000,
                               None)
        GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, self.command)
        say("ready")

    def get_property(self, bus, sender, path, interface, name):
        say("Get", name)
        return GLib.Variant("b", self.active)

    def call(self, bus, sender, path, interface, method, args, invocation):
        say(method, *args.unpack())
        if method in ("GetSessionByPID", "GetSession"):
            invocation.return_value(GLib.Variant("(o)", (SESSION_PATH,)))
        elif method == "GetActive":
            invocation.return_value(GLib.Variant("(b)", (self.active,)))
        elif method == "loadScript":
            self.script = args.unpack()
            invocation.return_value(GLib.Variant("(i)", (1,)))
        elif method == "start":
            invocation.return_value(None)
            # The tracker's script reports the window in front as it starts, the host's the windows.
            hosts = self.script[1] == "quillmoss-windows"
            GLib.idle_add(lambda: (self.list() if hosts else self.report(self.bus, self.focus))
                          and False)
        elif method == "unloadScript":
            invocation.return_value(GLib.Variant("(b)", (self.script is not None,)))
            self.script = None
        elif method == "GetFocus":
            invocation.return_value(self.focus_variant())
        elif method == "ListWindows":
            invocation.return_value(GLib.Variant("(a(ssis))", (WINDOWS,)))
        elif method == "GetIdletime":
            invocation.return_value(GLib.Variant("(t)", (self.idle_ms,)))

    def focus_variant(self):
        appid, cls, pid = self.focus
        return GLib.Variant("(ssi)", (appid, cls, int(pid or 0)))

    def report(self, bus, focus):
        """The KWin script's call to the tracker."""
        try:
            bus.call_sync(*TRACKER, "WindowActivated", GLib.Variant("(sss)", tuple(focus)), None,
                          Gio.DBusCallFlags.NONE, 5000, None)
            say("reported", *focus)
        except GLib.Error as error:
            say("refused", error.message)

    def list(self):
        """The host's KWin script's call."""
        text = "\n".join("\t".join(map(str, w)) for w in WINDOWS)
        self.bus.call_sync(*HOST, "WindowsChanged", GLib.Variant("(s)", (text,)), None,
                           Gio.DBusCallFlags.NONE, 5000, None)
        say("listed")

    def emit(self, path, interface, signal, variant):
        self.bus.emit_signal(None, path, interface, signal, variant)
        self.bus.flush_sync(None)

    def command(self, fd, condition):
        line = sys.stdin.readline()
        if not line:
            sys.exit(0)
        verb, *words = line.split()
        if verb in ("lock", "unlock"):
            self.active = verb == "lock"
            if self.kind == "logind":
                self.emit(SESSION_PATH, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                          GLib.Variant("(sa{sv}as)", ("org.freedesktop.login1.Session", {
                              "LockedHint": GLib.Variant("b", self.active)}, [])))
            else:
                self.emit("/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
                          "ActiveChanged", GLib.Variant("(b)", (self.active,)))
            say(verb)
        elif verb in ("activate", "focus", "none"):
            self.focus = fields(words)
            if self.kind == "kwin":
                self.report(self.bus, self.focus)
            else:
                self.emit(FOCUS_PATH, FOCUS_IFACE, "FocusChanged", self.focus_variant())
                say("focus", *self.focus)
        elif verb == "spoof":
            # Another connection than KWin's pretends to be the script.
            address = Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, None)
            other = Gio.DBusConnection.new_for_address_sync(
                address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
            self.report(other, fields(words))
        elif verb == "retitle":
            WINDOWS[1][3] = "Renamed"
            self.list() if self.script else say("listed")
        elif verb == "idle":
            self.idle_ms = int(words[0])
            say("idle", self.idle_ms)
        return True


if __name__ == "__main__":
    Fake(sys.argv[1], fields(sys.argv[2:]))
    GLib.MainLoop().run()
