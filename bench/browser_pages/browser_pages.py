#!/usr/bin/env python3
"""What reading a browser's page over the accessibility bus costs, with real Firefox ESR and
Chromium on a private X display and session bus (scripts/browser_session.py):
  - one look as the tracker makes it (page_probe): the first, which connects to the bus, then
    the median and 95th percentile over LOOKS more, per browser;
  - the browser's memory (the proportional set size of all its processes) with its tree hidden
    and exposed, after the same pages loaded and the same looks, for pages of a heading only and
    for pages of 5000 links in a list (a long news or search page).
Build the "bench" preset first (cmake --preset bench && cmake --build --preset bench --target
page_probe), then:
    bench/browser_pages/browser_pages.py build-bench/bench/browser_pages/page_probe [LOOKS]"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from browser_session import BrowserSession, missing_programs  # noqa: E402

SETTLE = 8.0  # seconds for a browser to finish loading before it is measured


def processes_under(pid):
    """pid and all its descendants."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(parent, []).append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
    found, todo = [], [pid]
    while todo:
        p = todo.pop()
        found.append(p)
        todo += children.get(p, [])
    return found


def pss_mib(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                total += sum(int(line.split()[1]) for line in f if line.startswith("Pss:"))
        except OSError:
            pass
    return total / 1024


HEAVY = "<ul>" + "".join(f'<li><a href="/p{i}">Item {i}</a></li>' for i in range(5000)) + "</ul>"


def run(probe, browser, exposed, looks, body=""):
    with tempfile.TemporaryDirectory(prefix="qm-browser-pages-") as root:
        with BrowserSession(root, body=body) as s:
            start = s.start_firefox if browser == "firefox" else s.start_chromium
            start(exposed)
            process = s.processes[-1]
            window = s.window_named("Alpha")
            s.activate(window)
            time.sleep(SETTLE)
            pid = int(s.run(["xdotool", "getwindowpid", str(window)]).strip())
            out = subprocess.run([probe, str(pid), str(looks + 1), s.title(window)], env=s.env,
                                 capture_output=True, text=True, timeout=120).stdout.split("\n")
            times = [float(line.split()[0]) for line in out if line]
            answers = {line.split(maxsplit=2)[2] for line in out if line}
            return pss_mib(processes_under(process.pid)), times, answers


def main():
    if len(sys.argv) < 2 or missing_programs():
        sys.exit(__doc__ + f"\nmissing: {', '.join(missing_programs())}")
    probe, looks = os.path.abspath(sys.argv[1]), int(sys.argv[2]) if len(sys.argv) > 2 else 50
    for browser in ("firefox", "chromium"):
        for pages, body in (("small", ""), ("5000 links", HEAVY)):
            hidden, _, answers = run(probe, browser, False, 3, body)
            exposed, times, found = run(probe, browser, True, looks, body)
            first, times = times[0], sorted(times[1:])
            p95 = times[int(len(times) * 0.95) - 1]
            print(f"{browser}, {pages} pages: first look {first:.1f} ms, then median "
                  f"{statistics.median(times):.1f} ms, p95 {p95:.1f} ms ({looks} looks, {found}); "
                  f"memory {hidden:.0f} MiB hidden ({answers}), {exposed:.0f} MiB exposed, "
                  f"{exposed - hidden:+.0f} MiB")


if __name__ == "__main__":
    main()
