"""What every private session for scripted runs shares: the processes it started, ended in
reverse order when it closes (whatever happened), and waits on conditions, never on guesses."""

import signal
import subprocess
import time


class SessionError(RuntimeError):
    pass


def wait_until(condition, timeout, interval=0.02, what="condition"):
    """The condition's first true value; SessionError after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise SessionError(f"timed out waiting for {what}")
        time.sleep(interval)


class PrivateSession:
    """A context manager; subclasses start their servers in _start() and set self.env."""

    def __init__(self, env):
        self.env = env
        self.processes = []

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        # Clients first, servers last, so nothing complains about a vanished server.
        for process in reversed(self.processes):
            self.stop(process)
        self.processes.clear()

    def stop(self, process, sig=signal.SIGTERM, timeout=5):
        if process.poll() is None:
            process.send_signal(sig)
            try:
                process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        for stream in (process.stdin, process.stdout, process.stderr):
            if stream:
                stream.close()

    def _as_session_user(self, kwargs):
        """Where the session runs as another user, adds that user to the process options."""
        return kwargs

    def spawn(self, args, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        kwargs.setdefault("env", self.env)
        process = subprocess.Popen(args, **self._as_session_user(kwargs))
        self.processes.append(process)
        return process

    def run(self, args, check=True):
        result = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=10,
                                **self._as_session_user({}))
        if check and result.returncode != 0:
            raise SessionError(f"{' '.join(args)} failed: {result.stderr.strip()}")
        return result.stdout
