#!/usr/bin/env python3
"""The product installed as Linux software, used from PATH on a private X display.
    install_e2e.py prefix BUILD_DIR   cmake --install into an empty prefix: the layout, then
                                      quillmoss-ctl start, status, report and stop from it
    install_e2e.py deb BUILD_DIR      the Debian package from the same rules: its files, links,
                                      desktop entries and library dependencies"""

import fcntl
import glob
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from host_run import PrivateX, private_env, skip_unless, wait_until  # noqa: E402

CONTENTS = "lib/quillmoss/quillmoss.app/Contents"
ON_PATH = {"quillmoss": "MacOS/quillmoss", "quillmoss-ctl": "Helpers/quillmoss-ctl",
           "quillmoss-call": "Helpers/quillmoss-call",
           "quillmoss-report": "Helpers/quillmoss-report"}
ENTRIES = {"com.velbrook.quillmoss.desktop": "quillmoss-ctl start",
           "com.velbrook.quillmoss.report.desktop": "quillmoss-ctl report"}
LABEL = "com.velbrook.quillmoss.tracker"


def run(args, env=None, status=0):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=120,
                            stdin=subprocess.DEVNULL)
    assert result.returncode == status, \
        f"{' '.join(args)}: status {result.returncode}\n{result.stdout}{result.stderr}"
    return result.stdout


def check_layout(tree, prefix):
    """tree: where the files are; prefix: where they will be (the desktop entries name it)."""
    for name, target in ON_PATH.items():
        link = os.path.join(tree, "bin", name)
        assert os.readlink(link) == os.path.join("..", CONTENTS, target), link
        assert os.access(link, os.X_OK), f"{link} does not lead to a program"
    for name in ("MacOS/QuillmossTracker", "Helpers/launchctl",
                 f"Resources/{LABEL}.plist", "Resources/kwin/quillmoss-windows.js"):
        assert os.path.isfile(os.path.join(tree, CONTENTS, name)), name
    for name, command in ENTRIES.items():
        entry = os.path.join(tree, "share/applications", name)
        run(["desktop-file-validate", entry])
        with open(entry) as f:
            assert f"Exec={prefix}/bin/{command}\n" in f.read(), f"{name} runs something else"
    for name in ("icons/hicolor/scalable/apps/com.velbrook.quillmoss.svg",
                 "gnome-shell/extensions/quillmoss-focus@velbrook.com/metadata.json"):
        assert os.path.isfile(os.path.join(tree, "share", name)), name


def ours(root):
    """PIDs of the processes whose environment names root: everything the test started."""
    found = []
    for environ in glob.glob("/proc/[0-9]*/environ"):
        try:
            with open(environ, "rb") as f:
                if root.encode() in f.read():
                    found.append(int(environ.split("/")[2]))
        except OSError:
            pass
    return found


def locked(path):
    """Whether a process holds the tracker's lock on path."""
    try:
        with open(path) as f:
            fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return False
    except BlockingIOError:
        return True
    except FileNotFoundError:
        return False


def exe(pid):
    try:
        return os.readlink(f"/proc/{pid}/exe")
    except OSError:
        return None


def installed_product(build, root):
    skip_unless(x=True)
    prefix = os.path.join(root, "prefix")
    run(["cmake", "--install", build, "--prefix", prefix])
    check_layout(prefix, prefix)

    # A browser stand-in that notes the page it is asked to open.
    stubs = os.path.join(root, "stubs")
    os.makedirs(stubs)
    with open(os.path.join(stubs, "xdg-open"), "w") as f:
        f.write(f"#!/bin/sh\necho \"$1\" > {root}/opened\n")
    os.chmod(os.path.join(stubs, "xdg-open"), 0o755)

    with PrivateX() as x:
        env = dict(private_env(root), DISPLAY=x.display,
                   PATH=f"{prefix}/bin:{stubs}:/usr/bin:/bin")
        data = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss")
        installed = os.path.join(data, "QuillmossTracker")
        try:
            assert run(["quillmoss-ctl", "status"], env).startswith(
                "tracker: not running\nhost:    not running\n")
            # A tracker started by hand, outside launchd, keeps the agent's from starting.
            loose = subprocess.Popen([os.path.join(prefix, CONTENTS, "MacOS/QuillmossTracker")],
                                     env=env)
            wait_until(lambda: locked(os.path.join(data, "usage", ".tracker.lock")), 10)
            said = subprocess.run(["quillmoss-ctl", "start"], env=env, capture_output=True,
                                  text=True, timeout=60)
            assert said.returncode == 1 and "already records" in said.stderr, said
            loose.terminate()
            assert loose.wait(10) == 0

            # Started as the UI does, twice: one tracker, the installed copy, that launchd knows.
            for _ in range(2):
                run(["quillmoss-ctl", "start"], env)
            assert run(["quillmoss-call", "usage_tracker", "isRunning"], env).strip() == "true"
            trackers = [p for p in ours(root) if exe(p) == installed]
            assert len(trackers) == 1, f"trackers {trackers}"
            status = run(["quillmoss-ctl", "status"], env)
            assert f"tracker: runs as PID {trackers[0]}\n" in status, status
            host = int(status.split("host:    runs as PID ")[1].split()[0])
            assert exe(host) == os.path.join(prefix, CONTENTS, "MacOS/quillmoss"), exe(host)
            with open(os.path.join(env["HOME"], "Library/LaunchAgents", LABEL + ".plist")) as f:
                assert f"<string>{installed}</string>" in f.read()

            run(["quillmoss-ctl", "report"], env)
            page = os.path.join(env["XDG_CACHE_HOME"], "com.velbrook.quillmoss", "report.html")
            with open(os.path.join(root, "opened")) as f:
                assert f.read().strip() == page
            with open(page) as f:
                assert "<html" in f.read()

            run(["quillmoss-ctl", "stop"], env)
            assert run(["quillmoss-ctl", "status"], env).startswith(
                "tracker: not running\nhost:    not running\n")
            assert run(["quillmoss-call", "usage_tracker", "isRunning"], env, status=3) == ""
        finally:
            left = [p for p in ours(root) if p not in (q.pid for q in x.processes)]
            for pid in left:
                os.kill(pid, 9)
        assert not left, f"left running: {[exe(p) for p in left]}"


def debian_package(build, root):
    skip_unless(["/usr/bin/dpkg-deb", "/usr/bin/dpkg-shlibdeps"])
    run(["cpack", "-G", "DEB", "-B", os.path.join(root, "out"),
         "--config", os.path.join(build, "CPackConfig.cmake")])
    [deb] = glob.glob(os.path.join(root, "out", "quillmoss_*.deb"))
    depends = run(["dpkg-deb", "-f", deb, "Depends"])
    for library in ("libxcb1", "libgdk-pixbuf-2.0-0", "libglib2.0-0", "libxml2", "libc6"):
        assert library in depends, f"{library} missing from Depends: {depends}"
    tree = os.path.join(root, "tree")
    run(["dpkg-deb", "-x", deb, tree])
    check_layout(os.path.join(tree, "usr"), "/usr")
    listing = run(["dpkg-deb", "-c", deb])
    assert all(line.split()[1] == "root/root" for line in listing.splitlines()), listing


if __name__ == "__main__":
    case, build = sys.argv[1], os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory(prefix="qm-install-") as root:
        {"prefix": installed_product, "deb": debian_package}[case](build, root)
