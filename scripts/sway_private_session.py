"""A private Wayland session for scripted runs: headless sway (software rendering, no input
devices), foot terminals with chosen app ids, swaymsg to move the focus, and optionally a
private session bus. Sway refuses to run as root, so under root everything here (and whatever
spawn() starts) runs as an unprivileged user, created on first use. Waits on conditions, never
on guesses; every process it starts is ended when the session closes."""

import json
import os
import shutil
import subprocess
import time

from private_session import SessionError, wait_until
from user_session import UserSession


class PrivateSway(UserSession):
    def __init__(self, with_bus=False):
        for tool in ("sway", "swaymsg", "foot", "dbus-daemon"):
            if shutil.which(tool) is None:
                raise SessionError(f"{tool} is not installed (scripts/install-deps --tests)")
        self.with_bus = with_bus
        self.apps = {}
        super().__init__({"PATH": "/usr/local/bin:/usr/bin:/bin", "LANG": "C.UTF-8",
                          "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman",
                          "WLR_LIBINPUT_NO_DEVICES": "1"})

    def _start(self):
        if self.with_bus:
            self._start_bus()
        self._start_sway()

    def _start_bus(self):
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                          "--print-address"], stdout=subprocess.PIPE, text=True)
        address = bus.stdout.readline().strip()
        if not address:
            raise SessionError("dbus-daemon did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_sway(self):
        config = os.path.join(self.runtime, "sway.config")
        with open(config, "w") as f:
            f.write("xwayland disable\ndefault_border none\n")
        self.give(config)
        self.spawn(["sway", "--config", config])

        def sockets():
            names = os.listdir(self.runtime)
            display = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            return (display[0], ipc[0]) if display and ipc else None

        display, ipc = wait_until(sockets, 20, 0.02, "sway to start")
        self.env["WAYLAND_DISPLAY"] = display
        self.env["SWAYSOCK"] = os.path.join(self.runtime, ipc)
        wait_until(lambda: self.run(["swaymsg", "-t", "get_version"], check=False), 10, 0.05,
                   "sway's IPC")

    # --- driving --------------------------------------------------------------------------
    def windows(self):
        """(app_id, focused) of every window, in tree order."""
        found = []

        def walk(node):
            if node.get("app_id") is not None:
                found.append((node["app_id"], node.get("focused", False)))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        out = self.run(["swaymsg", "-t", "get_tree", "--raw"], check=False)
        if out:
            walk(json.loads(out))
        return found

    def focused(self):
        return next((app for app, focused in self.windows() if focused), None)

    def open_app(self, app_id, title=None):
        """Starts a foot terminal with that app id; returns once sway shows (and focuses) it."""
        titled = [f"--title={title}"] if title else []
        self.apps.setdefault(app_id, [])
        self.apps[app_id].append(self.spawn(["foot", "--app-id", app_id, *titled, "sleep", "100000"]))
        wait_until(lambda: self.focused() == app_id, 20, 0.02, f"{app_id} to open")

    def close_app(self, app_id):
        before = time.time()
        for process in self.apps.pop(app_id):
            self.stop(process)
        wait_until(lambda: app_id not in [a for a, _ in self.windows()], 10, 0.01,
                   f"{app_id} to close")
        return before

    def _switch(self, command, done):
        before = time.time()
        self.run(["swaymsg", command])
        wait_until(done, 10, 0.01, command)
        return (before + time.time()) / 2

    def activate(self, app_id):
        """Focuses the app's window; returns the instant between request and confirmation."""
        return self._switch(f'[app_id="^{app_id}$"] focus', lambda: self.focused() == app_id)

    def workspace(self, name, expect_focus):
        return self._switch(f"workspace {name}", lambda: self.focused() == expect_focus)
