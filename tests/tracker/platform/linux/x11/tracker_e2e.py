#!/usr/bin/env python3
"""The real QuillmossTracker on a private X display with openbox and bare test clients.
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
    """A private home and its usage folder; with Gamma, its entry is the only one."""
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
        lines = result.stderr.decode().splitlines()
        check(result.returncode == 1 and not result.stdout and len(lines) == 1,
              f"DISPLAY={display}: status {result.returncode}, stderr {result.stderr!r}")
    check(not glob.glob(os.path.join(data_dir, "*.json")), "day files written without a display")
    print("PASS")
    return 0


def ends_saved(tracker, client, frozen):
    """The display goes away after the only window closed (nothing credited after the close),
    or the X server stops (SIGSTOP) and the tracker gets SIGTERM: either way it saves and ends
    with status 0, the frozen case within 2 s. The frozen window's class holds a "#", which no
    usage key may (openbox even leaves _NET_ACTIVE_WINDOW naming a closed window)."""
    env, data_dir = temporary_home()
    key = "Foo_Bar" if frozen else ALPHA
    with PrivateX(client) as x:
        window = x.open_window("foo", "Foo#Bar", "Foo") if frozen else x.open_window(
            "alpha", "Alpha", "Alpha")
        x.activate(window)
        daemon = start_tracker(x, tracker, env)
        begin = time.time()
        time.sleep(1.5)
        if frozen:
            x.server.send_signal(signal.SIGSTOP)
            end = time.time()
            daemon.send_signal(signal.SIGTERM)
        else:
            end = x.close_window(window)
            time.sleep(2.0)
            x.end_server()
        try:
            status = daemon.wait(2.0 if frozen else 10)
        except subprocess.TimeoutExpired:
            fail("the tracker did not end in time")
        finally:
            if frozen:
                x.server.send_signal(signal.SIGCONT)
        out, err = daemon.communicate()
    check(status == 0 and not out and not err, f"status {status}, printed {out!r} {err!r}")
    usage, _, segments = load_days(data_dir)
    check(set(usage) == {key}, f"usage {usage}")
    check(abs(usage[key] - (end - begin)) <= TOLERANCE + (0 if frozen else 0.5),
          f"{usage[key]:.2f} s credited for a {end - begin:.2f} s session")
    check([s[0] for s in segments] == [key], f"segments {segments}")
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

        daemon = start_tracker(x, tracker, tracker_env)
        check(daemon.poll() is None, f"the tracker exited at start-up ({daemon.returncode})")
        begin = time.time()

        # Alpha at start-up, then Gamma, the dialog (Alpha's), the bare client, Alpha again.
        key, start = ALPHA, begin
        time.sleep(2.0)
        for window, next_key, seconds in ((gamma, GAMMA, 2.0), (dialog, ALPHA, 2.0),
                                          (bare, EXE, 2.0), (alpha, ALPHA, 1.5)):
            switched = x.activate(window)
            stretches.append((key, start, switched))
            key, start = next_key, switched
            time.sleep(seconds)
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
        out, err = daemon.communicate(timeout=10)
        stretches.append((key, start, stop))
        check(daemon.returncode == 0 and not out and not err,
              f"status {daemon.returncode} after SIGTERM, printed {out!r} {err!r}")

    usage, activity, segments = load_days(data_dir)
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

    # Nothing while locked (the segments above lie outside the lock).
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
    if case in ("frozen-server", "display-lost"):
        sys.exit(ends_saved(tracker_path, client_path, case == "frozen-server"))
    sys.exit(main(tracker_path, client_path))
