"""What the tracker's end-to-end tests share: a private home, starting and stopping the real
tracker, and its day files checked against the stretches the driver saw."""

import glob
import json
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from private_session import wait_until  # noqa: E402

# A boundary lies between two instants around a driver's call (well under 50 ms), but starting
# a process on a loaded machine may put it up to about 0.2 s off: a stretch or total gets 0.5 s.
TOLERANCE = 0.5
GAMMA = "org.example.Gamma"


def write_home(root):
    """A home whose only desktop entry is Gamma's, known by its StartupWMClass: the variables
    that point the tracker there, and its usage folder."""
    data = os.path.join(root, "home", "data")
    os.makedirs(os.path.join(data, "applications"), exist_ok=True)
    with open(os.path.join(data, "applications", f"{GAMMA}.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Gamma\nExec=gamma\nIcon=gamma\n"
                "StartupWMClass=gamma-app\n")
    env = {"HOME": os.path.dirname(data), "XDG_DATA_HOME": data, "LC_ALL": "C",
           "XDG_DATA_DIRS": os.path.join(root, "no-system-entries")}
    return env, os.path.join(data, "com.velbrook.quillmoss", "usage")


def has_socket(pid):
    try:
        return any(os.readlink(f"/proc/{pid}/fd/{fd}").startswith("socket:")
                   for fd in os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return False


def start_tracker(spawn, tracker, env):
    """The tracker, once it has connected to its session."""
    daemon = spawn([tracker], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    wait_until(lambda: has_socket(daemon.pid) or daemon.poll() is not None, 10, 0.005,
               "the tracker to connect")
    assert daemon.poll() is None, f"the tracker exited at start-up ({daemon.returncode})"
    return daemon


def stop_silently(process, timeout=10, term=True):
    """SIGTERM (unless it ends by itself): status 0 within the timeout, nothing printed."""
    if term:
        process.send_signal(signal.SIGTERM)
    try:
        out, err = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"{process.args[0]} did not end within {timeout} s")
    assert process.returncode == 0 and not out and not err, \
        f"status {process.returncode}, printed {out!r} {err!r}"


def refuses_to_start(tracker, env, *says):
    """Status 1 and one line on stderr that holds each of says."""
    result = subprocess.run([tracker], env=env, capture_output=True, text=True, timeout=20)
    lines = result.stderr.splitlines()
    assert result.returncode == 1 and not result.stdout and len(lines) == 1 \
        and all(s in lines[0] for s in says), \
        f"status {result.returncode}, said {result.stdout!r} {result.stderr!r}"


def expect(service, prefix):
    """A stand-in service's next line that starts with prefix."""
    while True:
        line = service.stdout.readline()
        assert line, f"a stand-in ended before saying {prefix!r}"
        if line.startswith(prefix):
            return line.strip()


def say(service, command, answer):
    """Tells a stand-in service what happens; the instant it did, and the stand-in's answer."""
    before = time.time()
    service.stdin.write(command + "\n")
    service.stdin.flush()
    line = expect(service, answer)
    return (before + time.time()) / 2, line


def private_bus(spawn):
    """A dbus-daemon of the session's own: its process and its address."""
    bus = spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address"],
                stdout=subprocess.PIPE, text=True)
    return bus, bus.stdout.readline().strip()


def stand_in(spawn, services, *args):
    """A stand-in from services (fake_services.py) under Debian's python3 (with python3-gi),
    once its names are owned; it takes commands on stdin."""
    service = spawn(["/usr/bin/python3", services, *args], stdin=subprocess.PIPE,
                    stdout=subprocess.PIPE, text=True)
    assert service.stdout.readline().strip() == "ready", f"the stand-in {args[0]} did not start"
    return service


def after(seconds, act, *args):
    """Waits, then acts: what the action returns (for the drivers, the instant it took effect)."""
    time.sleep(seconds)
    return act(*args)


def load_days(data_dir):
    def read(kind, day):
        with open(os.path.join(data_dir, f"{kind}_{day}.json")) as f:
            return json.load(f)
    usage, activity, segments = {}, [], []
    for path in sorted(glob.glob(os.path.join(data_dir, "usage_*.json"))):
        day = os.path.basename(path)[len("usage_"):-len(".json")]
        for key, seconds in read("usage", day).items():
            usage[key] = usage.get(key, 0.0) + seconds
        activity += read("activity", day)
        segments += read("segments", day)
    return usage, activity, segments


def check_run(data_dir, stretches, gaps=(), tolerance=TOLERANCE, idle=()):
    """stretches: (key, start, end) credited; gaps: (start, end) when nothing may be; idle: keys
    whose stretches count but make no segment (then segments are checked by key only: whether the
    stretch before turns idle races the switch). Totals per key, and segments in order where the
    driver saw them (a key's stretches less than a minute apart are one segment). Returns the
    day files' activity."""
    usage, activity, segments = load_days(data_dir)
    expected, merged = {}, []
    for k, s, e in stretches:
        expected[k] = expected.get(k, 0.0) + e - s
        if k not in idle and merged and merged[-1][0] == k:
            merged[-1][2] = e
        elif k not in idle:
            merged.append([k, s, e])
    assert set(usage) == set(expected), f"keys {sorted(usage)}, expected {sorted(expected)}"
    for k, seconds in expected.items():
        assert abs(usage[k] - seconds) <= tolerance, \
            f"{k}: {usage[k]:.3f} s credited, expected {seconds:.3f} s ± {tolerance}"
    assert [s[0] for s in segments] == [m[0] for m in merged], \
        f"segment keys {[s[0] for s in segments]}, expected {[m[0] for m in merged]}"
    previous_end = 0.0
    for (k, s, e), (sk, ss, se) in zip(merged if not idle else [], segments):
        assert previous_end - 1e-6 <= ss < se, f"segment {sk} out of order"
        assert abs(ss - s) <= tolerance and abs(se - e) <= tolerance, \
            f"segment {sk} [{ss:.2f}, {se:.2f}] vs. driver's [{s:.2f}, {e:.2f}]"
        previous_end = se
    for gs, ge in gaps:
        for sk, ss, se in segments:
            merged_over = any(m[1] <= gs and ge <= m[2] for m in merged)
            assert merged_over or min(se, ge) - max(ss, gs) <= tolerance, \
                f"segment {sk} [{ss:.2f}, {se:.2f}] reaches into [{gs:.2f}, {ge:.2f}]"
    return activity
