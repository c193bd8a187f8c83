#!/usr/bin/env python3
"""The real tracker and browser pages read from the accessibility bus, on a private X display
and session bus (scripts/browser_session.py).
    browser_e2e.py TRACKER CLIENT browsers   Firefox ESR and Chromium, their trees exposed, two
                                             tabs each on two hosts, a tab switch in each
    browser_e2e.py TRACKER CLIENT hung       a browser whose accessible side never answers"""

import atexit
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "..", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "..", "..", "scripts"))
from browser_session import BrowserSession, missing_programs  # noqa: E402
from tracker_run import (GAMMA, TOLERANCE, after, check_run, load_days, start_tracker,  # noqa: E402
                         stop_silently, write_home)

SAMPLE = 5.0  # the tracker's tab sampling period
# Debian's python3, which has GLib's bindings (python3-gi).
GI_PYTHON = "/usr/bin/python3"


def private_root():
    root = tempfile.mkdtemp(prefix="qm-browser-e2e-")
    atexit.register(shutil.rmtree, root, True)
    return root


def tracker_env(session, root, system_entries):
    """The session's display and buses; the browsers known by their desktop entries."""
    env, data_dir = write_home(os.path.join(root, "tracker"))
    if system_entries:
        env["XDG_DATA_DIRS"] = "/usr/share"
    return dict(session.env, **env), data_dir


def browsers(tracker, client):
    missing = missing_programs()
    if missing:
        print(f"skipped: {', '.join(missing)} missing (scripts/install-deps)")
        sys.exit(77)
    root = private_root()
    with BrowserSession(root, client) as s:
        s.start_firefox()
        s.start_chromium()
        firefox = s.window_named("Alpha — Mozilla Firefox")
        chromium = s.window_named("Alpha - Chromium")
        s.activate(firefox)
        env, data_dir = tracker_env(s, root, True)
        daemon = start_tracker(s.spawn, tracker, env)
        begin = time.time()
        # A switch is seen at the next sample: up to one period late.
        firefox_beta = after(SAMPLE + 1.5, s.next_tab, firefox, "Beta")
        chromium_alpha = after(SAMPLE + 1.5, s.activate, chromium)
        chromium_beta = after(SAMPLE + 1.5, s.next_tab, chromium, "Beta")
        time.sleep(SAMPLE + 1.5)
        end = time.time()
        stop_silently(daemon)

    ff, cr = "firefox-esr#", "chromium#"
    check_sampled(data_dir, [(ff + "127.0.0.1", begin, firefox_beta),
                             (ff + "localhost", firefox_beta, chromium_alpha),
                             (cr + "127.0.0.1", chromium_alpha, chromium_beta),
                             (cr + "localhost", chromium_beta, end)])


def check_sampled(data_dir, stretches):
    """Each tab's key and each browser's total; a tab switch is seen up to one sample late, so
    up to that much of the next tab's time goes to the tab before. No bare browser key: the
    domain is in the key from the activation on."""
    usage, _, segments = load_days(data_dir)
    assert set(usage) == {k for k, _, _ in stretches}, f"keys {sorted(usage)}"
    for first, second in (stretches[0:2], stretches[2:4]):
        (k1, s1, e1), (k2, s2, e2) = first, second
        assert abs(usage[k1] + usage[k2] - (e2 - s1)) <= TOLERANCE, f"{k1}, {k2}: {usage}"
        assert e1 - s1 - TOLERANCE <= usage[k1] <= e1 - s1 + SAMPLE + TOLERANCE, \
            f"{k1}: {usage[k1]:.2f} s for a tab shown {e1 - s1:.2f} s"
    assert [s[0] for s in segments] == [k for k, _, _ in stretches], f"segments {segments}"


HUNG_APP = r'''
import os, sys
import gi
gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib
session = Gio.bus_get_sync(Gio.BusType.SESSION)
address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                            GLib.VariantType("(s)"), 0, 5000, None).unpack()[0]
flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
         Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
bus = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
root = "/org/a11y/atspi/accessible/root"
bus.call_sync("org.a11y.atspi.Registry", root, "org.a11y.atspi.Socket", "Embed",
              GLib.Variant("((so))", ((bus.get_unique_name(), root),)), None, 0, 5000, None)
# The X client takes this process over and keeps the connection open, reading nothing: every
# call to this application waits for ever.
fd = bus.get_stream().get_socket().get_fd()
os.set_inheritable(fd, True)
os.execv(sys.argv[1], sys.argv[1:])
'''


def hung(tracker, client):
    """A browser window whose process is on the accessibility bus but never answers: each look
    ends with its time limit, the browser's time counts under its bare key, and the tracker's
    loop is never held up (the next activation is credited on time)."""
    if shutil.which("dbus-daemon") is None or not os.path.exists(GI_PYTHON):
        print("skipped: dbus-daemon or python3-gi missing (scripts/install-deps)")
        sys.exit(77)
    root = private_root()
    with BrowserSession(root, client) as s:
        process = s.spawn([GI_PYTHON, "-c", HUNG_APP, client, "firefox", "firefox", "Hung"],
                          stdout=subprocess.PIPE, text=True)
        hung_window = s.take_window(process, "Hung")
        gamma = s.open_window("gamma-app", "Gamma", "Gamma")
        s.activate(hung_window)
        env, data_dir = tracker_env(s, root, False)
        daemon = start_tracker(s.spawn, tracker, env)
        begin = time.time()
        switched = after(2 * SAMPLE + 1.5, s.activate, gamma)
        end = after(1.5, time.time)
        stop_silently(daemon)
    check_run(data_dir, [("firefox", begin, switched), (GAMMA, switched, end)])


if __name__ == "__main__":
    {"browsers": browsers, "hung": hung}[sys.argv[3]](os.path.abspath(sys.argv[1]),
                                                    os.path.abspath(sys.argv[2]))
