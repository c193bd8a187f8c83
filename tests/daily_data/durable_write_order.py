#!/usr/bin/env python3
"""Traces one atomic write with strace and checks that it is durable, in this order: the
temporary file is created afresh (never through a link), synced, renamed over the target, and
then the folder is opened and synced.
    durable_write_order.py PROBE"""

import os
import re
import shutil
import subprocess
import sys
import tempfile


def main(probe):
    if shutil.which("strace") is None:
        print("SKIP: strace is not installed")
        return 77
    folder = tempfile.mkdtemp(prefix="qm-durable-")
    try:
        target = os.path.join(folder, "usage_2026-12-06.json")
        log = os.path.join(folder, "trace")
        # LeakSanitizer cannot run under ptrace; the rest of a sanitized build can.
        options = (os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
        subprocess.run(["strace", "-f", "-qq", "-o", log, "-e",
                        "trace=openat,open,fsync,fdatasync,rename,renameat,renameat2,close",
                        probe, target], check=True, timeout=30,
                       env=dict(os.environ, ASAN_OPTIONS=options))
        with open(log) as f:
            lines = [line.split(None, 1)[1] if line[0].isdigit() else line for line in f]
    finally:
        shutil.rmtree(folder, True)

    temp, flags = re.escape(os.path.join(folder, ".usage_2026-12-06.json.tmp")), r"[^)]*"
    steps = [  # {fd}: the descriptor the step before opened
        ("create the temporary file, not through a link",
         rf'^open(at)?\(.*"{temp}", (?={flags}O_NOFOLLOW){flags}O_CREAT{flags}O_EXCL'),
        ("sync the temporary file", r"^f(data)?sync\({fd}\)\s*=\s*0"),
        ("rename it over the target",
         rf'^rename(at2?)?\(.*"{temp}", .*"{re.escape(target)}".*\)\s*=\s*0'),
        ("open the folder", rf'^open(at)?\(.*"{re.escape(folder)}", {flags}O_DIRECTORY'),
        ("sync the folder", r"^fsync\({fd}\)\s*=\s*0"),
    ]
    at, fd = 0, "-1"
    for what, pattern in steps:
        pattern = pattern.replace("{fd}", fd)
        if pattern.startswith("^open"):
            pattern += r"[^)]*\)\s*=\s*(?P<fd>\d+)"
        while at < len(lines) and not re.search(pattern, lines[at]):
            at += 1
        assert at < len(lines), f"no '{what}' after the steps before it; trace:\n" + "".join(lines)
        fd = re.search(pattern, lines[at]).groupdict().get("fd", fd)
        at += 1


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1])))
