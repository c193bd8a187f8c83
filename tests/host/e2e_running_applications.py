#!/usr/bin/env python3
"""The real quillmoss on a private X display names a running application without a desktop
entry by its window's title and shows the window's icon, also when the window gives it only as
a WM_HINTS pixmap; installed entries still win. Names keep coming after the X server is
replaced under the host, and a server that stops answering does not stop the host.
usage: e2e_running_applications.py PATH_TO_QUILLMOSS PATH_TO_X11_TEST_CLIENT"""
import os
import signal
import struct
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "scripts")]
from e2e_menu_bar_and_names import check_png_32, make_desktop  # noqa: E402
from host_run import USAGE, Host, private_env, skip_unless  # noqa: E402
from x11_private_session import PrivateX, wait_until  # noqa: E402

BLACK, WHITE, BLUE, CLEAR = (0, 0, 0, 255), (255, 255, 255, 255), (0, 0, 255, 255), None


def rgba_rows(png):
    """The rows of RGBA tuples of an 8-bit RGBA PNG without interlacing."""
    width, height, depth, colour = struct.unpack(">IIBB", png[16:26])
    assert (depth, colour) == (8, 6), "not 8-bit RGBA"
    at, data = 8, b""
    while at < len(png):
        length, kind = struct.unpack(">I4s", png[at:at + 8])
        data += png[at + 8:at + 8 + length] if kind == b"IDAT" else b""
        at += 12 + length
    raw, stride, rows, previous = zlib.decompress(data), width * 4, [], bytes(width * 4)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a, b = line[i - 4] if i >= 4 else 0, previous[i]
            c = previous[i - 4] if i >= 4 else 0
            p = a + b - c
            paeth = min((abs(p - a), 0, a), (abs(p - b), 1, b), (abs(p - c), 2, c))[2]
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth)[kind]) & 0xFF
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        previous = bytes(line)
    return rows


def main(quillmoss, test_client):
    skip_unless(x=True)
    with tempfile.TemporaryDirectory(prefix="qm-host-x11-") as root, PrivateX(test_client) as x:
        env = dict(private_env(root), DISPLAY=x.display)
        make_desktop(env["XDG_DATA_HOME"])
        # A window of an application that has no desktop entry, with a 2 x 1 icon.
        window = x.open_window("e2etool", "E2eTool", "Tool Window")
        x.run(["xprop", "-id", str(window), "-f", "_NET_WM_ICON", "32c", "-set",
               "_NET_WM_ICON", "2,1,0xffff0000,0xff0000ff"])
        # Icons given only as WM_HINTS pixmaps, as Xaw programs (xcalc) give them: a bitmap
        # with a mask over its bottom half, and one of the screen's depth.
        x.open_window("bitmapped", "Bitmapped", "Bitmapped", "--pixmap-icon", "bitmap")
        painted = x.open_window("painted", "Painted", "Painted", "--pixmap-icon", "colour")
        with Host(quillmoss, env) as host:
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
                icon = host.call(USAGE, "getAppIcon", {"bundleId": key})
                check_png_32(icon, key)
                rows = rgba_rows(icon)
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
            host.stop()
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
