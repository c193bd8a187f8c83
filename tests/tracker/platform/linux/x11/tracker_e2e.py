#!/usr/bin/env python3
"""The real QuillmossTracker on a private X display with openbox and bare test clients.
    tracker_e2e.py TRACKER CLIENT [session|no-display|display-lost|frozen-server|stopped-server]
    tracker_e2e.py PROBE CLIENT running-apps     (the host's list of running applications)"""

import atexit
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "..", "support"))
from tracker_run import (GAMMA, after, check_run, refuses_to_start, start_tracker,  # noqa: E402
                         stop_silently, write_home)
from x11_private_session import PrivateX, wait_until  # noqa: E402

ALPHA, EXE = "Alpha", "x11_test_client"
FLUSH = 5.0  # the flush period of the tracker's test build


def temporary_home():
    """Only the tracker sees it; openbox needs the system's themes."""
    root = tempfile.mkdtemp(prefix="qm-x11-e2e-")
    atexit.register(shutil.rmtree, root, True)
    env, data_dir = write_home(root)
    env = dict(os.environ, XDG_RUNTIME_DIR=root, **env)
    env.pop("WAYLAND_DISPLAY", None)  # an X11 session
    return env, data_dir


def no_display(tracker, *_):
    env, data_dir = temporary_home()
    env = {k: v for k, v in env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    for display in ({}, {"DISPLAY": ":987"}, {"DISPLAY": "unix:/nonexistent"}):
        refuses_to_start(tracker, dict(env, **display))
    assert not glob.glob(os.path.join(data_dir, "*.json")), "day files written without a display"


def ends_saved(tracker, client, case):
    """The display goes away after the only window closed (nothing credited after the close),
    or the X server stops (SIGSTOP) and the tracker gets SIGTERM: either way it saves and ends
    with status 0, the frozen case within 2 s. The frozen window's class holds a "#", which no
    usage key may (openbox even leaves _NET_ACTIVE_WINDOW naming a closed window)."""
    env, data_dir = temporary_home()
    frozen = case == "frozen-server"
    key = "Foo_Bar" if frozen else ALPHA
    with PrivateX(client) as x:
        window = x.open_window(*(("foo", "Foo#Bar", "Foo") if frozen else ("alpha", ALPHA, ALPHA)))
        x.activate(window)
        daemon = start_tracker(x.spawn, tracker, dict(env, DISPLAY=x.display))
        begin = time.time()
        with open(f"/proc/{daemon.pid}/maps") as f:
            maps = f.read()
        # What only a Wayland session needs stays unloaded (a quarter of the tracker's memory).
        assert not [lib for lib in ("libglib-2.0", "libgio-2.0", "libwayland-client")
                    if lib in maps], "an X11 session loaded the Wayland session's libraries"
        if frozen:
            after(1.5, x.server.send_signal, signal.SIGSTOP)
            end = time.time()
            try:
                stop_silently(daemon, 2.0)
            finally:
                x.server.send_signal(signal.SIGCONT)
        else:
            end = after(1.5, x.close_window, window)
            after(2.0, x.end_server)
            stop_silently(daemon, term=False)
    check_run(data_dir, [(key, begin, end)], tolerance=1.0)


def stopped_server(tracker, client, _):
    """An X server stopped before the tracker connects: the tracker gives up after a bounded
    wait with one line, and SIGTERM meanwhile ends it at once."""
    env, data_dir = temporary_home()
    with PrivateX(client) as x:
        x.server.send_signal(signal.SIGSTOP)
        try:
            begin = time.monotonic()
            refuses_to_start(tracker, dict(env, DISPLAY=x.display), "did not answer")
            assert time.monotonic() - begin < 10, "the connection was waited for too long"
            daemon = x.spawn([tracker], env=dict(env, DISPLAY=x.display))
            time.sleep(0.5)
            daemon.send_signal(signal.SIGTERM)
            daemon.wait(1.0)
        finally:
            x.server.send_signal(signal.SIGCONT)
    assert not glob.glob(os.path.join(data_dir, "*.json")), "day files written without a session"


def running_apps(probe, client, _):
    """The host's list of running applications: one line per identity, in client-list order,
    with the largest icon and the first window's title."""
    env, _ = temporary_home()
    with PrivateX(client) as x:
        alpha = x.open_window("alpha", ALPHA, "Alpha one", "--icon")
        x.open_window("gamma-app", "Gamma", "Gamma")
        x.open_window("alpha", ALPHA, "Alpha two")
        x.open_window("dialog", "Dialogish", "A dialog", "--transient-for", str(alpha))
        x.open_window("", "", "Bare", "--no-pid")
        out = subprocess.run([probe], env=dict(env, DISPLAY=x.display), capture_output=True,
                             text=True, timeout=20).stdout
    rows = [line.split("\t") for line in out.splitlines()]
    # The dialog is Alpha's; the bare client is known by its executable.
    assert [r[0] for r in rows] == [ALPHA, GAMMA, EXE], f"identities {rows}"
    assert rows[0][1:] == ["2", "2", "ff00ff00", "Alpha one"], f"Alpha's row {rows[0]}"
    # Openbox gives windows without an icon its own, so only the title is certain here.
    assert rows[1][4] == "Gamma" and rows[2][4] == "Bare", f"titles {rows}"


def session(tracker, client, _):
    env, data_dir = temporary_home()
    with PrivateX(client) as x:
        alpha = x.open_window("alpha", ALPHA, ALPHA)
        gamma = x.open_window("gamma-app", "Gamma", "Gamma")
        # No WM_CLASS and no _NET_WM_PID: the server's own record of the client's pid leads to
        # the executable's name.
        bare = x.open_window("", "", "Bare", "--no-pid")
        dialog = x.open_window("dialog", "Dialogish", "Alpha's", "--transient-for", str(alpha))
        x.activate(alpha)
        # Locked when the tracker starts: nothing is credited until the unlock.
        x.lock()
        daemon = start_tracker(x.spawn, tracker, dict(env, DISPLAY=x.display))
        started = time.time()
        begin = after(1.5, x.unlock)

        # Alpha after the unlock, then Gamma (named by its entry's ID, not its WM_CLASS), the dialog
        # (Alpha's), the bare client, Alpha again.
        stretches, key, start = [], ALPHA, begin
        for window, next_key, seconds in ((gamma, GAMMA, 2.0), (dialog, ALPHA, 2.0),
                                          (bare, EXE, 2.0), (alpha, ALPHA, 2.0)):
            switched = after(seconds, x.activate, window)
            stretches.append((key, start, switched))
            key, start = next_key, switched
        after(1.5, x.touch_input)

        # Locked: nothing is credited, even when the window in front changes behind the lock.
        lock_start = x.lock()
        stretches.append((key, start, lock_start))
        after(1.0, x.activate, gamma)
        lock_end = after(2.0, x.unlock)

        # Gamma until a flush tick (every FLUSH s in this build) has sampled activity.
        time.sleep(1.0)
        wait_until(lambda: glob.glob(os.path.join(data_dir, "activity_*.json")), 40, 0.05,
                   "the first flush tick")
        stop = time.time()
        stop_silently(daemon)
        stretches.append((GAMMA, lock_end, stop))

    activity = check_run(data_dir, stretches, [(lock_start, lock_end)])
    # The user was active at every tick: one interval from the first tick on.
    assert len(activity) == 1 and started + FLUSH - 1 <= activity[0][0] <= activity[0][1] <= stop, \
        f"activity {activity}, expected one interval within the run"


if __name__ == "__main__":
    case = (sys.argv[3:] or ["session"])[0]
    {"session": session, "running-apps": running_apps, "no-display": no_display,
     "display-lost": ends_saved, "frozen-server": ends_saved,
     "stopped-server": stopped_server}[case](
        os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), case)
