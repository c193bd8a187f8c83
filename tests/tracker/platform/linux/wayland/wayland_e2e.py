#!/usr/bin/env python3
"""End-to-end runs of the real QuillmossTracker and host in Wayland sessions.
    wayland_e2e.py TRACKER BARE_COMPOSITOR sway|no-session|kwin|gnome
    wayland_e2e.py PROBE BARE_COMPOSITOR running-apps   (the host's running applications)
sway: headless sway with foot clients, a stand-in screen saver on a private session bus. kwin,
gnome: the shell mechanisms against stand-ins on a private session bus, and a stand-in logind on
a second bus. no-session: no display, one that cannot be reached, one without a mechanism."""

import glob
import os
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "..", "support"))
from tracker_run import (GAMMA, after, check_run, expect, private_bus,  # noqa: E402
                         refuses_to_start, say, stand_in, start_tracker, stop_silently,
                         write_home)
from private_session import PrivateSession  # noqa: E402
from sway_private_session import PrivateSway  # noqa: E402

# The tracker believes "no application in front" only once it lasted this long.
NONE_DEBOUNCE = 0.25
FAKES = os.path.join(HERE, "fake_services.py")


def sway_session(tracker, *_):
    with PrivateSway(with_bus=True) as sway:
        tracker = sway.place(tracker, "QuillmossTracker")
        saver = stand_in(sway.spawn, sway.place(FAKES, "fake_services.py"), "screensaver")
        env, data_dir = write_home(sway.root)
        sway.give(sway.root)
        sway.workspace("3", None)
        sway.open_app("delta")  # alone on its workspace
        sway.workspace("1", None)
        for app in ("beta", "gamma-app", "alpha"):
            sway.open_app(app)
        daemon = start_tracker(sway.spawn, tracker, dict(sway.env, **env))
        begin = time.time()
        t = after(2.0, sway.activate, "gamma-app")
        # An empty workspace: no application in front, once that lasts past the debounce.
        none = after(2.0, sway.workspace, "2", None) + NONE_DEBOUNCE
        t3 = after(1.5, sway.workspace, "1", "gamma-app")
        t4 = after(1.5, sway.activate, "beta")
        # Locked: nothing is credited, even when the focus moves behind the lock.
        lock_start = after(1.5, say, saver, "lock", "lock")[0]
        after(1.0, sway.activate, "alpha")
        lock_end = after(1.0, say, saver, "unlock", "unlock")[0]
        # The last window of a workspace closes: from then on no application is in front.
        t5 = after(1.5, sway.workspace, "3", "delta")
        closed = after(1.5, sway.close_app, "delta") + NONE_DEBOUNCE
        stop = after(1.5, time.time)
        stop_silently(daemon)
        check_run(data_dir, [("alpha", begin, t), (GAMMA, t, none), (GAMMA, t3, t4),
                             ("beta", t4, lock_start), ("alpha", lock_end, t5),
                             ("delta", t5, closed)],
                  [(none, t3), (lock_start, lock_end), (closed, stop)])


def running_apps(probe, *_):
    with PrivateSway() as sway:
        probe = sway.place(probe, "probe")
        env, _ = write_home(sway.root)
        sway.give(sway.root)
        for app, title in (("alpha", "Alpha one"), ("gamma-app", "Gamma's window"),
                           ("alpha", "Alpha two")):
            sway.open_app(app, title)
        out = sway.spawn([probe], env=dict(sway.env, **env), stdout=subprocess.PIPE, text=True)
        rows = sorted(line.split("\t") for line in out.communicate(timeout=20)[0].splitlines())
    # One row per application; alpha is named by one of its windows' titles, Gamma by its
    # entry, which also gives it an icon.
    assert len(rows) == 2 and rows[0][0] == "alpha" and rows[0][1] in ("Alpha one", "Alpha two") \
        and rows[0][2] == "-" and rows[1] == [GAMMA, "Gamma", "icon"], f"rows {rows}"


class ShellSession(PrivateSession):
    """The bare compositor and, for a shell, a private session bus with the stand-in shell and a
    second private bus with a stand-in logind, as the current user."""

    def __init__(self, bare, kind=None, first=()):
        super().__init__({"PATH": os.environ.get("PATH", "/usr/bin:/bin")})
        self.env["XDG_RUNTIME_DIR"] = self.root  # private (0700)
        self.bare, self.kind, self.first = bare, kind, first

    def _start(self):
        self.compositor = self.spawn([self.bare, "wayland-qm"])
        assert self.compositor.stdout.readline().strip() == "ready", "the bare compositor"
        if self.kind is None:
            return
        self.env["WAYLAND_DISPLAY"] = "wayland-qm"
        for variable, service, args in (
                ("DBUS_SESSION_BUS_ADDRESS", "fake", [self.kind, *self.first]),
                ("DBUS_SYSTEM_BUS_ADDRESS", "logind", ["logind"])):
            self.env[variable] = private_bus(self.spawn)[1]
            setattr(self, service, stand_in(self.spawn, FAKES, *args))

    def spawn(self, args, **kwargs):
        return super().spawn(args, **{"stdout": subprocess.PIPE, "text": True, **kwargs})


def no_session(tracker, bare, _):
    with ShellSession(bare) as session:
        env, data_dir = write_home(session.root)
        for display, says in (({}, "$WAYLAND_DISPLAY is not set"),
                              ({"WAYLAND_DISPLAY": "wayland-nowhere"}, "cannot be reached"),
                              ({"WAYLAND_DISPLAY": "wayland-qm"}, "wlr-foreign-toplevel")):
            refuses_to_start(tracker, dict(session.env, **env, **display), says, "$DISPLAY")
        # A compositor, then a session bus, that stopped answering are given up after a bounded
        # wait each.
        bus, address = private_bus(session.spawn)
        for stopped, display in ((session.compositor, {}),
                                 (bus, {"DBUS_SESSION_BUS_ADDRESS": address})):
            stopped.send_signal(signal.SIGSTOP)
            try:
                begin = time.monotonic()
                refuses_to_start(tracker, dict(session.env, **env, WAYLAND_DISPLAY="wayland-qm",
                                               **display), "$DISPLAY")
                assert time.monotonic() - begin < 10, f"{stopped.args[0]} was waited for too long"
            finally:
                stopped.send_signal(signal.SIGCONT)
        assert not glob.glob(os.path.join(data_dir, "*.json")), "day files without a session"


def shell_run(tracker, bare, kind):
    kwin = kind == "kwin"
    # The shell's words for the two applications ("-" is an empty field) and their keys.
    gamma_words = f"{GAMMA} gamma-app -" if kwin else f"{GAMMA}.desktop gamma-app 0"
    alpha_words, alpha = ("- alpha 4242", "alpha") if kwin else (
        "org.gnome.Alpha.desktop alpha 4242", "org.gnome.Alpha")
    verb, done = ("activate", "reported") if kwin else ("focus", "focus")
    with ShellSession(bare, kind, gamma_words.split()) as session:
        env, data_dir = write_home(session.root)
        daemon = start_tracker(session.spawn, tracker, dict(session.env, **env))
        if kwin:
            path = expect(session.fake, "loadScript").split()[1]
            # The tracker's own copy of its script: "setup" copies the tracker alone.
            assert path.endswith("kwin/quillmoss-activations.js") and os.path.isfile(path) \
                and "/Resources/" not in path, f"loaded {path!r}, not the tracker's own copy"
            expect(session.fake, "reported")
        else:
            expect(session.fake, "GetFocus")
        begin = time.time()
        t = after(1.5, say, session.fake, f"{verb} {alpha_words}", done)[0]
        if kwin:
            # Only KWin may speak for the window in front.
            _, line = say(session.fake, "spoof org.example.Evil evil 1", "re")
            assert line.startswith("refused"), f"a call from another connection: {line!r}"
        else:
            # Away past the idle threshold: the stretch that ends now counts, but not as a segment.
            say(session.fake, "idle 400000", "idle")
        none = after(1.5, say, session.fake, "none", done)[0] + NONE_DEBOUNCE
        time.sleep(1.5)
        if not kwin:
            say(session.fake, "idle 0", "idle")
        t3 = say(session.fake, f"{verb} {gamma_words}", done)[0]
        # logind says the session is locked: nothing is credited until it says unlocked.
        lock_start = after(1.5, say, session.logind, "lock", "lock")[0]
        lock_end = after(1.5, say, session.logind, "unlock", "unlock")[0]
        stop = after(1.0, time.time)
        stop_silently(daemon)
        if kwin:
            expect(session.fake, "unloadScript quillmoss-activations")
            assert not os.path.exists(os.path.dirname(path)), "the script's folder outlived it"
        check_run(data_dir, [(GAMMA, begin, t), (alpha, t, none), (GAMMA, t3, lock_start),
                             (GAMMA, lock_end, stop)], [(none, t3), (lock_start, lock_end)],
                  idle=() if kwin else (alpha,))


if __name__ == "__main__":
    program, bare, case = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    {"sway": sway_session, "running-apps": running_apps, "no-session": no_session,
     "kwin": shell_run, "gnome": shell_run}[case](program, bare, case)
