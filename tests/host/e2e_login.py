#!/usr/bin/env python3
"""Logging in again, for real: "setup" through the real host on a private X session, then the
session ends (host, tracker, X server and window manager; the job table stays, as it does
without logind). A fresh openbox-session on a new display with the same home runs the XDG
autostart entry launchctl wrote, and the tracker records that session within seconds; after
"unload -w" the entry is gone. Exits 77 when openbox-session or what it needs is missing.
usage: e2e_login.py BUNDLE_CONTENTS X11_TEST_CLIENT"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_run import USAGE, Host, PrivateX, private_env, skip_unless, wait_until  # noqa: E402

LABEL = "com.velbrook.quillmoss.tracker"


class OpenboxSession(PrivateX):
    """The session as a display manager starts it: openbox-session, which runs the autostart."""

    def _start_window_manager(self):
        self.spawn(["openbox-session"])
        wait_until(lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                   check=False), 20, 0.05, "openbox-session")


def tracker_pid(launchctl, env):
    out = subprocess.run([launchctl, "list", LABEL], env=env, capture_output=True, text=True)
    match = re.search(r'\t"PID" = (\d+);', out.stdout)
    return int(match.group(1)) if match else 0


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def display_of(pid):
    try:
        with open(f"/proc/{pid}/environ", "rb") as f:
            variables = dict(v.split(b"=", 1) for v in f.read().split(b"\0") if b"=" in v)
        return variables.get(b"DISPLAY", b"").decode()
    except OSError:
        return ""


def main(contents, client, root):
    launchctl = os.path.join(contents, "Helpers", "launchctl")
    skip_unless([os.path.join(contents, p) for p in ("MacOS/quillmoss", "MacOS/QuillmossTracker",
                                                      "Helpers/launchctl")], x=True)
    # Debian's openbox runs the XDG autostart through a script that needs PyXDG.
    if subprocess.run(["/usr/bin/python3", "-c", "import xdg.DesktopEntry"],
                      capture_output=True).returncode != 0 or \
            not os.access("/usr/bin/openbox-session", os.X_OK):
        print("skipped: openbox-session or python3-xdg missing")
        sys.exit(77)
    # The system's own autostart entries are not this test's business; openbox needs the
    # system's themes.
    env = dict(private_env(root), XDG_CONFIG_DIRS=os.path.join(root, "nothing"),
               XDG_DATA_DIRS="/usr/share")
    entry = os.path.join(env["XDG_CONFIG_HOME"], "autostart", LABEL + ".desktop")
    agent = os.path.join(env["HOME"], "Library", "LaunchAgents", LABEL + ".plist")
    try:
        with PrivateX(env=env) as x:
            with Host(os.path.join(contents, "MacOS", "quillmoss"), dict(env, DISPLAY=x.display)) \
                    as host:
                assert host.call(USAGE, "setup") is True
                wait_until(lambda: host.call(USAGE, "isRunning"), 30, 0.05, "the first tracker")
                host.stop()
            first = tracker_pid(launchctl, env)
            assert os.path.isfile(entry), "no autostart entry after setup"
        # The display is gone: the tracker saves and ends by itself, as at a logout.
        wait_until(lambda: not alive(first), 20, 0.05, "the tracker to end")

        with OpenboxSession(client, env=env) as x:
            start = time.monotonic()
            wait_until(lambda: display_of(tracker_pid(launchctl, env)) == x.display, 20, 0.05,
                       "the tracker to start with the new session")
            started = time.monotonic() - start
            window = x.open_window("alpha", "Alpha", "Alpha")
            x.activate(window)
            time.sleep(1.5)  # recording: the time the window is in front
            # Unloading ends the tracker, which saves the day; -w also ends the login start.
            subprocess.run([launchctl, "unload", "-w", agent], env=env, check=True, timeout=30)
        usage_file = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss", "usage",
                                  "usage_%s.json" % time.strftime("%Y-%m-%d"))
        with open(usage_file) as f:
            recorded = json.load(f).get("Alpha", 0)
        assert recorded >= 1.0, "the new session recorded %r s of Alpha" % recorded
        assert not os.path.exists(entry), "the autostart entry stays after unload -w"
        print("tracker back %.1f s after the session started; recorded %.1f s" % (started, recorded))
    finally:
        if os.path.exists(agent):
            subprocess.run([launchctl, "unload", agent], env=env, capture_output=True, timeout=30)


if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix="qm-login-e2e-") as folder:
        main(os.path.abspath(sys.argv[1]), sys.argv[2], folder)
