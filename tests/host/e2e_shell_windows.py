#!/usr/bin/env python3
"""The real quillmoss in a KDE or GNOME Wayland session (a display that lists no toplevels, a
stand-in KWin or GNOME Shell extension on a private bus) names a running application without a
desktop entry by its first window's title, and follows a new title; KWin's script comes from
the bundle and is unloaded at exit.
usage: e2e_shell_windows.py PATH_TO_QUILLMOSS PATH_TO_BARE_COMPOSITOR kwin|gnome"""
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "support"),
                os.path.join(HERE, "..", "tracker", "platform", "linux", "wayland")]
from host_run import USAGE, Host, private_env  # noqa: E402
from tracker_run import expect, say  # noqa: E402
from wayland_e2e import ShellSession  # noqa: E402


def main(quillmoss, bare, kind):
    with ShellSession(bare, kind, []) as session, \
            tempfile.TemporaryDirectory(prefix="qm-host-shell-") as root:
        env = dict(private_env(root), **session.env)
        with Host(quillmoss, env) as host:
            name = lambda key: host.call(USAGE, "getAppName", {"bundleId": key})  # noqa: E731
            assert name("e2etool") == "Tool Window", name("e2etool")
            if kind == "kwin":
                load = expect(session.fake, "loadScript").split()
                assert load[1].endswith("kwin/quillmoss-windows.js") and os.path.isfile(load[1])
                expect(session.fake, "listed")
            say(session.fake, "retitle", "listed")
            assert name("e2etool") == "Renamed", name("e2etool")
            host.stop()
        if kind == "kwin":
            session.fake.stdin.close()  # the stand-in ends: what it heard is all there is
            expect(session.fake, "unloadScript quillmoss-windows")
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
