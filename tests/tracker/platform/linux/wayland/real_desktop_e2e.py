#!/usr/bin/env python3
"""The real tracker and host on real desktop shells, with the checks of the sway run (key,
seconds, idle, lock, name, a clean exit): GNOME Shell headless, with our extension installed by
the bundle's helper in the form it loads, and KWin on its virtual output, loading the tracker's
script. Each runs as an unprivileged user on a private session bus, with native Wayland windows
of our own.
    real_desktop_e2e.py CONTENTS XDG_CLIENT gnome-shell|kwin   (CONTENTS: the bundle's)
Skips (77) only when the desktop's program is not installed."""

import os
import re
import select
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "..", "..", "..", "support"),
                os.path.join(HERE, "..", "..", "..", "..", "..", "scripts")]
from tracker_run import (GAMMA, check_run, private_bus, stand_in, start_tracker,  # noqa: E402
                         stop_silently, write_home)
from private_session import SessionError, processes_naming, wait_until  # noqa: E402
from user_session import UserSession  # noqa: E402

FAKES = os.path.join(HERE, "fake_services.py")
DISPLAY = "wayland-qm"
UUID = "quillmoss-focus@velbrook.com"
PAUSE = 1.5  # seconds each application stays in front


class Window:
    """An xdg_client window: its lines say when it is shown and when it gains or loses the
    focus."""

    def __init__(self, process):
        self.process, self.pending = process, b""

    def expect(self, word, timeout=10):
        """Waits for the window's next line saying word; the instant it was read."""
        deadline = time.monotonic() + timeout
        while True:
            while b"\n" in self.pending:
                line, self.pending = self.pending.split(b"\n", 1)
                if line.decode() == word:
                    return time.time()
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                raise SessionError(f"the window did not say {word!r} in time")
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                raise SessionError(f"the window ended before saying {word!r}")
            self.pending += chunk


class Desktop(UserSession):
    """A session bus and a stand-in system bus (logind) with the desktop shell on them; the
    bundle, the window program and a home with Gamma's desktop entry, all the session user's."""

    def __init__(self, contents, client, shell):
        super().__init__({"PATH": "/usr/local/bin:/usr/bin:/bin", "LANG": "C.UTF-8",
                          "XDG_SESSION_ID": "1"})
        self.shell = shell
        self.contents = self.place(contents, os.path.join("quillmoss.app", "Contents"))
        self.client = self.place(client, "xdg_client")
        # The tracker's and the host's folders; the shell shares the home and its data folder
        # (extensions, desktop entries) but keeps the system's data folders for its own files.
        self.program_env, self.data_dir = write_home(self.root)
        self.env.update((k, self.program_env[k]) for k in ("HOME", "XDG_DATA_HOME"))
        # Desktop entries whose program is missing do not count for GLib: Gamma's must exist.
        stubs = os.path.join(self.root, "bin")
        os.makedirs(stubs)
        with open(os.path.join(stubs, "gamma"), "w") as f:
            f.write("#!/bin/sh\n")
        os.chmod(os.path.join(stubs, "gamma"), 0o755)
        self.env["PATH"] = f"{stubs}:{self.env['PATH']}"
        self.give(self.root)
        self.log = open(os.path.join(self.root, "shell.log"), "w+")

    def _start(self):
        for variable in ("DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"):
            self.env[variable] = private_bus(self.spawn)[1]
        stand_in(self.spawn, self.place(FAKES, "fake_services.py"), "logind")
        if self.shell == "gnome-shell":
            # Installed before the shell starts, which reads its extension folders then.
            self.run([os.path.join(self.contents, "Helpers", "quillmoss-gnome-extension")])
            self.version = self.run(["gnome-shell", "--version"]).strip()
            self.spawn(["gnome-shell", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
                        "1024x768", "--wayland-display", DISPLAY], stderr=self.log)
            wait_until(lambda: self.call("org.gnome.Shell", "/org/gnome/Shell",
                                         "org.gnome.Shell.Extensions.ListExtensions", check=False),
                       30, 0.1, "GNOME Shell")
        else:
            # A copy carries no file capability (the packaged one's cannot be run here).
            kwin = self.place(shutil.which("kwin_wayland"), "kwin_wayland")
            self.version = self.run([kwin, "--version"]).strip()
            self.spawn([kwin, "--virtual", "--socket", DISPLAY], stderr=self.log)
            wait_until(lambda: self.owned("org.kde.KWin"), 30, 0.1, "KWin")
        self.env["WAYLAND_DISPLAY"] = DISPLAY

    def call(self, dest, path, method, *args, check=True):
        return self.run(["gdbus", "call", "--session", "--dest", dest, "--object-path", path,
                         "--method", method, *args], check)

    def owned(self, name):
        return "true" in self.call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus.NameHasOwner", name)

    def open(self, app_id, title):
        """A window, once it is shown and in front."""
        window = Window(self.spawn([self.client, app_id, title], stdout=subprocess.PIPE))
        window.expect("ready")
        window.expect("active")
        return window


def heard(condition, what):
    """The instant of the first asking whose answer meets the condition."""
    def asked():
        at = time.time()
        return condition() and at
    return wait_until(asked, 10, 0.02, what)


def enable_extension(desktop):
    """Enabled as gnome-extensions does; it must load, and the overview that GNOME Shell opens at
    start must close, so that windows take the focus."""
    shell = ("org.gnome.Shell", "/org/gnome/Shell")
    desktop.call(*shell, "org.gnome.Shell.Extensions.EnableExtension", UUID)

    info = ""
    for _ in range(150):
        info = desktop.call(*shell, "org.gnome.Shell.Extensions.GetExtensionInfo", UUID)
        if re.search(r"'state': <1\.0>", info):  # enabled
            break
        time.sleep(0.1)
    assert re.search(r"'state': <1\.0>", info) and "'error': <''>" in info, \
        f"the extension did not load: {info}"
    # GNOME Shell shows it as it starts; a request to hide it in the middle of that animation
    # is lost, and the next is ignored unless it is shown again first.
    def overview(visible=None):
        if visible is not None:
            desktop.call(*shell, "org.freedesktop.DBus.Properties.Set", "org.gnome.Shell",
                         "OverviewActive", f"<{str(visible).lower()}>")
        return "true" in desktop.call(*shell, "org.freedesktop.DBus.Properties.Get",
                                      "org.gnome.Shell", "OverviewActive")
    wait_until(overview, 15, 0.05, "the overview to show")

    def hidden():
        if not overview():
            return True
        overview(True)
        overview(False)
        return False
    wait_until(hidden, 15, 0.3, "the overview to close")


def idle_readings(monitor_log):
    """The idle times (ms) GNOME's idle monitor answered to GetIdletime calls, from
    dbus-monitor's record of the bus."""
    with open(monitor_log) as f:
        text = f.read()
    calls = set(re.findall(r"method call .* sender=(\S+) -> destination=\S+ serial=(\d+) "
                           r"path=/org/gnome/Mutter/IdleMonitor/Core; "
                           r"interface=org.gnome.Mutter.IdleMonitor; member=GetIdletime", text))
    return [int(ms) for dest, serial, ms in re.findall(
        r"method return .* -> destination=(\S+) serial=\d+ reply_serial=(\d+)\n\s+uint64 (\d+)",
        text) if (dest, serial) in calls]


def gnome_shell_run(desktop):
    enable_extension(desktop)
    monitor_log = os.path.join(desktop.root, "bus.log")
    with open(monitor_log, "w") as log:
        desktop.give(monitor_log)
        desktop.spawn(["dbus-monitor", "--session", "member='GetIdletime'",
                       "type='method_return'"], stdout=log)
    wait_until(lambda: os.path.getsize(monitor_log) > 0, 10, 0.05, "dbus-monitor")
    alpha = desktop.open("alpha", "Alpha Notes")
    started = time.monotonic()
    tracker = start_tracker(desktop.spawn, os.path.join(desktop.contents, "MacOS",
                                                        "QuillmossTracker"),
                            dict(desktop.env, **desktop.program_env))
    begin = time.time()
    time.sleep(PAUSE)
    gamma = desktop.open("gamma-app", "Gamma")
    t = time.time()
    # Locked through GNOME Shell's own screen shield: nothing is credited until it lifts. It
    # says so once the lock screen is shown, as the call returns.
    saver = ("org.gnome.Shell.ScreenShield", "/org/gnome/ScreenSaver")
    assert desktop.owned(saver[0]), "GNOME Shell has no screen lock without /run/systemd/seats"
    time.sleep(PAUSE)
    desktop.call(*saver, "org.gnome.ScreenSaver.Lock")
    lock_start = time.time()
    time.sleep(PAUSE)
    # It says so once the lock screen is gone: the first asking that hears it.
    desktop.call(*saver, "org.gnome.ScreenSaver.SetActive", "false")
    lock_end = heard(lambda: "false" in desktop.call(*saver, "org.gnome.ScreenSaver.GetActive"),
                     "the screen to unlock")
    time.sleep(PAUSE)
    t4 = time.time()
    desktop.stop(gamma.process)
    alpha.expect("active")
    time.sleep(PAUSE)
    stop = time.time()
    stop_silently(tracker)
    check_run(desktop.data_dir, [("alpha", begin, t), (GAMMA, t, lock_start),
                                 (GAMMA, lock_end, t4), ("alpha", t4, stop)],
              [(lock_start, lock_end)])
    # Each switch asked the shell's idle monitor; with no input here, it counts from the start.
    readings = idle_readings(monitor_log)
    limit = (time.monotonic() - started + 60) * 1000
    assert len(readings) >= 3 and all(0 < ms < limit for ms in readings), \
        f"the idle monitor's answers to the tracker: {readings}"
    return {"alpha": "Alpha Notes", GAMMA: "Gamma"}


def kwin_loaded(desktop, name):
    return "true" in desktop.call("org.kde.KWin", "/Scripting",
                                  "org.kde.kwin.Scripting.isScriptLoaded", name)


def kwin_run(desktop):
    alpha = desktop.open("alpha", "Alpha Notes")
    # libwayland's own record of the tracker's Wayland traffic shows the idle notice arrive.
    tracker = start_tracker(desktop.spawn, os.path.join(desktop.contents, "MacOS",
                                                        "QuillmossTracker"),
                            dict(desktop.env, **desktop.program_env, WAYLAND_DEBUG="client"))
    wait_until(lambda: kwin_loaded(desktop, "quillmoss-activations"), 10, 0.05,
               "the tracker's script")
    begin = time.time()
    time.sleep(PAUSE)
    gamma = desktop.open("gamma-app", "Gamma")
    t = time.time()
    time.sleep(PAUSE)
    t2 = time.time()
    desktop.stop(gamma.process)
    alpha.expect("active")
    # The idle notice comes after 5 s without input.
    time.sleep(max(PAUSE, begin + 6 - time.time()))
    stop = time.time()
    tracker.terminate()
    out, err = tracker.communicate(timeout=10)
    assert tracker.returncode == 0 and not out, (tracker.returncode, out)
    said = err.decode(errors="replace").splitlines()
    assert all(re.match(r"\[ *[0-9.]+\] ", line) for line in said), \
        [line for line in said if not re.match(r"\[ *[0-9.]+\] ", line)][:5]
    assert any(re.search(r"(ext_idle_notification_v1@\d+\.idled|"
                         r"org_kde_kwin_idle_timeout@\d+\.idle)\(\)", line) for line in said), \
        "no idle notice reached the tracker"
    assert not kwin_loaded(desktop, "quillmoss-activations"), "the tracker left its script"
    check_run(desktop.data_dir, [("alpha", begin, t), (GAMMA, t, t2), ("alpha", t2, stop)])
    return {"alpha": "Alpha Notes"}


def host_names(desktop, names):
    """The real host names the running applications from the shell's window list, as it
    changes."""
    host = desktop.spawn([os.path.join(desktop.contents, "MacOS", "quillmoss")],
                         env=dict(desktop.env, **desktop.program_env), stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE)
    call = os.path.join(desktop.contents, "Helpers", "quillmoss-call")
    env = dict(desktop.env, **desktop.program_env)

    def name(key):
        result = subprocess.run([call, "usage_tracker", "getAppName", f'{{"bundleId": "{key}"}}'],
                                env=env, capture_output=True, text=True, timeout=20,
                                **desktop._as_session_user({}))
        return result.returncode != 3 and result.stdout.strip()
    for key, expected in names.items():
        said = wait_until(lambda: name(key), 30, 0.1, "the host")
        assert said == f'"{expected}"', f"{key} named {said}"
    # A window opened since is named too: the host follows the shell's list.
    desktop.open("late-app", "Late Window")
    wait_until(lambda: name("late-app") == '"Late Window"', 30, 0.1, "the late window's name")
    if desktop.shell == "kwin":
        assert kwin_loaded(desktop, "quillmoss-windows"), "the host's script is not loaded"
    stop_silently(host)
    if desktop.shell == "kwin":
        assert not kwin_loaded(desktop, "quillmoss-windows"), "the host left its script"


def main(contents, client, shell):
    if shutil.which("kwin_wayland" if shell == "kwin" else "gnome-shell") is None:
        print(f"skipped: {shell} is not installed (scripts/install-deps --tests)")
        sys.exit(77)
    began = time.monotonic()
    with Desktop(contents, client, shell) as desktop:
        try:
            names = (gnome_shell_run if shell == "gnome-shell" else kwin_run)(desktop)
            host_names(desktop, names)
        except BaseException:
            desktop.log.seek(0)
            print(desktop.log.read()[-3000:])
            raise
        desktop.close()
        try:
            wait_until(lambda: not processes_naming(desktop.root), 10, 0.1, "the session's processes to end")
        finally:
            for pid in processes_naming(desktop.root):
                os.kill(pid, 9)
    print(f"{desktop.version}: {time.monotonic() - began:.1f} s")


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3])
