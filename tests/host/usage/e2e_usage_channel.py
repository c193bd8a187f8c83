#!/usr/bin/env python3
"""End-to-end test of the usage channel: the real host on a private X display with a window
manager, the real daemon under the launchctl stand-in, and a client on the host's socket.

Usage: e2e_usage_channel.py BUNDLE_CONTENTS_FOLDER
Exits 0 on success, 1 on failure, 77 when the host, the daemon or the X tools are missing.
"""

import json
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
import channel_client  # noqa: E402

CHANNEL = "com.velbrook.quillmoss/usage_tracker"
LABEL = "com.velbrook.quillmoss.tracker"
SKIP = 77


def wait_for(what, condition, timeout=30.0, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def check_all(cases):
    for value, expected, what in cases:
        check(value == expected, "%s: %r, expected %r" % (what, value, expected))


class Session:
    def __init__(self, contents):
        self.contents = contents
        self.host_binary = os.path.join(contents, "MacOS", "quillmoss")
        self.bundle_daemon = os.path.join(contents, "MacOS", "QuillmossTracker")
        self.launchctl = os.path.join(contents, "Helpers", "launchctl")
        self.root = tempfile.mkdtemp(prefix="qm-e2e-usage-")
        self.processes = []
        self.env = dict(os.environ)
        for variable, name in (("HOME", "home"), ("XDG_DATA_HOME", "data"),
                               ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                               ("XDG_RUNTIME_DIR", "run")):
            self.env[variable] = os.path.join(self.root, name)
            os.makedirs(self.env[variable], mode=0o700)
        self.env.pop("XDG_DATA_DIRS", None)
        self.app_support = os.path.join(self.env["XDG_DATA_HOME"], "com.velbrook.quillmoss")
        self.data_dir = os.path.join(self.app_support, "usage")
        self.daemon_dest = os.path.join(self.app_support, "QuillmossTracker")
        self.agent_file = os.path.join(self.env["HOME"], "Library", "LaunchAgents",
                                       LABEL + ".plist")
        self.socket_path = os.path.join(self.env["XDG_RUNTIME_DIR"], "quillmoss", "engine.sock")
        self.client = None

    def start_display(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(xvfb)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            display = numbers.readline().strip()
        check(display, "Xvfb gave no display number")
        self.env["DISPLAY"] = ":" + display
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(wm)

        def wm_ready():
            out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                                 capture_output=True, text=True)
            return "window id" in out.stdout
        wait_for("the window manager", wm_ready)

    def start_host(self):
        self.host = subprocess.Popen([self.host_binary], env=self.env, stdin=subprocess.DEVNULL)
        self.processes.append(self.host)

        def connected():
            if self.host.poll() is not None:
                raise AssertionError("the host exited with %s" % self.host.returncode)
            try:
                return channel_client.Client(self.socket_path, timeout=120.0)
            except OSError:
                return None
        self.client = wait_for("the host's socket", connected)

    def call(self, method, arguments=None):
        reply = self.client.call(CHANNEL, method, arguments)
        if isinstance(reply, channel_client.ChannelError):
            raise AssertionError("%s answered %s" % (method, reply))
        return reply

    def listed_pid(self):
        out = subprocess.run([self.launchctl, "list", LABEL], env=self.env, capture_output=True,
                             text=True)
        match = re.search(r'\t"PID" = (\d+);', out.stdout)
        return int(match.group(1)) if match else None

    def close(self):
        if self.client:
            self.client.close()
        if os.path.exists(self.agent_file):
            subprocess.run([self.launchctl, "unload", self.agent_file], env=self.env,
                           capture_output=True, timeout=30)
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.root, ignore_errors=True)


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


def run(session):
    s = session
    s.start_display()
    s.start_host()

    # Never set up: launchd does not know the job.
    check(s.call("isRunning") is False, "isRunning before setup")

    # First setup: daemon copied with its time and mode 755, agent file written, job started.
    check(s.call("setup") is True, "first setup")
    installed = os.stat(s.daemon_dest)
    bundled = os.stat(s.bundle_daemon)
    check(stat.S_IMODE(installed.st_mode) == 0o755, "installed mode %o" % installed.st_mode)
    check(installed.st_mtime_ns == bundled.st_mtime_ns, "installed copy keeps the bundle's time")
    with open(s.daemon_dest, "rb") as a, open(s.bundle_daemon, "rb") as b:
        check(a.read() == b.read(), "installed copy differs from the bundle's daemon")
    with open(s.agent_file, encoding="utf-8") as f:
        agent = f.read()
    check("<string>%s</string>" % s.daemon_dest in agent, "agent file names the daemon")
    check("<string>%s</string>" % LABEL in agent and "DAEMON_PATH_PLACEHOLDER" not in agent,
          "agent file label and placeholder")
    wait_for("isRunning after setup", lambda: s.call("isRunning") is True)
    first_pid = s.listed_pid()
    check(first_pid, "a pid after the first setup")

    # Second setup: no new copy, the job restarts with a new process.
    check(s.call("setup") is True, "second setup")
    again = os.stat(s.daemon_dest)
    check(again.st_ino == installed.st_ino, "the unchanged daemon was copied again")
    check(not process_lives(first_pid), "the old daemon still runs after the reload")
    wait_for("isRunning after the restart", lambda: s.call("isRunning") is True)
    second_pid = s.listed_pid()
    check(second_pid and second_pid != first_pid, "restart gives a new pid")

    # The old daemon wrote today's files on SIGTERM; the queries answer what is in them.
    today = time.strftime("%Y-%m-%d")
    usage_file = os.path.join(s.data_dir, "usage_%s.json" % today)
    wait_for("the daemon's usage file", lambda: os.path.exists(usage_file), timeout=60)
    content, answer = stable_read(usage_file, lambda: s.call("getUsage"))
    check(answer == {k: float(v) for k, v in content.items()}, "getUsage %r vs %r" % (answer, content))
    check(all(isinstance(v, float) for v in answer.values()), "usage numbers are doubles")
    activity_file = os.path.join(s.data_dir, "activity_%s.json" % today)
    content, answer = stable_read(activity_file,
                                  lambda: s.call("getActivity", {"date": today}))
    check(answer == [[float(x) for x in i] for i in content], "getActivity %r" % (answer,))
    segments_file = os.path.join(s.data_dir, "segments_%s.json" % today)
    content, answer = stable_read(segments_file,
                                  lambda: s.call("getSegments", {"date": today}))
    check(answer == content, "getSegments %r vs %r" % (answer, content))

    # A day with known content, including integers that must stay integers.
    day = "2020-02-02"
    with open(os.path.join(s.data_dir, "segments_%s.json" % day), "w") as f:
        f.write('[["com.a",1580601600,1580601660.5]]')
    segments = s.call("getSegments", {"date": day})
    check(segments == [["com.a", 1580601600, 1580601660.5]] and
          isinstance(segments[0][1], int), "segments pass integers through: %r" % (segments,))
    check(s.call("getUsage", {"date": 20200202}) == s.call("getUsage"), "numeric date is today")

    # Damaged files and dates that are not days answer empty.
    damaged = "2020-01-01"
    for kind, text in (("usage", '{"a": 1, "b": "x"}'), ("activity", '[[1, "x"]]'),
                       ("segments", "7")):
        with open(os.path.join(s.data_dir, "%s_%s.json" % (kind, damaged)), "w") as f:
            f.write(text)
    check_all([
        (s.call("getUsage", {"date": damaged}), {}, "damaged usage"),
        (s.call("getActivity", {"date": damaged}), [], "damaged activity"),
        (s.call("getSegments", {"date": damaged}), [], "damaged segments"),
        (s.call("getUsage", {"date": "../../../../etc/passwd"}), {}, "path in date"),
        (s.call("getSegments", {"date": "1999-09-09"}), [], "missing day"),
        # Names the channel does not know.
        (s.client.call_raw(CHANNEL, "GetUsage"), b"", "not implemented reply"),
        (s.client.call_raw(CHANNEL, "noSuchMethod", {"date": today}), b"", "not implemented"),
    ])


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 1
    contents = os.path.abspath(sys.argv[1])
    needed = [os.path.join(contents, "MacOS", "quillmoss"),
              os.path.join(contents, "MacOS", "QuillmossTracker"),
              os.path.join(contents, "Helpers", "launchctl")]
    missing = [p for p in needed if not os.access(p, os.X_OK)]
    missing += [t for t in ("Xvfb", "openbox", "xprop") if shutil.which(t) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        return SKIP
    session = Session(contents)
    try:
        run(session)
    except AssertionError as failure:
        print("FAILED: %s" % failure)
        return 1
    finally:
        session.close()
    print("usage channel end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
