#!/usr/bin/env python3
"""Footprint of the real tracker on headless sway (as an unprivileged user under root), with
foot clients: a focus switch every 5 s for a while, then two quiet minutes; the same figures as
footprint.py. Sway without input devices cannot be given input, so past five minutes the user
counts as idle (segments stop, the rest of the work stays the same).
    sway_footprint.py TRACKER MINUTES"""

import os
import signal
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
from footprint import measure, report  # noqa: E402
from sway_private_session import PrivateSway  # noqa: E402


def main(tracker, minutes):
    apps = ("alpha", "beta", "gamma")
    with PrivateSway() as sway:
        placed = sway.place(tracker, "QuillmossTracker")
        for app in apps:
            sway.open_app(app)
        # The session's own home and data folders.
        daemon = sway.spawn([placed])
        m = measure(daemon, lambda n: sway.activate(apps[n % len(apps)]), None, minutes,
                    sway.root, threads=True)
        daemon.send_signal(signal.SIGTERM)
        daemon.wait(10)
    return report(tracker, m, "all threads, GDBus's worker included; one idle notice 5 s after "
                  "the last input")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    sys.exit(main(os.path.abspath(sys.argv[1]), float(sys.argv[2])))
