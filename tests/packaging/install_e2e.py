#!/usr/bin/env python3
"""The product installed as Linux software. install_e2e.py prefix|deb BUILD_DIR
prefix: cmake --install into an empty prefix, then quillmoss-ctl from PATH on a private display.
deb: the Debian package from the same rules: its files, desktop entries and dependencies."""

import glob
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_run import PrivateX, private_env, skip_unless, wait_until  # noqa: E402
from private_session import processes_naming  # noqa: E402

CONTENTS = "lib/quillmoss/quillmoss.app/Contents"
LABEL = "com.velbrook.quillmoss.tracker"


def run(args, env=None, status=0):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=120)
    said = result.stdout + result.stderr
    assert result.returncode == status, f"{args}: {result.returncode}\n{said}"
    return said


def check_layout(tree, prefix):
    """tree: where the files are; prefix: where they will be, as the desktop entries name it."""
    for name, target in (("quillmoss", "MacOS/quillmoss"),
                         *((n, f"Helpers/{n}") for n in ("quillmoss-ctl", "quillmoss-call",
                                                         "quillmoss-report"))):
        link = os.path.join(tree, "bin", name)
        assert os.readlink(link) == f"../{CONTENTS}/{target}" and os.access(link, os.X_OK), link
    for name in (f"{CONTENTS}/MacOS/QuillmossTracker", f"{CONTENTS}/Helpers/launchctl",
                 f"{CONTENTS}/Resources/{LABEL}.plist",
                 "share/icons/hicolor/scalable/apps/com.velbrook.quillmoss.svg",
                 "share/gnome-shell/extensions/quillmoss-focus@velbrook.com/metadata.json"):
        assert os.path.isfile(os.path.join(tree, name)), name
    for entry, command in (("", "start"), (".report", "report")):
        entry = os.path.join(tree, f"share/applications/com.velbrook.quillmoss{entry}.desktop")
        run(["desktop-file-validate", entry])
        with open(entry) as f:
            assert f"Exec={prefix}/bin/quillmoss-ctl {command}\n" in f.read(), entry


def installed_product(build, root):
    skip_unless(x=True)
    prefix, stubs = os.path.join(root, "prefix"), os.path.join(root, "stubs")
    run(["cmake", "--install", build, "--prefix", prefix])
    check_layout(prefix, prefix)
    os.makedirs(stubs)  # a browser that notes the page it is asked to open
    with open(os.path.join(stubs, "xdg-open"), "w") as f:
        f.write(f"#!/bin/sh\necho \"$1\" > {root}/opened\n")
    os.chmod(os.path.join(stubs, "xdg-open"), 0o755)
    with PrivateX() as x:
        env = dict(private_env(root), DISPLAY=x.display, PATH=f"{prefix}/bin:{stubs}:/usr/bin:/bin")
        # A runtime folder as deep as a deep home gives: the socket's path passes what an address
        # holds, and the host must still be found, reported and stopped.
        env["XDG_RUNTIME_DIR"] = os.path.join(env["XDG_RUNTIME_DIR"], "r" * 100)
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        data = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss")
        stopped = "tracker: not running\nhost:    not running\n"
        try:
            assert run(["quillmoss-ctl", "status"], env).startswith(stopped)
            # A tracker started by hand, outside launchd, would keep the agent's waiting.
            loose = subprocess.Popen([f"{prefix}/{CONTENTS}/MacOS/QuillmossTracker"], env=env)
            lock = os.path.join(data, "usage", ".tracker.lock")
            wait_until(lambda: os.path.exists(lock) and subprocess.run(["flock", "-n", lock, "true"]
                                                                       ).returncode == 1, 10)
            assert "already records" in run(["quillmoss-ctl", "start"], env, status=1)
            loose.terminate()
            assert loose.wait(10) == 0

            # Started as the UI does, twice: one tracker, the installed copy, that launchd knows.
            for _ in range(2):
                run(["quillmoss-ctl", "start"], env)
            assert run(["quillmoss-call", "usage_tracker", "isRunning"], env) == "true\n"
            status = run(["quillmoss-ctl", "status"], env)
            running = processes_naming(root)
            trackers = [p for p, exe in running.items() if exe == f"{data}/QuillmossTracker"]
            host = int(status.split("host:    runs as PID ")[1].split()[0])
            assert len(trackers) == 1 and f"tracker: runs as PID {trackers[0]}\n" in status and \
                running[host] == f"{prefix}/{CONTENTS}/MacOS/quillmoss", (status, running)

            run(["quillmoss-ctl", "report"], env)
            page = os.path.join(env["XDG_CACHE_HOME"], "com.velbrook.quillmoss", "report.html")
            with open(os.path.join(root, "opened")) as f, open(page) as html:
                assert f.read().strip() == page and "<html" in html.read()

            run(["quillmoss-ctl", "stop"], env)
            assert run(["quillmoss-ctl", "status"], env).startswith(stopped)
        finally:
            left = processes_naming(root)
            for pid in left:
                os.kill(pid, 9)
        assert not left, f"left running: {left}"


def debian_package(build, root):
    skip_unless(["/usr/bin/dpkg-deb", "/usr/bin/dpkg-shlibdeps"])
    run(["cpack", "-G", "DEB", "-B", f"{root}/out", "--config", f"{build}/CPackConfig.cmake"])
    [deb] = glob.glob(f"{root}/out/quillmoss_*.deb")
    depends = run(["dpkg-deb", "-f", deb, "Depends"])
    # The X libraries are linked statically; GLib and libwayland are also the tracker module's.
    assert all(lib in depends for lib in ("libglib2.0-0", "libwayland-client0",
                                          "libgdk-pixbuf-2.0-0", "libxml2")), depends
    run(["dpkg-deb", "-x", deb, f"{root}/tree"])
    check_layout(f"{root}/tree/usr", "/usr")
    listing = run(["dpkg-deb", "-c", deb]).splitlines()
    assert all(line.split()[1] == "root/root" for line in listing), listing


if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix="qm-install-") as root:
        {"prefix": installed_product, "deb": debian_package}[sys.argv[1]](
            os.path.abspath(sys.argv[2]), root)
