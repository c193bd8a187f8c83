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

    temp = re.escape(os.path.join(folder, ".usage_2026-12-06.json.tmp"))
    steps = [
        ("create the temporary file", rf'^open(at)?\(.*"{temp}", [^)]*O_CREAT[^)]*O_EXCL[^)]*\)\s*=\s*(\d+)'),
        ("sync the temporary file", r"^f(data)?sync\({fd}\)\s*=\s*0"),
        ("rename it over the target", rf'^rename(at2?)?\(.*"{temp}", .*"{re.escape(target)}".*\)\s*=\s*0'),
        ("open the folder", rf'^open(at)?\(.*"{re.escape(folder)}", [^)]*O_DIRECTORY[^)]*\)\s*=\s*(\d+)'),
        ("sync the folder", r"^fsync\({fd}\)\s*=\s*0"),
    ]
    at, fd = 0, None
    for what, pattern in steps:
        pattern = pattern.replace("{fd}", fd or "-1")
        while at < len(lines) and not re.search(pattern, lines[at]):
            at += 1
        if at == len(lines):
            print(f"FAIL: no '{what}' after the steps before it; trace:\n" + "".join(lines))
            return 1
        match = re.search(pattern, lines[at])
        if what.startswith("create") or what.startswith("open"):
            fd = match.groups()[-1]
        if "O_NOFOLLOW" not in lines[at] and what.startswith("create"):
            print("FAIL: the temporary file is opened through links:", lines[at])
            return 1
        at += 1
    print("PASS")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    sys.exit(main(os.path.abspath(sys.argv[1])))
