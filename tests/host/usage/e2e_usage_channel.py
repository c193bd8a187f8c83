#!/usr/bin/env python3
"""The usage channel end to end: the real host on a private X display with a window manager,
the real daemon under the launchctl stand-in, and a client on the host's socket. The case
"stop-in-flight" instead ends the host with SIGTERM while calls wait on a slow launchctl, in a
copy of the bundle. Exits 77 when the host, the daemon or the X tools are missing.
usage: e2e_usage_channel.py BUNDLE_CONTENTS_FOLDER [stop-in-flight]"""

import functools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from host_run import (USAGE, Host, PrivateX, private_env, skip_unless, wait_until,  # noqa: E402
                      write)

LABEL = "com.velbrook.quillmoss.tracker"


def process_lives(pid):
    """True while the process exists and is not a zombie."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def stable_read(path, query):
    """The file's content and the query's answer, from the same version of the file."""
    for _ in range(5):
        before = os.stat(path).st_mtime_ns
        with open(path) as f:
            content = json.load(f)
        answer = query()
        if os.stat(path).st_mtime_ns == before:
            return content, answer
    raise AssertionError("the daemon kept rewriting " + path)


def run(host, env, contents):
    launchctl = os.path.join(contents, "Helpers", "launchctl")
    app_support = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss")
    daemon_dest = os.path.join(app_support, "QuillmossTracker")
    agent_file = os.path.join(env["HOME"], "Library", "LaunchAgents", LABEL + ".plist")
    call = functools.partial(host.call, USAGE)

    def started_pid(after):
        wait_until(lambda: call("isRunning") is True, 30, 0.05, "isRunning after " + after)
        out = subprocess.run([launchctl, "list", LABEL], env=env, capture_output=True, text=True)
        match = re.search(r'\t"PID" = (\d+);', out.stdout)
        assert match, "no pid after " + after
        return int(match.group(1))

    try:
        assert call("isRunning") is False, "isRunning before setup"
        # The first setup installs the daemon and the agent file and starts the job; the second
        # copies nothing and restarts the job with a new process.
        assert call("setup") is True, "first setup"
        installed = os.stat(daemon_dest)
        assert os.path.isfile(agent_file), agent_file
        first_pid = started_pid("the first setup")
        assert call("setup") is True, "second setup"
        assert os.stat(daemon_dest).st_ino == installed.st_ino, "the same daemon copied again"
        assert not process_lives(first_pid), "the old daemon still runs after the reload"
        assert started_pid("the restart") != first_pid, "restart gives a new pid"

        # The old daemon wrote today's files on SIGTERM, one after another; the queries answer
        # what is in them (no date means today).
        today = time.strftime("%Y-%m-%d")
        queries = {"usage": ("getUsage", None), "activity": ("getActivity", {"date": today}),
                   "segments": ("getSegments", {"date": today})}
        files = {kind: os.path.join(app_support, "usage", "%s_%s.json" % (kind, today))
                 for kind in queries}
        wait_until(lambda: all(map(os.path.exists, files.values())), 60, 0.05, "the day files")
        for kind, (method, arguments) in queries.items():
            content, answer = stable_read(files[kind], lambda: call(method, arguments))
            assert answer == content, "%s %r vs %r" % (method, answer, content)
        host.stop()
    finally:
        if os.path.exists(agent_file):
            subprocess.run([launchctl, "unload", agent_file], env=env, capture_output=True,
                           timeout=30)


def stop_in_flight(contents, root):
    """SIGTERM while isRunning waits on a slow launchctl and reads are queued behind it: the
    host ends the child instead of waiting for it, and ends with status 0, silent, and (in the
    sanitizer build) without a fault."""
    bundle = os.path.join(root, "copy.app", "Contents")
    started = os.path.join(root, "launchctl-started")
    launchctl = os.path.join(bundle, "Helpers", "launchctl")
    write(launchctl, "#!/bin/sh\necho $$ > %s\nexec sleep 3\n" % started)
    os.chmod(launchctl, 0o755)
    os.makedirs(os.path.join(bundle, "MacOS"))
    shutil.copy2(os.path.join(contents, "MacOS", "quillmoss"), os.path.join(bundle, "MacOS"))
    try:
        with Host(os.path.join(bundle, "MacOS", "quillmoss"), private_env(root)) as host:
            host.client.send(USAGE, "isRunning")
            for _ in range(20):
                host.client.send(USAGE, "getUsage")
            wait_until(lambda: os.path.exists(started), 30, 0.02, "the slow launchctl to start")
            host.stop(timeout=2)  # The child would take 3 s.
    finally:
        pid = int(open(started).read() or 0) if os.path.exists(started) else 0
        if pid and process_lives(pid):
            os.kill(pid, 9)


def main(contents, case=None):
    contents = os.path.abspath(contents)
    skip_unless([os.path.join(contents, "MacOS", "quillmoss")], x=case is None)
    with tempfile.TemporaryDirectory(prefix="qm-e2e-usage-") as root:
        if case == "stop-in-flight":
            stop_in_flight(contents, root)
        else:
            skip_unless([os.path.join(contents, p) for p in ("MacOS/QuillmossTracker",
                                                              "Helpers/launchctl")])
            with PrivateX() as x:
                env = dict(private_env(root), DISPLAY=x.display)
                with Host(os.path.join(contents, "MacOS", "quillmoss"), env) as host:
                    run(host, env, contents)
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
