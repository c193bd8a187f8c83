#!/usr/bin/env python3
"""Logging in again, for real: "setup" through the real host on a private X display, then the
session ends (its display goes, and the tracker with it; the job table stays, as without
logind). A fresh openbox-session on a new display with the same home runs the autostart entry
launchctl wrote, and the tracker records that session; "unload -w" removes the entry.
Exits 77 when openbox-session, or the PyXDG its autostart needs, is missing.
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
    def _start_window_manager(self):
        self.spawn(["openbox-session"])
        wait_until(lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                   check=False), 20, 0.05, "openbox-session")


def tracker_display(launchctl, env):
    """The DISPLAY of the job's live process, or None."""
    listing = subprocess.run([launchctl, "list", LABEL], env=env, capture_output=True, text=True)
    pid = re.search(r'\t"PID" = (\d+);', listing.stdout)
    try:
        with open(f"/proc/{pid.group(1)}/environ", "rb") as f:
            return dict(v.split(b"=", 1) for v in f.read().split(b"\0") if b"=" in v)[b"DISPLAY"]
    except (AttributeError, OSError, KeyError):
        return None


def main(contents, client, root):
    launchctl = os.path.join(contents, "Helpers", "launchctl")
    skip_unless([os.path.join(contents, p) for p in ("MacOS/quillmoss", "MacOS/QuillmossTracker",
                                                      "Helpers/launchctl")], x=True)
    if not os.access("/usr/bin/openbox-session", os.X_OK) or subprocess.run(
            ["/usr/bin/python3", "-c", "import xdg.DesktopEntry"], capture_output=True).returncode:
        print("skipped: openbox-session or python3-xdg missing")
        sys.exit(77)
    # Not the system's autostart entries; the system's themes, which openbox needs.
    env = dict(private_env(root), XDG_CONFIG_DIRS=os.path.join(root, "none"),
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
        wait_until(lambda: tracker_display(launchctl, env) is None, 20, 0.05, "the session's end")
        assert os.path.isfile(entry), "no autostart entry after setup"

        with OpenboxSession(client, env=env) as x:
            start = time.monotonic()
            wait_until(lambda: tracker_display(launchctl, env) == x.display.encode(), 20, 0.05,
                       "the tracker in the new session")
            back = time.monotonic() - start
            x.activate(x.open_window("alpha", "Alpha", "Alpha"))
            time.sleep(1.5)  # Alpha in front
            # The tracker ends and saves the day; -w: no start at the next login either.
            subprocess.run([launchctl, "unload", "-w", agent], env=env, check=True, timeout=30)
        with open(os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss", "usage",
                               time.strftime("usage_%Y-%m-%d.json"))) as f:
            recorded = json.load(f).get("Alpha", 0)
        assert recorded >= 1.0, "the new session recorded %r s of Alpha" % recorded
        assert not os.path.exists(entry), "the autostart entry stays after unload -w"
        print("tracker back %.1f s after the login; %.1f s recorded" % (back, recorded))
    finally:
        subprocess.run([launchctl, "unload", agent], env=env, capture_output=True, timeout=30)


if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix="qm-login-e2e-") as folder:
        main(os.path.abspath(sys.argv[1]), sys.argv[2], folder)
