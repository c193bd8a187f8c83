#!/usr/bin/env python3
"""The main job's embedded default for a machine without a display: a private Xvfb with
openbox, three small applications, a scripted half minute of window switches with a short
screen lock, the real tracker recording it; then the host on the same display, and the day
report made through it (a text summary, and an HTML page in WORK_DIR).
    demo_session.py BUNDLE_CONTENTS CLIENT WORK_DIR"""

import os
import shutil
import signal
import struct
import subprocess
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from host_socket import answers, first_line, socket_path  # noqa: E402
from usage_report import days_in  # noqa: E402
from x11_private_session import PrivateX, wait_until  # noqa: E402

# Desktop entry id: (name, WM_CLASS, icon colour)
ENTRIES = {
    "org.example.Editor": ("Editor", "editor", (214, 92, 52)),
    "org.example.Terminal": ("Terminal", "terminal", (46, 52, 64)),
}


def icon_png(rgb, size=48):
    """A square tile of the colour with a light inner square: enough to tell icons apart."""
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload +
                struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))
    rows = b""
    for y in range(size):
        inner = size // 4 <= y < size * 3 // 4
        rows += b"\x00" + b"".join(
            bytes((240, 240, 240, 255) if inner and size // 4 <= x < size * 3 // 4 else
                  (*rgb, 255)) for x in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def private_folders(work):
    """Everything the session's programs (openbox included) keep lives under WORK_DIR."""
    home = os.path.join(work, "home")
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=os.path.join(work, "run"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"),
               XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"),
               XDG_STATE_HOME=os.path.join(home, ".local", "state"))
    for name in ("XDG_DATA_DIRS", "XDG_CONFIG_DIRS", "DISPLAY", "WAYLAND_DISPLAY",
                 "DBUS_SESSION_BUS_ADDRESS"):
        env.pop(name, None)
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
    data_home = env["XDG_DATA_HOME"]
    icons = os.path.join(data_home, "icons", "hicolor")
    os.makedirs(os.path.join(data_home, "applications"))
    os.makedirs(os.path.join(icons, "48x48", "apps"))
    with open(os.path.join(icons, "index.theme"), "w") as f:
        f.write("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n"
                "[48x48/apps]\nSize=48\nType=Threshold\n")
    for entry_id, (name, wm_class, colour) in ENTRIES.items():
        with open(os.path.join(data_home, "applications", entry_id + ".desktop"), "w") as f:
            f.write(f"[Desktop Entry]\nType=Application\nName={name}\nExec={wm_class}\n"
                    f"StartupWMClass={wm_class}\nIcon=demo-{wm_class}\n")
        with open(os.path.join(icons, "48x48", "apps", f"demo-{wm_class}.png"), "wb") as f:
            f.write(icon_png(colour))
    return env


def make_report(x, contents, env, day, page):
    """Starts the host on the session's display, has quillmoss-report draw the day through
    it, then ends the host. Returns the report's exit status."""
    output = os.path.join(os.path.dirname(page), "host-output")
    with open(output, "wb") as out:
        host = x.spawn([os.path.join(contents, "MacOS", "quillmoss")],
                       env=dict(env, DISPLAY=x.display), stdin=subprocess.DEVNULL, stderr=out)
    print(f"The host quillmoss (PID {host.pid}) serves the day on display {x.display}.",
          flush=True)
    sock = socket_path(env)
    wait_until(lambda: host.poll() is not None or answers(sock), 30, 0.05, "the host")
    if host.poll() is not None:
        print(f"The host ended at start with status {host.returncode}: {first_line(output)}",
              file=sys.stderr)
        return 1
    report = subprocess.run([os.path.join(contents, "Helpers", "quillmoss-report"), day,
                             "--out", page], env=env, stdin=subprocess.DEVNULL, timeout=120)
    host.send_signal(signal.SIGTERM)
    status = host.wait(10)
    if status != 0:
        print(f"The host ended with status {status}.", file=sys.stderr)
        return 1
    return report.returncode


def main(contents, client, work):
    shutil.rmtree(work, ignore_errors=True)
    env = private_folders(work)
    data_dir = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss", "usage")
    tracker = os.path.join(contents, "MacOS", "QuillmossTracker")

    start = time.monotonic()

    def say(text):
        print(f"  {time.monotonic() - start:5.1f} s  {text}", flush=True)

    print("Starting a private X server with openbox and three applications ...", flush=True)
    with PrivateX(client, env=env) as x:
        windows = {
            "Editor": x.open_window("editor", "Editor", "Editor"),
            "Terminal": x.open_window("terminal", "Terminal", "Terminal"),
            "Notes": x.open_window("notes", "Notes", "Notes"),
        }
        x.activate(windows["Editor"])
        tracker_output = os.path.join(work, "tracker-output")
        with open(tracker_output, "wb") as out:
            daemon = x.spawn([tracker], env=dict(env, DISPLAY=x.display), stderr=out)
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
        wait_until(lambda: daemon.poll() is not None or days_in(data_dir), 40, 0.1,
                   "the first flush tick")
        if daemon.poll() is not None:
            print(f"The tracker ended with status {daemon.returncode}: "
                  f"{first_line(tracker_output)}", file=sys.stderr)
            return 1
        say("first flush tick: the three day files are written")
        time.sleep(1)
        x.activate(windows["Terminal"])
        say("Terminal in front")
        time.sleep(1)
        say("SIGTERM to the tracker")
        daemon.send_signal(signal.SIGTERM)
        status = daemon.wait(10)
        if status != 0:
            print(f"The tracker ended with status {status}: {first_line(tracker_output)}",
                  file=sys.stderr)
            return 1
        print()
        status = make_report(x, contents, env, days_in(data_dir)[-1],
                             os.path.join(work, "report.html"))
    if status != 0:
        return status
    print()
    print("Editor and Terminal are named by their desktop entries (their IDs are the keys);")
    print("Notes has none, so the host names it by its running window.")
    print(f"Everything this session kept is under {work}.")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*(os.path.abspath(a) for a in sys.argv[1:])))
