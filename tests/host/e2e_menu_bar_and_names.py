#!/usr/bin/env python3
"""End to end: the real quillmoss, driven only through its socket.

Runs the menu bar channel's three methods and the usage channel's name and icon lookups
against desktop entries and an icon theme made in a temporary folder, then ends the host
with SIGTERM and expects status 0 and no output.

usage: e2e_menu_bar_and_names.py PATH_TO_QUILLMOSS
"""
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import channel_client  # noqa: E402
from channel_client import NOT_IMPLEMENTED  # noqa: E402

MENU_BAR = "com.velbrook.quillmoss/menu_bar"
USAGE = "com.velbrook.quillmoss/usage_tracker"
DEADLINE = 60.0


# --- the desktop made for the test ------------------------------------------------------------

def png_bytes(width, height, rgba):
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload +
                struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))
    row = b"\x00" + bytes(rgba) * width
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def make_desktop(root):
    data = os.path.join(root, "data")
    write(os.path.join(data, "applications", "org.example.E2E.desktop"),
          "[Desktop Entry]\nType=Application\nName=E2E Editor\nExec=true\nIcon=e2e-editor\n")
    write(os.path.join(data, "applications", "org.example.Vector.desktop"),
          "[Desktop Entry]\nType=Application\nName=Vector\nExec=true\nIcon=e2e-vector\n")
    hicolor = os.path.join(data, "icons", "hicolor")
    write(os.path.join(hicolor, "index.theme"),
          "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,scalable/apps\n\n"
          "[48x48/apps]\nSize=48\nType=Threshold\n\n"
          "[scalable/apps]\nSize=128\nType=Scalable\n")
    write(os.path.join(hicolor, "48x48", "apps", "e2e-editor.png"),
          png_bytes(48, 48, (200, 30, 30, 255)))
    write(os.path.join(hicolor, "scalable", "apps", "e2e-vector.svg"),
          '<svg xmlns="http://www.w3.org/2000/svg" width="100" height="40">'
          '<rect width="100" height="40" fill="#2080ff"/></svg>\n')
    return data


def check_png_32(data, what):
    assert isinstance(data, bytes), "%s: expected bytes, got %r" % (what, type(data))
    assert data[:8] == b"\x89PNG\r\n\x1a\n", what + ": not a PNG"
    assert data[12:16] == b"IHDR", what + ": no IHDR first"
    width, height = struct.unpack(">II", data[16:24])
    assert (width, height) == (32, 32), "%s: %dx%d" % (what, width, height)


def wait_for(predicate, what):
    end = time.monotonic() + DEADLINE
    while time.monotonic() < end:
        if predicate():
            return
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


def main():
    quillmoss = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="qm-host-e2e-") as root:
        runtime = os.path.join(root, "run")
        os.mkdir(runtime, 0o700)
        home = os.path.join(root, "home")
        os.mkdir(home)
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_DATA_HOME": make_desktop(root),
            "XDG_DATA_DIRS": os.path.join(root, "nothing"),
            "XDG_CONFIG_HOME": os.path.join(root, "config"),
            "LANG": "C",
        }
        for key in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if key in os.environ:
                env[key] = os.environ[key]
        host = subprocess.Popen([quillmoss], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        try:
            path = os.path.join(runtime, "quillmoss", "engine.sock")
            wait_for(lambda: os.path.exists(path) or host.poll() is not None, "the socket")
            assert host.poll() is None, "host ended early with %r" % host.returncode
            client = channel_client.Client(path, timeout=DEADLINE)

            now = time.time()
            assert client.call(MENU_BAR, "startTimer",
                               {"startedAt": now - 65.5, "peopleStudying": 3}) is None
            assert client.call(MENU_BAR, "updatePeople", {"peopleStudying": 5}) is None
            assert client.call(MENU_BAR, "startTimer", {"startedAt": int(now)}) is None
            assert client.call(MENU_BAR, "stopTimer") is None
            assert client.call(MENU_BAR, "stopTimer") is None
            assert client.call(MENU_BAR, "resetTimer") is NOT_IMPLEMENTED
            assert host.poll() is None, "the host quit while its window was shown"

            assert client.call(USAGE, "getAppName", {"bundleId": "org.example.E2E"}) == \
                "E2E Editor"
            assert client.call(USAGE, "getAppName",
                               {"bundleId": "org.example.E2E#example.com"}) == "example.com"
            assert client.call(USAGE, "getAppName", {"bundleId": "org.example.E2E#"}) == ""
            assert client.call(USAGE, "getAppName", {"bundleId": "org.example.None"}) is None
            check_png_32(client.call(USAGE, "getAppIcon", {"bundleId": "org.example.E2E"}),
                         "PNG icon")
            check_png_32(client.call(USAGE, "getAppIcon",
                                     {"bundleId": "org.example.E2E#example.com"}), "tab icon")
            check_png_32(client.call(USAGE, "getAppIcon", {"bundleId": "#org.example.Vector"}),
                         "SVG icon")
            assert client.call(USAGE, "getAppIcon", {"bundleId": "org.example.None"}) is None
            client.sock.close()

            host.send_signal(signal.SIGTERM)
            out, err = host.communicate(timeout=DEADLINE)
            assert host.returncode == 0, "exit status %r, stderr %r" % (host.returncode, err)
            assert out == b"" and err == b"", "the host printed: %r %r" % (out, err)
        finally:
            if host.poll() is None:
                host.kill()
                host.wait()
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
