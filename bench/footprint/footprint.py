#!/usr/bin/env python3
"""Footprint of the real tracker on a private Xvfb display with openbox: a window switch every
5 s for a while, then two quiet minutes. Reports peak RSS (VmHWM), CPU time per hour, and the
wake-ups per minute while nothing happens (each return of the loop's poll, counted with strace
when it is installed, and the context switches from /proc either way).
    footprint.py TRACKER CLIENT MINUTES"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from x11_private_session import PrivateX  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def status(pid):
    values = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            values[key] = value.strip()
    return values


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def switches(pid):
    s = status(pid)
    return int(s["voluntary_ctxt_switches"]) + int(s["nonvoluntary_ctxt_switches"])


def rollup(pid):
    """Proportional and private resident memory: shared library pages are counted once per
    process in RSS, but belong to every process that maps them."""
    values = {}
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                key, _, value = line.partition(":")
                if value.strip().endswith("kB"):
                    values[key] = int(value.split()[0])
    except OSError:
        pass
    return values


def kib(value):
    return int(value.split()[0])


def measure(daemon, switch, touch_input, minutes, work, threads=False):
    """Switches every 5 s for a while (touch_input() once a minute, if given), then two quiet
    minutes; the second one under strace when it is installed (all threads with threads=True)."""
    time.sleep(1)
    start_cpu, start = cpu_seconds(daemon.pid), time.monotonic()
    print(f"switching windows every 5 s for {minutes:g} min ...", flush=True)
    n = 0
    while time.monotonic() - start < minutes * 60:
        time.sleep(5)
        n += 1
        switch(n)
        if n % 12 == 0 and touch_input:
            touch_input()
    busy_cpu = cpu_seconds(daemon.pid) - start_cpu
    busy_time = time.monotonic() - start
    st = status(daemon.pid)

    print("quiet for one minute ...", flush=True)
    quiet_switches, quiet_cpu = switches(daemon.pid), cpu_seconds(daemon.pid)
    time.sleep(60)
    quiet_switches = switches(daemon.pid) - quiet_switches
    polls = None
    if shutil.which("strace"):
        # A second quiet minute under strace (which adds context switches of its own).
        print("quiet for one more minute, counting the loop's polls ...", flush=True)
        trace = os.path.join(work, "poll.trace")
        tracer = subprocess.Popen(["strace", "-q", *(["-f"] if threads else []), "-e",
                                   "trace=poll,ppoll", "-o", trace, "-p", str(daemon.pid)],
                                  stderr=subprocess.DEVNULL)
        time.sleep(60)
        tracer.send_signal(signal.SIGINT)
        tracer.wait(10)
        with open(trace) as f:
            polls = sum(1 for line in f if "poll(" in line and "resumed" not in line)
    quiet_cpu = cpu_seconds(daemon.pid) - quiet_cpu
    return dict(n=n, busy_cpu=busy_cpu, busy_time=busy_time, st=st, quiet_switches=quiet_switches,
                polls=polls, quiet_cpu=quiet_cpu, quiet_seconds=120 if polls is not None else 60,
                st_end=status(daemon.pid), memory=rollup(daemon.pid))


def report(tracker, m, idle_note):
    st, st_end, memory = m["st"], m["st_end"], m["memory"]
    busy_cpu, busy_time = m["busy_cpu"], m["busy_time"]
    quiet_cpu, quiet_seconds, polls = m["quiet_cpu"], m["quiet_seconds"], m["polls"]
    hwm = max(kib(st["VmHWM"]), kib(st_end["VmHWM"]))
    print()
    print(f"Tracker: {tracker}")
    print(f"Window switches: {m['n']} in {busy_time:.0f} s")
    print(f"Peak RSS (VmHWM):      {hwm} KiB = {hwm / 1024:.2f} MiB   (target <= 4 MiB)")
    print(f"  RSS at end:          {kib(st_end['VmRSS'])} KiB "
          f"(anonymous {kib(st_end.get('RssAnon', '0 kB'))} KiB, "
          f"file-backed {kib(st_end.get('RssFile', '0 kB'))} KiB)")
    if memory:
        private = memory.get("Private_Clean", 0) + memory.get("Private_Dirty", 0)
        print(f"  PSS at end:          {memory.get('Pss', 0)} KiB; private {private} KiB "
              f"(anonymous {memory.get('Anonymous', 0)} KiB)")
    print(f"CPU while switching:   {busy_cpu:.2f} s in {busy_time:.0f} s = "
          f"{busy_cpu / busy_time * 3600:.1f} s per hour   (target <= 2 s/hour)")
    print(f"CPU while quiet:       {quiet_cpu:.2f} s in {quiet_seconds} s = "
          f"{quiet_cpu / quiet_seconds * 3600:.1f} s per hour")
    print(f"  (CPU is counted in {1000 // TICKS} ms ticks)")
    if polls is not None:
        print(f"Wake-ups while quiet:  {polls} poll returns per minute   "
              f"(the two timers alone: 60/30 + 60/5 = 14; {idle_note})")
    print(f"Context switches quiet: {m['quiet_switches']} per minute (without strace; each "
          f"flush's fsyncs add a few)")
    return 0


def main(tracker, client, minutes):
    work = tempfile.mkdtemp(prefix="qm-footprint-")
    env = dict(os.environ, HOME=work, XDG_DATA_HOME=os.path.join(work, "data"),
               XDG_RUNTIME_DIR=work)
    try:
        with PrivateX(client) as x:
            windows = [x.open_window(n.lower(), n, n) for n in ("Alpha", "Beta", "Gamma")]
            x.activate(windows[0])
            daemon = x.spawn([tracker], env=dict(env, DISPLAY=x.display))
            m = measure(daemon, lambda n: x.activate(windows[n % len(windows)]), x.touch_input,
                        minutes, work)
            daemon.send_signal(signal.SIGTERM)
            daemon.wait(10)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return report(tracker, m, "each flush also waits once for the X server's idle-time reply")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    sys.exit(main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), float(sys.argv[3])))
