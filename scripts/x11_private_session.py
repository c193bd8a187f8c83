"""A private X session for scripted runs: Xvfb on a free display, openbox, bare test clients,
and xdotool/xset to drive focus, input and the screen saver. Waits on conditions, never on
guesses; every process it starts is ended when the session closes."""

import os
import random
import select
import shutil
import subprocess
import time

from private_session import PrivateSession, SessionError, wait_until  # noqa: F401


TOOLS = ("Xvfb", "openbox", "xdotool", "xset", "xprop")


def missing_tools():
    return [tool for tool in TOOLS if shutil.which(tool) is None]


class PrivateX(PrivateSession):
    def __init__(self, client_path=None, env=None, width=1024, height=768):
        if missing_tools():
            raise SessionError(f"{', '.join(missing_tools())} missing (scripts/install-deps --demo)")
        super().__init__(env)
        self.client_path = client_path
        self.size = f"{width}x{height}x24"
        self.display = None
        self.server = None
        self.clients = {}

    def _start(self):
        # A display of our own choosing, far above the low numbers servers pick for themselves:
        # one picked from the lowest free would be taken by a parallel run the moment
        # restart_server frees it.
        for attempt in range(20):
            try:
                self._start_server(f":{random.randrange(200, 30000)}")
                break
            except SessionError:
                if attempt == 19 or self.server.poll() is None:
                    raise
        self._start_window_manager()

    def end_server(self):
        """Ends the X server under its clients, as a session that ends does."""
        self.stop(self.server)

    def restart_server(self):
        """Ends the server and every client, then starts a new server and window manager on the
        same display, as logging out and in again does."""
        self.close()
        self.clients.clear()
        self._start_server(self.display)
        self._start_window_manager()

    def _start_server(self, display):
        read_end, write_end = os.pipe()
        try:
            # -displayfd: the server tells us its display when ready, or exits if it is taken.
            # Abstract sockets only: a server started by a user must not create
            # /tmp/.X11-unix, which then belongs to that user and not to the system.
            self.server = self.spawn(["Xvfb", display, "-displayfd", str(write_end),
                                      "-screen", "0", self.size, "-nolisten", "tcp",
                                      "-nolisten", "unix", "-noreset"],
                                     pass_fds=(write_end,))
            os.close(write_end)
            write_end = None
            text = b""
            deadline = time.monotonic() + 15
            while not text.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    raise SessionError("Xvfb did not start")
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise SessionError("Xvfb exited at start-up")
                text += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        self.display = ":" + text.decode().strip()
        self.env["DISPLAY"] = self.display

    def _start_window_manager(self):
        self.spawn(["openbox", "--sm-disable"])
        # An EWMH manager announces itself through _NET_SUPPORTING_WM_CHECK on the root window.
        wait_until(lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                   check=False),
                   10, 0.05, "the window manager")

    # --- driving --------------------------------------------------------------------------
    def open_window(self, instance, wm_class, title, *options):
        """Starts a test client; returns its window id once the window manager manages it."""
        process = self.spawn([self.client_path, instance, wm_class, title, *options],
                             stdout=subprocess.PIPE, text=True)
        return self.take_window(process, title)

    def take_window(self, process, title):
        """The window of a test client started otherwise (with its stdout piped), once the
        window manager manages it."""
        ready = select.select([process.stdout], [], [], 10)[0]
        line = process.stdout.readline() if ready else ""
        if not line.strip():
            raise SessionError(f"the test client {title} did not create its window")
        window = int(line)
        # Openbox drops a map request that comes while it is still starting; ask again.
        for _ in range(10):
            try:
                wait_until(lambda: self._managed(window), 1, 0.02, f"openbox to manage {title}")
                self.clients[window] = process
                return window
            except SessionError:
                self.run(["xdotool", "windowmap", str(window)], check=False)
        raise SessionError(f"openbox does not manage the window of {title}")

    def close_window(self, window):
        """Ends the window's client; returns once the window manager has let go of it."""
        self.stop(self.clients.pop(window))
        before = time.time()
        wait_until(lambda: not self._managed(window), 10, 0.01, f"window {window} to go")
        return before

    def _managed(self, window):
        out = self.run(["xprop", "-root", "_NET_CLIENT_LIST"], check=False)
        return f"0x{window:x}" in out

    def active_window(self):
        out = self.run(["xdotool", "getactivewindow"], check=False).strip()
        return int(out) if out.isdigit() else 0

    def activate(self, window):
        """Asks the window manager to activate the window and waits until it is active.
        Returns the instant, between request and confirmation, at which it became active."""
        before = time.time()
        self.run(["xdotool", "windowactivate", str(window)], check=False)
        wait_until(lambda: self.active_window() == window, 10, 0.01, f"window {window} active")
        return (before + time.time()) / 2

    def touch_input(self, x=10, y=10):
        """Moves the pointer: real input, which resets the idle time (activation does not)."""
        self.run(["xdotool", "mousemove", str(x), str(y)])
        self.run(["xdotool", "mousemove_relative", "--", "1", "1"])

    def lock(self):
        before = time.time()
        self.run(["xset", "s", "activate"])
        return (before + time.time()) / 2

    def unlock(self):
        before = time.time()
        self.run(["xset", "s", "reset"])
        return (before + time.time()) / 2
