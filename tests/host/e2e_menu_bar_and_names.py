#!/usr/bin/env python3
"""The real quillmoss through its socket: the menu bar channel, names and icons of installed
applications; SIGTERM ends it with status 0 and no output.
usage: e2e_menu_bar_and_names.py PATH_TO_QUILLMOSS"""
import os
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from channel_client import NOT_IMPLEMENTED  # noqa: E402
from host_run import MENU_BAR, USAGE, Host, png_bytes, private_env, write  # noqa: E402


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


def main(quillmoss):
    with tempfile.TemporaryDirectory(prefix="qm-host-e2e-") as root:
        env = private_env(root)
        make_desktop(env["XDG_DATA_HOME"])
        with Host(quillmoss, env) as host:
            now = time.time()
            for method, arguments, reply in (
                    ("startTimer", {"startedAt": now - 65.5, "peopleStudying": 3}, None),
                    ("updatePeople", {"peopleStudying": 5}, None),
                    ("startTimer", {"startedAt": int(now)}, None),
                    ("stopTimer", None, None),
                    ("stopTimer", None, None),
                    ("resetTimer", None, NOT_IMPLEMENTED)):
                assert host.call(MENU_BAR, method, arguments) is reply, method
            assert host.process.poll() is None, "the host quit while its window was shown"

            for key, name in (("org.example.E2E", "E2E Editor"),
                              ("org.example.E2E#example.com", "example.com"),
                              ("org.example.E2E#", ""), ("org.example.None", None)):
                assert host.call(USAGE, "getAppName", {"bundleId": key}) == name, key
            for key in ("org.example.E2E", "org.example.E2E#example.com", "#org.example.Vector"):
                check_png_32(host.call(USAGE, "getAppIcon", {"bundleId": key}), key)
            assert host.call(USAGE, "getAppIcon", {"bundleId": "org.example.None"}) is None
            host.stop()
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
