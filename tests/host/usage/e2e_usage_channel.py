#!/usr/bin/env python3
"""End-to-end test of the usage channel: the real host on a private X display with a window
manager, the real daemon under the launchctl stand-in, and a client on the host's socket.
The case "stop-in-flight" instead ends the host with SIGTERM while calls wait on a slow
launchctl, in a copy of the bundle.

Usage: e2e_usage_channel.py BUNDLE_CONTENTS_FOLDER [stop-in-flight]
Exits 0 on success, 1 on failure, 77 when the host, the daemon or the X tools are missing.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from host_run import USAGE, Host, private_env, skip_unless, wait_until  # noqa: E402
from x11_private_session import PrivateX  # noqa: E402

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
    data_dir = os.path.join(app_support, "usage")
    daemon_dest = os.path.join(app_support, "QuillmossTracker")
    agent_file = os.path.join(env["HOME"], "Library", "LaunchAgents", LABEL + ".plist")

    def call(method, arguments=None):
        reply = host.call(USAGE, method, arguments)
        assert not isinstance(reply, Exception), "%s answered %s" % (method, reply)
        return reply

    def listed_pid():
        out = subprocess.run([launchctl, "list", LABEL], env=env, capture_output=True, text=True)
        match = re.search(r'\t"PID" = (\d+);', out.stdout)
        return int(match.group(1)) if match else None

    try:
        # Never set up: launchd does not know the job.
        assert call("isRunning") is False, "isRunning before setup"

        # First setup: the daemon and the agent file installed, the job started.
        assert call("setup") is True, "first setup"
        installed = os.stat(daemon_dest)
        assert os.path.isfile(agent_file), agent_file
        wait_until(lambda: call("isRunning") is True, 30, 0.05, "isRunning after setup")
        first_pid = listed_pid()
        assert first_pid, "a pid after the first setup"

        # Second setup: no new copy, the job restarts with a new process.
        assert call("setup") is True, "second setup"
        assert os.stat(daemon_dest).st_ino == installed.st_ino, "the same daemon copied again"
        assert not process_lives(first_pid), "the old daemon still runs after the reload"
        wait_until(lambda: call("isRunning") is True, 30, 0.05, "isRunning after the restart")
        second_pid = listed_pid()
        assert second_pid and second_pid != first_pid, "restart gives a new pid"

        # The old daemon wrote today's files on SIGTERM; the queries answer what is in them
        # (no date means today).
        today = time.strftime("%Y-%m-%d")
        day_file = lambda kind: os.path.join(data_dir, "%s_%s.json" % (kind, today))  # noqa: E731
        queries = (("usage", "getUsage", None), ("activity", "getActivity", {"date": today}),
                   ("segments", "getSegments", {"date": today}))
        # The daemon writes the three files one after another.
        wait_until(lambda: all(os.path.exists(day_file(q[0])) for q in queries), 60, 0.05,
                   "the daemon's day files")
        for kind, method, arguments in queries:
            content, answer = stable_read(day_file(kind), lambda: call(method, arguments))
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
    os.makedirs(os.path.join(bundle, "MacOS"))
    os.makedirs(os.path.join(bundle, "Helpers"))
    shutil.copy2(os.path.join(contents, "MacOS", "quillmoss"), os.path.join(bundle, "MacOS"))
    started = os.path.join(root, "launchctl-started")
    launchctl = os.path.join(bundle, "Helpers", "launchctl")
    with open(launchctl, "w") as f:
        f.write("#!/bin/sh\necho $$ > %s\nexec sleep 3\n" % started)
    os.chmod(launchctl, 0o755)
    env = private_env(root)
    try:
        with Host(os.path.join(bundle, "MacOS", "quillmoss"), env) as host:
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
