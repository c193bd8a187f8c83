"""What every private session for scripted runs shares: the processes it started, ended in
reverse order when it closes (whatever happened), a folder of its own for their files, and waits
on conditions, never on guesses."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

# Where programs keep their files, and the folder each gets under a private root.
FOLDERS = (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
           ("XDG_DATA_HOME", "data"), ("XDG_STATE_HOME", "state"), ("XDG_RUNTIME_DIR", "run"))


def private_folders(root, keep=None):
    """A home and XDG folders under root, each created (0700): the variables that name them,
    except those keep already names."""
    folders = {}
    for variable, name in FOLDERS:
        if keep is None or variable not in keep:
            folders[variable] = os.path.join(root, name)
            os.makedirs(folders[variable], mode=0o700, exist_ok=True)
    return folders


def processes_naming(text):
    """PID and executable of each process whose environment names text (a private root)."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if text.encode() in f.read():
                    found[int(pid)] = os.readlink(f"/proc/{pid}/exe")
        except OSError:
            pass
    return found


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
    """A context manager; subclasses start their servers in _start(). Its programs (window
    manager, compositor, the font cache under them) keep their files under self.root, never in
    the user's home: env gives the variables to keep, and the home and XDG folders it does not
    name (all of them when env is None) are made there."""

    def __init__(self, env=None):
        self.root = tempfile.mkdtemp(prefix="qm-session-")
        self.env = dict(os.environ if env is None else env)
        self.env.update(private_folders(self.root, None if env is None else env))
        self.processes = []

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        shutil.rmtree(self.root, ignore_errors=True)

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
