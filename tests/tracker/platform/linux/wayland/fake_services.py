#!/usr/bin/python3
"""Stand-ins for the desktop's D-Bus services on a private bus, for the tracker's tests.
Each takes commands on stdin:
    screensaver            org.freedesktop.ScreenSaver: lock | unlock
    logind                 logind's manager and session (and GDM's version) on
                           DBUS_SYSTEM_BUS_ADDRESS: lock | unlock
    kwin FILE CLASS PID    KWin's scripting; the tracker's script reports the window in front as
                           it starts: activate FILE CLASS PID | none | spoof FILE CLASS PID
    gnome APPID CLASS PID  the GNOME Shell extension and Mutter's idle monitor:
                           focus APPID CLASS PID | none | idle MILLISECONDS
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
DBUS = ("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus")


def node(interface, body):
    return f'<node><interface name="{interface}">{body}</interface></node>'


def member(name, ins="", outs=""):
    args = [f'<arg type="{t}" direction="in"/>' for t in ins.split()]
    args += [f'<arg type="{t}" direction="out"/>' for t in outs.split()]
    return f'<method name="{name}">{"".join(args)}</method>'


def signal(name, types):
    return f'<signal name="{name}">{"".join(f"<arg type={t!r}/>" for t in types.split())}</signal>'


# What each stand-in owns: bus name, object path, introspection (argument types space-separated).
EXPORTS = {
    "screensaver": [("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                     node("org.freedesktop.ScreenSaver",
                          member("GetActive", outs="b") + signal("ActiveChanged", "b")))],
    "logind": [("org.freedesktop.login1", "/org/freedesktop/login1",
                node("org.freedesktop.login1.Manager", member("GetSessionByPID", "u", "o") +
                     member("GetSession", "s", "o"))),
               ("org.freedesktop.login1", SESSION_PATH, node(
                   "org.freedesktop.login1.Session",
                   '<property name="LockedHint" type="b" access="read"/>' +
                   member("SetLockedHint", "b"))),
               # GNOME Shell locks the screen only where GDM runs.
               ("org.gnome.DisplayManager", "/org/gnome/DisplayManager/Manager", node(
                   "org.gnome.DisplayManager.Manager",
                   '<property name="Version" type="s" access="read"/>'))],
    "kwin": [("org.kde.KWin", "/Scripting", node(
        "org.kde.kwin.Scripting", member("loadScript", "s s", "i") + member("start") +
        member("unloadScript", "s", "b")))],
    "gnome": [("com.velbrook.quillmoss.FocusedWindow", FOCUS_PATH, node(
                  FOCUS_IFACE,
                  member("GetFocus", outs="s s i") + signal("FocusChanged", "s s i"))),
              ("org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
               node("org.gnome.Mutter.IdleMonitor", member("GetIdletime", outs="t")))],
}


def call(bus, target, method, args):
    return bus.call_sync(*target, method, args, None, Gio.DBusCallFlags.NONE, 5000, None)


def say(*words):
    print(*words, flush=True)


def fields(words):
    """APPID CLASS PID, "-" standing for an empty field."""
    return [w if w != "-" else "" for w in (list(words) + ["", "", ""])[:3]]


class Fake:
    def __init__(self, kind, first):
        self.kind, self.active, self.focus, self.idle_ms, self.script = kind, False, first, 0, None
        self.bus = Gio.bus_get_sync(Gio.BusType.SYSTEM if kind == "logind" else Gio.BusType.SESSION)
        for name, path, xml in EXPORTS[kind]:
            info = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
            self.bus.register_object(path, info, self.call, self.get_property, None)
            call(self.bus, DBUS, "RequestName", GLib.Variant("(su)", (name, 4)))
        GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, self.command)
        say("ready")

    def get_property(self, bus, sender, path, interface, name):
        say("Get", name)
        return GLib.Variant("s", "43.0") if name == "Version" else GLib.Variant("b", self.active)

    def call(self, bus, sender, path, interface, method, args, invocation):
        say(method, *args.unpack())
        session = ("(o)", (SESSION_PATH,))
        replies = {"GetSessionByPID": session, "GetSession": session, "loadScript": ("(i)", (1,)),
                   "GetActive": ("(b)", (self.active,)), "GetIdletime": ("(t)", (self.idle_ms,)),
                   "unloadScript": ("(b)", (self.script is not None,)),
                   "GetFocus": ("(ssi)", self.focus_values())}
        invocation.return_value(GLib.Variant(*replies[method]) if method in replies else None)
        if method in ("loadScript", "unloadScript"):
            self.script = args.unpack() if method == "loadScript" else None
        if method == "start":
            # The tracker's script reports the window in front as it starts.
            GLib.idle_add(lambda: self.report(self.bus, self.focus) and False)

    def focus_values(self):
        appid, cls, pid = self.focus
        return appid, cls, int(pid or 0)

    def report(self, bus, focus):
        """The KWin script's call to the tracker."""
        try:
            call(bus, TRACKER, "WindowActivated", GLib.Variant("(sss)", tuple(focus)))
            say("reported", *focus)
        except GLib.Error as error:
            say("refused", error.message)

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
                self.emit(FOCUS_PATH, FOCUS_IFACE, "FocusChanged",
                          GLib.Variant("(ssi)", self.focus_values()))
                say("focus", *self.focus)
        elif verb == "spoof":
            # Another connection than KWin's pretends to be the script.
            address = Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, None)
            other = Gio.DBusConnection.new_for_address_sync(
                address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
            self.report(other, fields(words))
        elif verb == "idle":
            self.idle_ms = int(words[0])
            say("idle", self.idle_ms)
        return True


if __name__ == "__main__":
    Fake(sys.argv[1], fields(sys.argv[2:]))
    GLib.MainLoop().run()
