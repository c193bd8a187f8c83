#!/usr/bin/env python3
"""The real quillmoss from the bundle, through its socket.
menu-bar-and-names: under a runtime folder deeper than a socket address holds, the menu bar
channel, names and icons of installed applications. SIGTERM then ends the host promptly with
status 0 and no output.
running-applications: on a private X display, a running application without a desktop entry is
named by its window's title and shows the window's icon, also when the window gives it only as
a WM_HINTS pixmap; installed entries still win. Names keep coming after the X server is
replaced under the host, and a server that stops answering does not stop the host.
usage-channel: on a private X display, the real daemon under the launchctl stand-in is set up,
restarted and queried through the usage channel.
stop-in-flight: SIGTERM while calls wait on a slow launchctl, in a copy of the bundle.
Exits 77 when what a case needs is missing.
usage: e2e_host.py BUNDLE_CONTENTS CASE [X11_TEST_CLIENT]"""
import functools
import json
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import channel_client  # noqa: E402
from host_run import (MENU_BAR, USAGE, Host, PrivateX, private_env, skip_unless,  # noqa: E402
                      wait_until, write)
from png_image import png_bytes, pixels  # noqa: E402

DAY = "2026-03-04"
LABEL = "com.velbrook.quillmoss.tracker"
BLACK, WHITE, BLUE, CLEAR = (0, 0, 0, 255), (255, 255, 255, 255), (0, 0, 255, 255), None


def make_world(data):
    """Two installed applications, one with a PNG icon and one with an SVG icon."""
    for app_id, name, icon in (("org.example.E2E", "E2E Editor", "e2e-editor"),
                               ("org.example.Vector", "Vector", "e2e-vector")):
        write(os.path.join(data, "applications", app_id + ".desktop"),
              "[Desktop Entry]\nType=Application\nName=%s\nExec=true\nIcon=%s\n" % (name, icon))
    hicolor = os.path.join(data, "icons", "hicolor")
    write(os.path.join(hicolor, "index.theme"),
          "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,scalable/apps\n\n"
          "[48x48/apps]\nSize=48\nType=Threshold\n\n"
          "[scalable/apps]\nSize=128\nType=Scalable\n")
    write(os.path.join(hicolor, "48x48", "apps", "e2e-editor.png"),
          png_bytes(48, (200, 30, 30, 255)))
    write(os.path.join(hicolor, "scalable", "apps", "e2e-vector.svg"),
          '<svg xmlns="http://www.w3.org/2000/svg" width="100" height="40">'
          '<rect width="100" height="40" fill="#2080ff"/></svg>\n')


def check_png_32(data, what):
    rows = pixels(data)
    assert len(rows) == 32 and len(rows[0]) == 32, what
    return rows


def menu_bar_and_names(contents, root):
    quillmoss, env = os.path.join(contents, "MacOS", "quillmoss"), private_env(root)
    # A runtime folder deeper than a socket address holds (a deep checkout's, say).
    env["XDG_RUNTIME_DIR"] = os.path.join(env["XDG_RUNTIME_DIR"], "d" * 120)
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
    make_world(env["XDG_DATA_HOME"])
    with Host(quillmoss, env) as host:
        for method, arguments, reply in (
                ("startTimer", {"startedAt": time.time() - 65.5, "peopleStudying": 3}, None),
                ("stopTimer", None, None),
                ("resetTimer", None, channel_client.NOT_IMPLEMENTED)):
            assert host.call(MENU_BAR, method, arguments) is reply, method
        assert host.process.poll() is None, "the host quit while its window was shown"

        for key, name in (("org.example.E2E", "E2E Editor"), ("org.example.None", None)):
            assert host.call(USAGE, "getAppName", {"bundleId": key}) == name, key
        for key in ("org.example.E2E", "#org.example.Vector"):
            check_png_32(host.call(USAGE, "getAppIcon", {"bundleId": key}), key)
        assert host.call(USAGE, "getAppIcon", {"bundleId": "org.example.None"}) is None

        host.stop(timeout=2)


def running_applications(contents, root, test_client):
    skip_unless(x=True)
    with PrivateX(test_client) as x:
        env = dict(private_env(root), DISPLAY=x.display)
        make_world(env["XDG_DATA_HOME"])
        # A window of an application that has no desktop entry, with a 2 x 1 icon.
        window = x.open_window("e2etool", "E2eTool", "Tool Window")
        x.run(["xprop", "-id", str(window), "-f", "_NET_WM_ICON", "32c", "-set",
               "_NET_WM_ICON", "2,1,0xffff0000,0xff0000ff"])
        # Icons given only as WM_HINTS pixmaps, as Xaw programs (xcalc) give them: a bitmap
        # with a mask over its bottom half, and one of the screen's depth.
        x.open_window("bitmapped", "Bitmapped", "Bitmapped", "--pixmap-icon", "bitmap")
        painted = x.open_window("painted", "Painted", "Painted", "--pixmap-icon", "colour")
        with Host(os.path.join(contents, "MacOS", "quillmoss"), env) as host:
            assert host.call(USAGE, "getAppName", {"bundleId": "E2eTool"}) == "Tool Window"
            check_png_32(host.call(USAGE, "getAppIcon", {"bundleId": "E2eTool#example.org"}),
                         "window icon")
            # Installed and not running: still the entry's name.
            assert host.call(USAGE, "getAppName", {"bundleId": "org.example.E2E"}) == "E2E Editor"
            assert host.call(USAGE, "getAppName", {"bundleId": "e2etool"}) is None
            # Pixels sampled away from the edges the scaling blurs.
            for key, samples in (("Bitmapped", {(6, 6): BLACK, (25, 6): WHITE, (6, 25): CLEAR,
                                                (25, 25): CLEAR}),
                                 ("Painted", {(6, 6): BLUE, (25, 25): BLUE})):
                rows = check_png_32(host.call(USAGE, "getAppIcon", {"bundleId": key}), key)
                for (px, py), expected in samples.items():
                    got = rows[py][px]
                    assert got[3] == 0 if expected is CLEAR else got == expected, (key, px, py, got)

            # A new title, a closed window and a new one (which may take the closed one's id) are
            # seen at the next call.
            x.run(["xprop", "-id", str(window), "-f", "_NET_WM_NAME", "8u", "-set",
                   "_NET_WM_NAME", "Renamed"])
            x.open_window("third", "Third", "Third Window")
            x.close_window(painted)
            x.open_window("fourth", "Fourth", "Fourth Window")
            for key, name in (("E2eTool", "Renamed"), ("Painted", None), ("Third", "Third Window"),
                              ("Fourth", "Fourth Window")):
                assert host.call(USAGE, "getAppName", {"bundleId": key}) == name, key

            # Another server on the same display: the host's connection to the old one is gone.
            x.restart_server()
            x.open_window("second", "Second", "Second Session")
            assert host.call(USAGE, "getAppName", {"bundleId": "Second"}) == "Second Session"
            assert host.call(USAGE, "getAppName", {"bundleId": "E2eTool"}) is None

            # A frozen server: names come from what the host knew; a window's icon, which must
            # be asked for, costs one bounded wait.
            x.server.send_signal(signal.SIGSTOP)
            try:
                for key, name in (("org.example.E2E", "E2E Editor"), ("Second", "Second Session")):
                    assert host.call(USAGE, "getAppName", {"bundleId": key}) == name, key
                assert host.call(USAGE, "getAppIcon", {"bundleId": "Second"}) is None
            finally:
                x.server.send_signal(signal.SIGCONT)
            wait_until(lambda: host.call(USAGE, "getAppName", {"bundleId": "Second"}), 10)

            # A server stopped before the host could connect to it: the connection is given up
            # after a bounded wait, and SIGTERM still ends the host at once.
            x.restart_server()
            x.server.send_signal(signal.SIGSTOP)
            try:
                start = time.monotonic()
                assert host.call(USAGE, "getAppName", {"bundleId": "Second"}) is None
                assert time.monotonic() - start < 5, "the connection was waited for too long"
                host.stop(timeout=2)
            finally:
                x.server.send_signal(signal.SIGCONT)


def process_lives(pid):
    """True while the process exists and is not a zombie."""
    try:
        return pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def check_usage_channel(host, env, contents):
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
            # The new daemon may rewrite a file between the read and the call: try again.
            wait_until(lambda: json.loads(pathlib.Path(files[kind]).read_text())
                       == call(method, arguments), 10, 0.05, method + " to answer the file")
        # Today's files may be empty while no window is in front; a past day proves the folder.
        past = {"activity": [[1772600000.0, 1772600060.5]],
                "segments": [["org.example.E2E", 1772600000.0, 1772600060.5]]}
        for kind, value in past.items():
            write(os.path.join(app_support, "usage", "%s_%s.json" % (kind, DAY)), json.dumps(value))
            assert call("get" + kind.title(), {"date": DAY}) == value, kind + " of a past day"
        host.stop()
    finally:
        if os.path.exists(agent_file):
            subprocess.run([launchctl, "unload", agent_file], env=env, capture_output=True,
                           timeout=30)


def usage_channel(contents, root):
    skip_unless([os.path.join(contents, p) for p in ("MacOS/quillmoss", "MacOS/QuillmossTracker",
                                                      "Helpers/launchctl")], x=True)
    with PrivateX() as x:
        env = dict(private_env(root), DISPLAY=x.display)
        with Host(os.path.join(contents, "MacOS", "quillmoss"), env) as host:
            check_usage_channel(host, env, contents)


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


if __name__ == "__main__":
    contents, case, *rest = sys.argv[1:]
    cases = {"menu-bar-and-names": menu_bar_and_names, "usage-channel": usage_channel,
             "running-applications": running_applications, "stop-in-flight": stop_in_flight}
    with tempfile.TemporaryDirectory(prefix="qm-host-e2e-") as root:
        cases[case](os.path.abspath(contents), root, *rest)
