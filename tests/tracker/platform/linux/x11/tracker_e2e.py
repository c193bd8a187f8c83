#!/usr/bin/env python3
"""End-to-end run of the real QuillmossTracker on a private X display with openbox and bare
test clients: switches between applications (one known by a desktop entry, one only by its
executable, a dialog that counts for its owner), locks the screen for a stretch, stops the
tracker with SIGTERM and checks the three day files.
Short cases beside it: no display at start-up (status 1, one line on stderr); the last window closing
and then the display going away under the tracker (nothing credited after the window went,
then the final flush and saves, status 0); the X server stopped under the tracker, then
SIGTERM (saved and gone within 2 s; the window's class "Foo#Bar" credited as "Foo_Bar").
    tracker_e2e.py TRACKER CLIENT [session|no-display|display-lost|frozen-server]
    tracker_e2e.py PROBE CLIENT running-apps     (the host's list of running applications)"""

import atexit
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "..", "..", "scripts"))
from x11_private_session import PrivateX, wait_until  # noqa: E402

# Every stretch below is bounded by two instants the driver takes around an xdotool or xset
# call (each well under 50 ms, the confirming poll every 10 ms); the tracker's own instant lies
# between them. Starting a process on a loaded CI machine can take a few hundred ms more, so
# each boundary may be off by up to about 0.2 s; a stretch or total therefore gets 0.5 s.
TOLERANCE = 0.5
ALPHA, GAMMA, EXE = "Alpha", "org.example.Gamma", "x11_test_client"
FLUSH = 5.0  # the flush period of the tracker's test build


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def has_socket(pid):
    try:
        return any(os.readlink(f"/proc/{pid}/fd/{fd}").startswith("socket:")
                   for fd in os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return False


def start_tracker(x, tracker, env):
    daemon = x.spawn([tracker], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                     env=dict(env, DISPLAY=x.display))
    wait_until(lambda: has_socket(daemon.pid) or daemon.poll() is not None, 10, 0.005,
               "the tracker to connect")
    return daemon


def load_days(data_dir):
    usage, activity, segments = {}, [], []
    for path in sorted(glob.glob(os.path.join(data_dir, "usage_*.json"))):
        day = os.path.basename(path)[len("usage_"):-len(".json")]
        with open(path) as f:
            for key, seconds in json.load(f).items():
                usage[key] = usage.get(key, 0.0) + seconds
        with open(os.path.join(data_dir, f"activity_{day}.json")) as f:
            activity += json.load(f)
        with open(os.path.join(data_dir, f"segments_{day}.json")) as f:
            segments += json.load(f)
    return usage, activity, segments


def temporary_home(with_gamma=False):
    """A private home for the program under test, and its usage folder. With Gamma, the only
    desktop entry there is Gamma's, known by its StartupWMClass; no system entries."""
    root = tempfile.mkdtemp(prefix="qm-x11-e2e-")
    atexit.register(shutil.rmtree, root, True)
    home = os.path.join(root, "home")
    os.makedirs(home)
    data_home = os.path.join(home, "data")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=data_home, XDG_RUNTIME_DIR=root)
    if with_gamma:
        os.makedirs(os.path.join(data_home, "applications"))
        with open(os.path.join(data_home, "applications", f"{GAMMA}.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Gamma\nExec=gamma\n"
                    "StartupWMClass=gamma-app\n")
        env.update(XDG_DATA_DIRS=os.path.join(root, "no-system-entries"), LC_ALL="C")
    return env, os.path.join(data_home, "com.velbrook.quillmoss", "usage")


def no_display(tracker):
    env, data_dir = temporary_home()
    for display in (None, ":987", "unix:/nonexistent"):
        run_env = dict(env)
        run_env.pop("DISPLAY", None)
        run_env.pop("WAYLAND_DISPLAY", None)
        if display:
            run_env["DISPLAY"] = display
        result = subprocess.run([tracker], env=run_env, capture_output=True, timeout=20)
        check(result.returncode == 1, f"DISPLAY={display}: status {result.returncode}, expected 1")
        lines = result.stderr.decode().splitlines()
        check(not result.stdout and len(lines) == 1 and "desktop session" in lines[0],
              f"DISPLAY={display}: expected one line saying why, got {result.stderr!r}")
    check(not glob.glob(os.path.join(data_dir, "*.json")), "day files written without a display")
    print("PASS")
    return 0


def display_lost(tracker, client):
    env, data_dir = temporary_home()
    with PrivateX(client) as x:
        alpha = x.open_window("alpha", "Alpha", "Alpha")
        x.activate(alpha)
        daemon = start_tracker(x, tracker, env)
        begin = time.time()
        time.sleep(1.5)
        # The only window closes: no application is in front any more, and nothing more is
        # credited (openbox even leaves _NET_ACTIVE_WINDOW naming the closed window).
        end = x.close_window(alpha)
        time.sleep(2.0)
        x.end_server()
        try:
            status = daemon.wait(10)
        except subprocess.TimeoutExpired:
            fail("the tracker kept running after its display went away")
        out, err = daemon.communicate()
    check(status == 0, f"exit status {status} after the display went away, expected 0")
    check(not out and not err, f"the tracker printed something: {out!r} {err!r}")
    usage, _, segments = load_days(data_dir)
    check(set(usage) == {ALPHA}, f"usage {usage}")
    check(abs(usage[ALPHA] - (end - begin)) <= TOLERANCE + 0.5,
          f"{usage[ALPHA]:.2f} s credited for a {end - begin:.2f} s session")
    check([s[0] for s in segments] == [ALPHA], f"segments {segments}")
    print("PASS")
    return 0


def frozen_server(tracker, client):
    """The X server stops (SIGSTOP) under the running tracker, which then gets SIGTERM: it must
    save and exit within 2 s. The window's class holds a "#", which no usage key may."""
    env, data_dir = temporary_home()
    with PrivateX(client) as x:
        window = x.open_window("foo", "Foo#Bar", "Foo")
        x.activate(window)
        daemon = start_tracker(x, tracker, env)
        begin = time.time()
        time.sleep(1.5)
        x.server.send_signal(signal.SIGSTOP)
        try:
            stop = time.time()
            daemon.send_signal(signal.SIGTERM)
            try:
                status = daemon.wait(2.0)
            except subprocess.TimeoutExpired:
                fail("the tracker did not end within 2 s of SIGTERM with its X server stopped")
        finally:
            x.server.send_signal(signal.SIGCONT)
        out, err = daemon.communicate()
    check(status == 0, f"exit status {status}, expected 0")
    check(not out and not err, f"the tracker printed something: {out!r} {err!r}")
    usage, _, segments = load_days(data_dir)
    check(set(usage) == {"Foo_Bar"}, f"usage {usage}")
    check(abs(usage["Foo_Bar"] - (stop - begin)) <= TOLERANCE,
          f"{usage['Foo_Bar']:.2f} s credited for a {stop - begin:.2f} s session")
    check([s[0] for s in segments] == ["Foo_Bar"], f"segments {segments}")
    print("PASS")
    return 0


def running_apps(probe, client):
    """The host's list of running applications: one line per identity, in client-list order,
    with the largest icon and the first window's title."""
    env, _ = temporary_home(with_gamma=True)
    with PrivateX(client) as x:
        alpha = x.open_window("alpha", "Alpha", "Alpha one", "--icon")
        x.open_window("gamma-app", "Gamma", "Gamma")
        x.open_window("alpha", "Alpha", "Alpha two")
        x.open_window("dialog", "Dialogish", "A dialog", "--transient-for", str(alpha))
        x.open_window("", "", "Bare", "--no-pid")
        out = subprocess.run([probe], env=dict(env, DISPLAY=x.display), capture_output=True,
                             text=True, timeout=20).stdout
    rows = [line.split("\t") for line in out.splitlines()]
    print(rows)
    # The dialog is Alpha's; the bare client is known by its executable.
    check([r[0] for r in rows] == [ALPHA, GAMMA, EXE], f"identities {rows}")
    check(rows[0][1:] == ["2", "2", "ff00ff00", "Alpha one"], f"Alpha's row {rows[0]}")
    # Openbox gives windows without an icon its own, so only the title is certain here.
    check(rows[1][4] == "Gamma" and rows[2][4] == "Bare", f"titles {rows}")
    print("PASS")
    return 0


def main(tracker, client):
    # Gamma is known by its desktop entry: the entry's ID, not the WM_CLASS, names it. Only
    # the tracker sees the temporary home; openbox needs the system's themes.
    tracker_env, data_dir = temporary_home(with_gamma=True)

    with PrivateX(client) as x:
        alpha = x.open_window("alpha", "Alpha", "Alpha")
        gamma = x.open_window("gamma-app", "Gamma", "Gamma")
        # No WM_CLASS and no _NET_WM_PID: the server's own record of the client's pid leads to
        # the executable's name.
        bare = x.open_window("", "", "Bare", "--no-pid")
        dialog = x.open_window("dialog", "Dialogish", "Alpha's dialog", "--transient-for", str(alpha))
        x.activate(alpha)

        expected = {ALPHA: 0.0, GAMMA: 0.0, EXE: 0.0}
        stretches = []  # (key, start, end) as the driver saw them

        started = time.time()
        daemon = x.spawn([tracker], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         env=dict(tracker_env, DISPLAY=x.display))
        wait_until(lambda: has_socket(daemon.pid) or daemon.poll() is not None, 10, 0.005,
                   "the tracker to connect")
        check(daemon.poll() is None, f"the tracker exited at start-up ({daemon.returncode})")
        begin = time.time()
        check(begin - started < 5, "the tracker took too long to start")

        def stay(key, start, seconds):
            time.sleep(seconds)
            return key, start

        # Alpha at start-up, then Gamma, the dialog (Alpha's), the bare client, Alpha again.
        key, start = stay(ALPHA, begin, 2.0)
        for window, next_key, seconds in ((gamma, GAMMA, 2.0), (dialog, ALPHA, 2.0),
                                          (bare, EXE, 2.0), (alpha, ALPHA, 1.5)):
            switched = x.activate(window)
            stretches.append((key, start, switched))
            key, start = stay(next_key, switched, seconds)
        x.touch_input()

        # Locked: nothing is credited, even when the window in front changes behind the lock.
        lock_start = x.lock()
        stretches.append((key, start, lock_start))
        time.sleep(1.0)
        x.activate(gamma)
        time.sleep(2.0)
        lock_end = x.unlock()
        key, start = GAMMA, lock_end

        # Gamma again for a while; flush ticks (every FLUSH s in this build) have sampled
        # activity by then. Then stop the tracker.
        time.sleep(1.0)
        wait_until(lambda: glob.glob(os.path.join(data_dir, "activity_*.json")), 40, 0.05,
                   "the first flush tick")
        stop = time.time()
        daemon.send_signal(signal.SIGTERM)
        try:
            status = daemon.wait(10)
        except subprocess.TimeoutExpired:
            fail("the tracker did not end on SIGTERM")
        stretches.append((key, start, stop))
        out, err = daemon.communicate()
        check(status == 0, f"exit status {status} after SIGTERM, expected 0")
        check(not out and not err, f"the tracker printed something: {out!r} {err!r}")

    usage, activity, segments = load_days(data_dir)
    print("usage:", usage, "segments:", segments, "activity:", activity)
    for k, s, e in stretches:
        expected[k] += e - s

    check(set(usage) == set(expected), f"keys {sorted(usage)}, expected {sorted(expected)}")
    for k, seconds in expected.items():
        check(abs(usage[k] - seconds) <= TOLERANCE,
              f"{k}: {usage[k]:.3f} s credited, expected {seconds:.3f} s ± {TOLERANCE}")

    # Segments: in order, the right keys, each where the driver saw it.
    check([s[0] for s in segments] == [k for k, _, _ in stretches],
          f"segment keys {[s[0] for s in segments]}, expected {[k for k, _, _ in stretches]}")
    previous_end = 0.0
    for (k, s, e), (sk, ss, se) in zip(stretches, segments):
        check(ss < se and ss >= previous_end - 1e-6, f"segment {sk} out of order")
        check(abs(ss - s) <= TOLERANCE and abs(se - e) <= TOLERANCE,
              f"segment {sk} [{ss:.2f}, {se:.2f}] vs. driver's [{s:.2f}, {e:.2f}]")
        previous_end = se

    # Nothing while locked: no segment reaches into the lock, and the totals lack its length.
    for sk, ss, se in segments:
        check(se <= lock_start + TOLERANCE or ss >= lock_end - TOLERANCE,
              f"segment {sk} [{ss:.2f}, {se:.2f}] overlaps the lock [{lock_start:.2f}, {lock_end:.2f}]")
    credited = sum(usage.values())
    check(abs(credited - (stop - begin - (lock_end - lock_start))) <= 2 * TOLERANCE,
          f"{credited:.2f} s credited over a {stop - begin:.2f} s run with a "
          f"{lock_end - lock_start:.2f} s lock")

    # The user was active at every tick: one interval from the first tick on.
    check(len(activity) == 1, f"activity {activity}, expected one interval")
    a_start, a_end = activity[0][0], activity[0][1]
    check(begin + FLUSH - 1 <= a_start <= a_end <= stop,
          f"activity interval {activity[0]} out of the run")
    print("PASS")
    return 0


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    tracker_path, client_path = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    case = sys.argv[3] if len(sys.argv) == 4 else "session"
    if case == "no-display":
        sys.exit(no_display(tracker_path))
    if case == "running-apps":
        sys.exit(running_apps(tracker_path, client_path))
    if case == "frozen-server":
        sys.exit(frozen_server(tracker_path, client_path))
    if case == "display-lost":
        sys.exit(display_lost(tracker_path, client_path))
    sys.exit(main(tracker_path, client_path))
