#!/usr/bin/env python3
"""End-to-end runs of the real QuillmossTracker in Wayland sessions.
    sway        headless sway with foot clients, focus moved with swaymsg: an application known by
                its desktop entry and two known only by their app id, an empty workspace (no
                application in front), a locked stretch (a stand-in screen saver on a private
                session bus); totals and segments against the driver's own instants.
    no-session  no Wayland display, one that cannot be reached, one with no mechanism: status 1
                and one line on stderr.
    kwin        the KWin mechanism against a stand-in KWin on a private bus: the script is loaded
                from the bundle, its reports are followed (others' are refused), it is unloaded
                at exit.
    gnome       the GNOME Shell mechanism against a stand-in extension and idle monitor.
                Both lock the session for a stretch through a stand-in logind on a second bus.
    running-apps
                the host's running applications on headless sway (PROBE in place of TRACKER):
                names from the desktop entry, else the window's title; icons from the entry.
    wayland_e2e.py TRACKER BARE_COMPOSITOR CASE"""

import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "..", "..", "scripts"))
sys.path.insert(0, os.path.join(HERE, "..", "x11"))
from sway_private_session import PrivateSway  # noqa: E402
from tracker_e2e import check, fail, has_socket, load_days  # noqa: E402
from x11_private_session import wait_until  # noqa: E402

# As on X11: each boundary lies between two instants the driver takes, give or take a loaded
# machine's scheduling; a stretch or total gets 0.5 s.
TOLERANCE = 0.5
# The tracker believes "no application in front" only once it lasted this long.
NONE_DEBOUNCE = 0.25
GAMMA = "org.example.Gamma"
FAKES = os.path.join(HERE, "fake_services.py")
SYSTEM_PYTHON = "/usr/bin/python3"  # Debian's, with python3-gi


def write_home(root):
    """A home whose only desktop entry is Gamma's, known by its StartupWMClass."""
    home = os.path.join(root, "home")
    apps = os.path.join(home, "data", "applications")
    os.makedirs(apps, exist_ok=True)
    with open(os.path.join(apps, f"{GAMMA}.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Gamma\nExec=gamma\n"
                "Icon=gamma\nStartupWMClass=gamma-app\n")
    env = {"HOME": home, "XDG_DATA_HOME": os.path.join(home, "data"),
           "XDG_DATA_DIRS": os.path.join(root, "no-system-entries"), "LC_ALL": "C"}
    return env, os.path.join(home, "data", "com.velbrook.quillmoss", "usage")


def read_line(process, timeout=10):
    line = wait_until(lambda: process.stdout.readline(), timeout, 0.0, "a line from a stand-in")
    return line.strip()


def expect_line(process, prefix, timeout=10):
    while True:
        line = read_line(process, timeout)
        if line.startswith(prefix):
            return line


def stop_tracker(daemon):
    daemon.send_signal(signal.SIGTERM)
    try:
        status = daemon.wait(10)
    except subprocess.TimeoutExpired:
        fail("the tracker did not end on SIGTERM")
    out, err = daemon.communicate()
    check(status == 0, f"exit status {status} after SIGTERM, expected 0")
    check(not out and not err, f"the tracker printed something: {out!r} {err!r}")


def check_run(data_dir, stretches, gaps):
    """stretches: (key, start, end) credited; gaps: (start, end) when nothing may be."""
    usage, _, segments = load_days(data_dir)
    print("usage:", json.dumps(usage, indent=1))
    print("segments:", json.dumps(segments))
    expected = {}
    for k, s, e in stretches:
        expected[k] = expected.get(k, 0.0) + e - s
    check(set(usage) == set(expected), f"keys {sorted(usage)}, expected {sorted(expected)}")
    for k, seconds in expected.items():
        check(abs(usage[k] - seconds) <= TOLERANCE,
              f"{k}: {usage[k]:.3f} s credited, expected {seconds:.3f} s ± {TOLERANCE}")
    # Segments of one key less than a minute apart are one segment.
    merged = []
    for k, s, e in stretches:
        if merged and merged[-1][0] == k:
            merged[-1][2] = e
        else:
            merged.append([k, s, e])
    check([s[0] for s in segments] == [m[0] for m in merged],
          f"segment keys {[s[0] for s in segments]}, expected {[m[0] for m in merged]}")
    previous_end = 0.0
    for (k, s, e), (sk, ss, se) in zip(merged, segments):
        check(ss < se and ss >= previous_end - 1e-6, f"segment {sk} out of order")
        check(abs(ss - s) <= TOLERANCE and abs(se - e) <= TOLERANCE,
              f"segment {sk} [{ss:.2f}, {se:.2f}] vs. driver's [{s:.2f}, {e:.2f}]")
        previous_end = se
    for gs, ge in gaps:
        for sk, ss, se in segments:
            inside = [max(ss, gs), min(se, ge)]
            merged_over = any(m[1] <= gs and ge <= m[2] for m in merged)
            check(merged_over or inside[1] - inside[0] <= TOLERANCE,
                  f"segment {sk} [{ss:.2f}, {se:.2f}] reaches into [{gs:.2f}, {ge:.2f}]")


def sway_session(tracker):
    with PrivateSway(with_bus=True) as sway:
        tracker = sway.place(tracker, "QuillmossTracker")
        fakes = sway.place(FAKES, "fake_services.py")
        saver = sway.spawn([SYSTEM_PYTHON, fakes, "screensaver"], stdin=subprocess.PIPE,
                           stdout=subprocess.PIPE, text=True)
        check(read_line(saver) == "ready", "the stand-in screen saver did not start")
        env, data_dir = write_home(sway.root)
        sway.give(sway.root)
        for app in ("beta", "gamma-app", "alpha"):
            sway.open_app(app)

        daemon = sway.spawn([tracker], env=dict(sway.env, **env), stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
        wait_until(lambda: has_socket(daemon.pid) or daemon.poll() is not None, 10, 0.005,
                   "the tracker to connect")
        check(daemon.poll() is None, f"the tracker exited at start-up ({daemon.returncode})")
        begin = time.time()
        stretches, gaps = [], []

        time.sleep(2.0)
        t = sway.activate("gamma-app")
        stretches.append(("alpha", begin, t))
        time.sleep(2.0)
        # An empty workspace: no application in front, once that lasts past the debounce.
        t2 = sway.workspace("2", None)
        stretches.append((GAMMA, t, t2 + NONE_DEBOUNCE))
        time.sleep(1.5)
        t3 = sway.workspace("1", "gamma-app")
        gaps.append((t2 + NONE_DEBOUNCE, t3))
        time.sleep(1.5)
        t4 = sway.activate("beta")
        stretches.append((GAMMA, t3, t4))
        time.sleep(1.5)

        # Locked: nothing is credited, even when the focus moves behind the lock.
        before = time.time()
        saver.stdin.write("lock\n")
        saver.stdin.flush()
        expect_line(saver, "lock")
        lock_start = (before + time.time()) / 2
        stretches.append(("beta", t4, lock_start))
        time.sleep(1.0)
        sway.activate("alpha")
        time.sleep(1.0)
        before = time.time()
        saver.stdin.write("unlock\n")
        saver.stdin.flush()
        expect_line(saver, "unlock")
        lock_end = (before + time.time()) / 2
        gaps.append((lock_start, lock_end))
        time.sleep(1.5)
        stop = time.time()
        stop_tracker(daemon)
        stretches.append(("alpha", lock_end, stop))
        check_run(data_dir, stretches, gaps)
    print("PASS")
    return 0


def running_apps(probe):
    with PrivateSway() as sway:
        probe = sway.place(probe, "probe")
        env, _ = write_home(sway.root)
        sway.give(sway.root)
        sway.open_app("alpha", "Alpha one")
        sway.open_app("gamma-app", "Gamma's window")
        sway.open_app("alpha", "Alpha two")
        out = sway.spawn([probe], env=dict(sway.env, **env), stdout=subprocess.PIPE, text=True)
        rows = [line.split("\t") for line in out.communicate(timeout=20)[0].splitlines()]
    print(rows)
    # One row per application, in the order sway announces its windows (newest first); alpha is
    # named by one of its windows' titles, Gamma by its entry, which also gives it an icon.
    rows.sort()
    check(len(rows) == 2 and rows[0][0] == "alpha" and rows[0][1] in ("Alpha one", "Alpha two")
          and rows[0][2] == "-" and rows[1] == [GAMMA, "Gamma", "icon"], f"rows {rows}")
    print("PASS")
    return 0


def no_session(tracker, bare):
    root = tempfile.mkdtemp(prefix="qm-wayland-none-")
    try:
        runtime = os.path.join(root, "runtime")
        os.makedirs(runtime, mode=0o700)
        env, data_dir = write_home(root)
        base = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "XDG_RUNTIME_DIR": runtime, **env}
        compositor = subprocess.Popen([bare, "wayland-qm"], env=base, stdout=subprocess.PIPE,
                                      text=True)
        try:
            check(compositor.stdout.readline().strip() == "ready", "the bare compositor failed")
            for display, says in ((None, "$WAYLAND_DISPLAY is not set"),
                                  ("wayland-nowhere", "cannot be reached"),
                                  ("wayland-qm", "wlr-foreign-toplevel")):
                run_env = dict(base)
                if display:
                    run_env["WAYLAND_DISPLAY"] = display
                result = subprocess.run([tracker], env=run_env, capture_output=True, text=True,
                                        timeout=20)
                lines = result.stderr.splitlines()
                print(display, "->", result.returncode, lines)
                check(result.returncode == 1, f"{display}: status {result.returncode}, expected 1")
                check(not result.stdout and len(lines) == 1 and says in lines[0]
                      and "$DISPLAY" in lines[0], f"{display}: said {result.stderr!r}")
        finally:
            compositor.terminate()
            compositor.wait(5)
        check(not glob.glob(os.path.join(data_dir, "*.json")), "day files written without a session")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("PASS")
    return 0


class ShellSession:
    """The bare compositor, a private session bus and a stand-in shell, as the current user."""

    def __init__(self, bare, kind, first):
        self.root = tempfile.mkdtemp(prefix=f"qm-wayland-{kind}-")
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.processes = []
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "XDG_RUNTIME_DIR": self.runtime}
        try:
            compositor = self.spawn([bare, "wayland-qm"])
            check(read_line(compositor) == "ready", "the bare compositor failed")
            self.env["WAYLAND_DISPLAY"] = "wayland-qm"
            bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                              "--print-address"])
            self.env["DBUS_SESSION_BUS_ADDRESS"] = read_line(bus)
            self.fake = self.spawn([SYSTEM_PYTHON, FAKES, kind, *first], stdin=subprocess.PIPE)
            check(read_line(self.fake) == "ready", f"the stand-in {kind} did not start")
            # A second private bus stands in for the system bus, with logind on it.
            system = self.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--print-address"])
            self.env["DBUS_SYSTEM_BUS_ADDRESS"] = read_line(system)
            self.logind = self.spawn([SYSTEM_PYTHON, FAKES, "logind"], stdin=subprocess.PIPE)
            check(read_line(self.logind) == "ready", "the stand-in logind did not start")
        except BaseException:
            self.close()
            raise

    def spawn(self, args, **kwargs):
        process = subprocess.Popen(args, env=self.env, stdout=subprocess.PIPE, text=True, **kwargs)
        self.processes.append(process)
        return process

    def say(self, command, answer, service=None):
        """Tells a stand-in (the shell's by default) what happens; returns the instant it did."""
        service = service or self.fake
        before = time.time()
        service.stdin.write(command + "\n")
        service.stdin.flush()
        line = expect_line(service, answer)
        return (before + time.time()) / 2, line

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                process.wait(5)
            for stream in (process.stdin, process.stdout):
                if stream:
                    stream.close()
        shutil.rmtree(self.root, ignore_errors=True)


def shell_run(tracker, bare, kind):
    kwin = kind == "kwin"
    # The shell's words for the two applications ("-" is an empty field) and their keys.
    gamma_words = f"{GAMMA} gamma-app -" if kwin else f"{GAMMA}.desktop gamma-app 0"
    alpha_words, alpha = ("- alpha 4242", "alpha") if kwin else (
        "org.gnome.Alpha.desktop alpha 4242", "org.gnome.Alpha")
    verb, done = ("activate", "reported") if kwin else ("focus", "focus")
    session = ShellSession(bare, kind, gamma_words.split())
    daemon = None
    try:
        env, data_dir = write_home(session.root)
        daemon = subprocess.Popen([tracker], env=dict(session.env, **env), stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE)
        if kwin:
            load = expect_line(session.fake, "loadScript")
            path = load.split()[1]
            check(path.endswith("kwin/quillmoss-activations.js") and os.path.isfile(path),
                  f"loaded {load!r}, not the script in the bundle")
            expect_line(session.fake, "reported")
        else:
            expect_line(session.fake, "GetFocus")
        wait_until(lambda: has_socket(daemon.pid) or daemon.poll() is not None, 10, 0.005,
                   "the tracker to start")
        check(daemon.poll() is None, f"the tracker exited at start-up ({daemon.returncode})")
        begin = time.time()
        stretches, gaps = [], []

        time.sleep(1.5)
        t, _ = session.say(f"{verb} {alpha_words}", done)
        stretches.append((GAMMA, begin, t))
        if kwin:
            # Only KWin may speak for the window in front.
            _, line = session.say("spoof org.example.Evil evil 1", "re")
            check(line.startswith("refused"), f"a call from another connection: {line!r}")
        else:
            # Away past the idle threshold: the stretch that ends now counts, but not as a segment.
            session.say("idle 400000", "idle")
        time.sleep(1.5)
        t2, _ = session.say("none", done)
        stretches.append((alpha, t, t2 + NONE_DEBOUNCE))
        time.sleep(1.5)
        if not kwin:
            session.say("idle 0", "idle")
        t3, _ = session.say(f"{verb} {gamma_words}", done)
        gaps.append((t2 + NONE_DEBOUNCE, t3))
        time.sleep(1.5)
        # logind says the session is locked: nothing is credited until it says unlocked.
        lock_start, _ = session.say("lock", "lock", session.logind)
        stretches.append((GAMMA, t3, lock_start))
        time.sleep(1.5)
        lock_end, _ = session.say("unlock", "unlock", session.logind)
        gaps.append((lock_start, lock_end))
        time.sleep(1.0)
        stop = time.time()
        stop_tracker(daemon)
        stretches.append((GAMMA, lock_end, stop))
        if kwin:
            expect_line(session.fake, "unloadScript quillmoss-activations")
            check_run(data_dir, stretches, gaps)
        else:
            usage, _, segments = load_days(data_dir)
            print("usage:", usage, "segments:", segments)
            check(set(usage) == {GAMMA, alpha}, f"keys {sorted(usage)}")
            check(abs(usage[alpha] - (t2 + NONE_DEBOUNCE - t)) <= TOLERANCE, f"usage {usage}")
            check(abs(usage[GAMMA] - (t - begin) - (lock_start - t3) - (stop - lock_end)) <= TOLERANCE,
                  f"usage {usage}")
            check([s[0] for s in segments] == [GAMMA], f"segments {segments}: idle not heeded")
    finally:
        if daemon is not None and daemon.poll() is None:
            daemon.kill()
            daemon.wait()
        session.close()
    print("PASS")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    tracker_path, bare_path, case = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    if case == "sway":
        sys.exit(sway_session(tracker_path))
    if case == "running-apps":
        sys.exit(running_apps(tracker_path))
    if case == "no-session":
        sys.exit(no_session(tracker_path, bare_path))
    sys.exit(shell_run(tracker_path, bare_path, case))
