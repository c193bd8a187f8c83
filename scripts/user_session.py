"""A private session that runs as an unprivileged user: compositors such as sway refuse root, and
a desktop shell has no business running as root. Under root everything spawn() starts runs as
a user of its own, created on first use; otherwise as ourselves."""

import os
import pwd
import shutil
import subprocess

from private_session import PrivateSession

USER = "qmwayland"


def session_user():
    """(uid, gid) to run the session as: ourselves, or under root a user of its own, without a
    home (the session has its own folders)."""
    if os.geteuid() != 0:
        return os.geteuid(), os.getegid()
    try:
        entry = pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
                        "--shell", "/usr/sbin/nologin", USER], check=True, capture_output=True)
        entry = pwd.getpwnam(USER)
    return entry.pw_uid, entry.pw_gid


class UserSession(PrivateSession):
    def __init__(self, env):
        self.uid, self.gid = session_user()
        super().__init__(env)
        # The root holds the sockets, the session's home and XDG folders, and everything the
        # session user must read or write (the copied programs, the homes of those under test).
        os.chmod(self.root, 0o755)
        self.give(self.root)
        self.runtime = self.env["XDG_RUNTIME_DIR"]

    def give(self, path):
        """Hands a file or folder (and what is in it) to the session user."""
        if os.geteuid() != 0:
            return
        for folder, dirs, files in os.walk(path):
            for name in [folder] + [os.path.join(folder, n) for n in dirs + files]:
                os.chown(name, self.uid, self.gid)

    def place(self, source, name, mode=0o755):
        """A copy the session user can read and run, wherever the build tree lives (a copy
        carries no file capabilities)."""
        target = os.path.join(self.root, name)
        if os.path.isdir(source):
            shutil.copytree(source, target, symlinks=True)
        else:
            shutil.copy(source, target)
            os.chmod(target, mode)
        self.give(target)
        return target

    def _as_session_user(self, kwargs):
        if os.geteuid() == 0:
            kwargs.update(user=self.uid, group=self.gid, extra_groups=[])
        kwargs.setdefault("cwd", self.runtime)
        return kwargs
