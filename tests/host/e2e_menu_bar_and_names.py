#!/usr/bin/env python3
"""The real quillmoss through its socket: the menu bar channel, names and icons of installed
applications, and a client that sends a heap of heavy calls and never reads its replies: it
costs the host a bounded amount of memory while another client is answered within a second.
SIGTERM then ends the host promptly with status 0 and no output.
usage: e2e_menu_bar_and_names.py PATH_TO_QUILLMOSS"""
import json
import os
import socket
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import channel_client  # noqa: E402
from channel_client import NOT_IMPLEMENTED  # noqa: E402
from host_run import MENU_BAR, USAGE, Host, png_bytes, private_env, write  # noqa: E402

DAY = "2026-03-04"
PEAK_LIMIT_MB = 256  # The unbounded host went past a gigabyte here.


def make_desktop(data):
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
    assert isinstance(data, bytes) and data[:8] == b"\x89PNG\r\n\x1a\n", what + ": not a PNG"
    assert struct.unpack(">II", data[16:24]) == (32, 32), what


def make_heavy_day(data):
    """About 220 KB of segments, and the day's usage."""
    folder = os.path.join(data, "com.velbrook.quillmoss", "usage")
    base = 1772600000.0
    segments = [["com.apple.Safari#example.org", base + i * 61, base + i * 61 + 60.5]
                for i in range(3400)]
    write(os.path.join(folder, "segments_%s.json" % DAY),
          json.dumps(segments, separators=(",", ":")))
    write(os.path.join(folder, "usage_%s.json" % DAY), '{"com.apple.Safari":12.5}')


def hostile_frames(calls=2000):
    message = bytearray()
    channel_client.write_value(message, "getSegments")
    channel_client.write_value(message, {"date": DAY})
    name = USAGE.encode()
    out = bytearray()
    for request_id in range(1, calls + 1):
        rest = struct.pack("<IH", request_id, len(name)) + name + bytes(message)
        out += struct.pack("<I", len(rest)) + rest
    return bytes(out)


def check_hostile_client(host, socket_path, quillmoss):
    hostile = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    hostile.connect(socket_path)
    hostile.setblocking(False)
    pending, sent, slowest = hostile_frames(), 0, 0.0
    end = time.monotonic() + 4.0
    while time.monotonic() < end:
        try:
            sent += hostile.send(pending[sent:sent + 65536])
        except BlockingIOError:
            pass
        start = time.monotonic()
        reply = host.call(USAGE, "getUsage", {"date": DAY})
        slowest = max(slowest, time.monotonic() - start)
        assert reply == {"com.apple.Safari": 12.5}, reply
    assert slowest < 1.0, "a call took %.2f s beside the hostile client" % slowest
    assert sent > 0
    with open(quillmoss, "rb") as f:  # The sanitizers' own memory would swamp the figure.
        if b"__asan_init" not in f.read():
            with open("/proc/%d/status" % host.process.pid) as status:
                peak = next(int(line.split()[1]) for line in status
                            if line.startswith("VmHWM:")) / 1024
            assert peak < PEAK_LIMIT_MB, peak
    hostile.close()


def main(quillmoss):
    with tempfile.TemporaryDirectory(prefix="qm-host-e2e-") as root:
        env = private_env(root)
        make_desktop(env["XDG_DATA_HOME"])
        make_heavy_day(env["XDG_DATA_HOME"])
        with Host(quillmoss, env) as host:
            for method, arguments, reply in (
                    ("startTimer", {"startedAt": time.time() - 65.5, "peopleStudying": 3}, None),
                    ("stopTimer", None, None),
                    ("resetTimer", None, NOT_IMPLEMENTED)):
                assert host.call(MENU_BAR, method, arguments) is reply, method
            assert host.process.poll() is None, "the host quit while its window was shown"

            for key, name in (("org.example.E2E", "E2E Editor"), ("org.example.None", None)):
                assert host.call(USAGE, "getAppName", {"bundleId": key}) == name, key
            for key in ("org.example.E2E", "#org.example.Vector"):
                check_png_32(host.call(USAGE, "getAppIcon", {"bundleId": key}), key)
            assert host.call(USAGE, "getAppIcon", {"bundleId": "org.example.None"}) is None

            check_hostile_client(
                host, os.path.join(env["XDG_RUNTIME_DIR"], "quillmoss", "engine.sock"), quillmoss)
            host.stop(timeout=2)
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
