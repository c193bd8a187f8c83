"""The real host for the end-to-end tests: a private home, its socket, and a silent stop."""

import contextlib
import os
import signal
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "..", "scripts")]
import channel_client  # noqa: E402
from private_session import private_folders  # noqa: E402
from host_socket import socket_path  # noqa: E402
from x11_private_session import PrivateX, missing_tools, wait_until  # noqa: E402,F401

MENU_BAR = "com.velbrook.quillmoss/menu_bar"
USAGE = "com.velbrook.quillmoss/usage_tracker"


def skip_unless(executables=(), x=False):
    """Ends the test with the skip status when a program it needs is missing."""
    missing = [p for p in executables if not os.access(p, os.X_OK)]
    missing += missing_tools() if x else []
    if missing:
        print("skipped: missing " + ", ".join(missing))
        sys.exit(77)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def private_env(root):
    """A home, data, config, cache, state and runtime folder under root; no system data
    folders."""
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C",
           "XDG_DATA_DIRS": os.path.join(root, "nothing")}
    env.update((k, v) for k, v in os.environ.items() if k.endswith("SAN_OPTIONS"))
    env.update(private_folders(root))
    return env


class Host(contextlib.AbstractContextManager):
    """Started at construction, connected once its socket answers; killed, if still running,
    when its with-block ends."""

    def __init__(self, binary, env):
        # A file, not a pipe: the daemon and launchctl the host starts may keep a pipe open.
        self.output = open(os.path.join(env["HOME"], "host-output"), "w+b")
        self.process = subprocess.Popen([binary], env=env, stdin=subprocess.DEVNULL,
                                        stdout=self.output, stderr=self.output)
        self.socket_path = socket_path(env)

        def connected():
            if self.process.poll() is not None:
                self.output.seek(0)
                reason = self.output.readline().decode(errors="replace").strip()
                raise AssertionError("the host exited with %s: %s" % (self.process.returncode,
                                                                      reason))
            try:
                return channel_client.Client(self.socket_path)
            except OSError:
                return None
        self.client = wait_until(connected, 60, 0.02, "the host's socket")

    def call(self, channel, method, arguments=None):
        return self.client.call(channel, method, arguments)

    def stop(self, timeout=30):
        """SIGTERM; the host must end with status 0 within timeout s and print nothing."""
        self.client.close()
        self.process.send_signal(signal.SIGTERM)
        try:
            status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the host did not end within %d s of SIGTERM" % timeout)
        self.output.seek(0)
        printed = self.output.read()
        assert status == 0 and printed == b"", "exit status %r, output %r" % (status, printed)

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.output.close()
