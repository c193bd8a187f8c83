#!/usr/bin/env python3
"""The real quillmoss on a private X display names a running application without a desktop
entry by its window's title and shows the window's icon; installed entries still win.
usage: e2e_running_applications.py PATH_TO_QUILLMOSS PATH_TO_X11_TEST_CLIENT"""
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "scripts")]
from e2e_menu_bar_and_names import check_png_32, make_desktop  # noqa: E402
from host_run import USAGE, Host, private_env, skip_unless  # noqa: E402
from x11_private_session import PrivateX  # noqa: E402


def main(quillmoss, test_client):
    skip_unless(x=True)
    with tempfile.TemporaryDirectory(prefix="qm-host-x11-") as root, PrivateX(test_client) as x:
        env = dict(private_env(root), DISPLAY=x.display)
        make_desktop(env["XDG_DATA_HOME"])
        # A window of an application that has no desktop entry, with a 2 x 1 icon.
        window = x.open_window("e2etool", "E2eTool", "Tool Window")
        x.run(["xprop", "-id", str(window), "-f", "_NET_WM_ICON", "32c", "-set",
               "_NET_WM_ICON", "2,1,0xffff0000,0xff0000ff"])
        with Host(quillmoss, env) as host:
            assert host.call(USAGE, "getAppName", {"bundleId": "E2eTool"}) == "Tool Window"
            check_png_32(host.call(USAGE, "getAppIcon", {"bundleId": "E2eTool#example.org"}),
                         "window icon")
            # Installed and not running: still the entry's name.
            assert host.call(USAGE, "getAppName", {"bundleId": "org.example.E2E"}) == "E2E Editor"
            assert host.call(USAGE, "getAppName", {"bundleId": "e2etool"}) is None
            host.stop()
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
