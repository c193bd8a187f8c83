#!/usr/bin/env python3
"""The main job's embedded default for a machine without a display: a private Xvfb with
openbox, three small applications, a scripted half minute of window switches with a short
screen lock, the real tracker recording it, then the report of what it recorded.
    demo_session.py TRACKER CLIENT WORK_DIR"""

import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from usage_report import days_in, report  # noqa: E402
from x11_private_session import PrivateX, wait_until  # noqa: E402

ENTRIES = {
    "org.example.Editor": ("Editor", "editor"),
    "org.example.Terminal": ("Terminal", "terminal"),
}


def main(tracker, client, work):
    shutil.rmtree(work, ignore_errors=True)
    home = os.path.join(work, "home")
    data_home = os.path.join(home, ".local", "share")
    runtime = os.path.join(work, "run")
    os.makedirs(os.path.join(data_home, "applications"))
    os.makedirs(runtime, mode=0o700)
    for entry_id, (name, wm_class) in ENTRIES.items():
        with open(os.path.join(data_home, "applications", entry_id + ".desktop"), "w") as f:
            f.write(f"[Desktop Entry]\nType=Application\nName={name}\nExec={wm_class}\n"
                    f"StartupWMClass={wm_class}\n")
    data_dir = os.path.join(data_home, "com.velbrook.quillmoss", "usage")
    tracker_env = dict(os.environ, HOME=home, XDG_DATA_HOME=data_home, XDG_RUNTIME_DIR=runtime)
    tracker_env.pop("XDG_DATA_DIRS", None)

    start = time.monotonic()

    def say(text):
        print(f"  {time.monotonic() - start:5.1f} s  {text}", flush=True)

    print("Starting a private X server with openbox and three applications ...", flush=True)
    with PrivateX(client) as x:
        windows = {
            "Editor": x.open_window("editor", "Editor", "Editor"),
            "Terminal": x.open_window("terminal", "Terminal", "Terminal"),
            "Notes": x.open_window("notes", "Notes", "Notes"),
        }
        x.activate(windows["Editor"])
        daemon = x.spawn([tracker], env=dict(tracker_env, DISPLAY=x.display))
        start = time.monotonic()
        print(f"QuillmossTracker (PID {daemon.pid}) records display {x.display}:", flush=True)
        say("Editor in front")
        script = [(3, "Terminal"), (3, "Editor"), (2, "Notes"), (3, "Terminal"), (2, "Editor")]
        for pause, name in script:
            time.sleep(pause)
            x.activate(windows[name])
            x.touch_input()
            say(f"{name} in front")
        time.sleep(3)
        x.lock()
        say("screen locked: nothing is credited")
        time.sleep(1)
        x.activate(windows["Notes"])
        say("Notes brought to the front behind the lock")
        time.sleep(3)
        x.unlock()
        say("screen unlocked, Notes in front")
        # Activity is sampled at the flush tick, 30 s after the tracker started.
        wait_until(lambda: days_in(data_dir), 40, 0.1, "the first flush tick")
        say("first flush tick: the three day files are written")
        time.sleep(1)
        x.activate(windows["Terminal"])
        say("Terminal in front")
        time.sleep(1)
        say("SIGTERM to the tracker")
        daemon.send_signal(signal.SIGTERM)
        status = daemon.wait(10)
        if status != 0:
            print(f"The tracker ended with status {status}.", file=sys.stderr)
            return 1

    print()
    print(report(data_dir, days_in(data_dir)[-1]))
    print()
    print("Names: Editor and Terminal are known by their desktop entries (their IDs are the keys);")
    print("Notes has none, so its WM_CLASS names it.")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*(os.path.abspath(a) for a in sys.argv[1:])))
