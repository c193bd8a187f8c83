#!/usr/bin/env python3
"""End to end on a private X display: names and icons of running applications.

A bare X client with a WM_CLASS, a title and an _NET_WM_ICON set through xprop runs under
openbox on Xvfb; the real quillmoss must name it by its title and draw its window icon, while an
installed application's entry still wins for a window that has one. Skips (77) without Xvfb,
openbox, xprop or xdotool.

usage: e2e_running_applications.py PATH_TO_QUILLMOSS PATH_TO_X11_TEST_CLIENT
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "scripts")]
import channel_client  # noqa: E402
import e2e_menu_bar_and_names as host_e2e  # noqa: E402

USAGE = host_e2e.USAGE


def wait_for(what, predicate, deadline=60.0):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def main():
    quillmoss, test_client = sys.argv[1], sys.argv[2]
    if any(shutil.which(tool) is None for tool in ("Xvfb", "openbox", "xprop", "xdotool")):
        print("skipped: Xvfb, openbox, xprop or xdotool missing")
        return 77
    processes = []
    with tempfile.TemporaryDirectory(prefix="qm-host-x11-") as root:
        try:
            runtime = os.path.join(root, "run")
            os.mkdir(runtime, 0o700)
            os.mkdir(os.path.join(root, "home"))
            env = {
                "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
                "HOME": os.path.join(root, "home"),
                "XDG_RUNTIME_DIR": runtime,
                "XDG_DATA_HOME": host_e2e.make_desktop(root),
                "XDG_DATA_DIRS": os.path.join(root, "nothing"),
                "XDG_CONFIG_HOME": os.path.join(root, "config"),
                "LANG": "C",
            }
            for key in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
                if key in os.environ:
                    env[key] = os.environ[key]

            read_end, write_end = os.pipe()
            processes.append(subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL))
            os.close(write_end)
            with os.fdopen(read_end) as numbers:
                display = numbers.readline().strip()
            assert display, "Xvfb gave no display number"
            env["DISPLAY"] = ":" + display
            # The window manager finds its themes in the system's data folders.
            wm_env = {k: v for k, v in env.items() if not k.startswith("XDG_DATA")}
            processes.append(subprocess.Popen(["openbox", "--sm-disable"], env=wm_env,
                                              stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL))
            wait_for("the window manager", lambda: "window id" in subprocess.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env, capture_output=True,
                text=True).stdout)

            # A window of an application that has no desktop entry, with a 2 x 1 icon.
            tool = subprocess.Popen([test_client, "e2etool", "E2eTool", "Tool Window"], env=env,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            processes.append(tool)
            window = tool.stdout.readline().strip()
            assert window, "the test client made no window"
            subprocess.run(["xprop", "-id", window, "-f", "_NET_WM_ICON", "32c", "-set",
                            "_NET_WM_ICON", "2,1,0xffff0000,0xff0000ff"], env=env, check=True)
            # Openbox drops a map request that comes while it is still starting; ask again.
            for _ in range(30):
                try:
                    wait_for("the window in the client list",
                             lambda: window_listed(env, window), deadline=2.0)
                    break
                except AssertionError:
                    subprocess.run(["xdotool", "windowmap", window], env=env,
                                   capture_output=True)
            else:
                raise AssertionError("openbox never listed the test window")

            host = subprocess.Popen([quillmoss], env=env, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
            processes.append(host)
            path = os.path.join(runtime, "quillmoss", "engine.sock")
            wait_for("the socket", lambda: os.path.exists(path) or host.poll() is not None)
            assert host.poll() is None, "host ended early with %r" % host.returncode
            client = channel_client.Client(path, timeout=60.0)

            assert client.call(USAGE, "getAppName", {"bundleId": "E2eTool"}) == "Tool Window"
            icon = client.call(USAGE, "getAppIcon", {"bundleId": "E2eTool#example.org"})
            host_e2e.check_png_32(icon, "window icon")
            # Installed and not running: still the entry's name.
            assert client.call(USAGE, "getAppName", {"bundleId": "org.example.E2E"}) == \
                "E2E Editor"
            assert client.call(USAGE, "getAppName", {"bundleId": "e2etool"}) is None
            client.sock.close()

            host.send_signal(signal.SIGTERM)
            out, err = host.communicate(timeout=60)
            assert host.returncode == 0, "exit status %r, stderr %r" % (host.returncode, err)
            assert out == b"" and err == b"", "the host printed: %r %r" % (out, err)
        finally:
            for process in reversed(processes):
                if process.poll() is None:
                    process.terminate()
                    try:
                        process.wait(timeout=10)
                    except subprocess.TimeoutExpired:
                        process.kill()
                        process.wait()
    print("ok")
    return 0


def window_listed(env, window):
    out = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST"], env=env, capture_output=True,
                         text=True).stdout
    return hex(int(window)) in out or window in out


if __name__ == "__main__":
    sys.exit(main())
