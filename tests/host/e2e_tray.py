#!/usr/bin/env python3
"""The focus timer in a real panel: waybar on headless sway (as an unprivileged user) hosts the
item the real host publishes while the timer runs. grim's screenshots show the product's teal
icon in the bar while it runs, not before or after; the item's label holds the time and the
people; a click (Activate, as waybar sends it) writes today's report through the host and opens
it with the desktop's handler for HTML pages, through xdg-open. The screenshot with the icon is
kept in OUT_FOLDER. Exits 77 when sway, waybar, grim or dbus-daemon is missing.
usage: e2e_tray.py BUNDLE_CONTENTS OUT_FOLDER"""
import json
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "scripts")]
from host_run import private_env, wait_until, write  # noqa: E402
from png_image import pixels  # noqa: E402
from sway_private_session import PrivateSway  # noqa: E402

BAR_HEIGHT = 30
WATCHER = "org.kde.StatusNotifierWatcher"


def teal_pixels(png):
    """The pixels of the icon's tile colours (#2b9e96 to #176d68) in a screenshot."""
    return sum(1 for row in pixels(png) for p in row
               if p[1] - p[0] > 50 and p[2] - p[0] > 45 and abs(p[1] - p[2]) < 30)


def prepare(sway, contents):
    """A copy of the host's part of the bundle, a home whose handler of HTML pages records what
    it is given, and waybar's configuration."""
    bundle = os.path.join(sway.root, "bundle")
    for part in ("MacOS/quillmoss", "Helpers/quillmoss-report", "Helpers/quillmoss-call",
                 "Resources/icons"):
        source, target = os.path.join(contents, part), os.path.join(bundle, part)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        (shutil.copytree if os.path.isdir(source) else shutil.copy2)(source, target)
    home = os.path.join(sway.root, "home")
    env = dict(private_env(home), XDG_RUNTIME_DIR=sway.runtime)
    write(os.path.join(home, "recorder"), "#!/bin/sh\necho \"$1\" >> %s/opened\n" % home)
    os.chmod(os.path.join(home, "recorder"), 0o755)
    write(os.path.join(env["XDG_DATA_HOME"], "applications", "recorder.desktop"),
          "[Desktop Entry]\nType=Application\nName=Recorder\nExec=%s/recorder %%f\n" % home)
    write(os.path.join(env["XDG_CONFIG_HOME"], "mimeapps.list"),
          "[Default Applications]\ntext/html=recorder.desktop\n")
    write(os.path.join(home, "bar.json"), json.dumps(
        {"height": BAR_HEIGHT, "modules-left": ["tray"], "tray": {"icon-size": 22}}))
    write(os.path.join(home, "bar.css"), "window#waybar { background: #303030; }\n")
    sway.give(sway.root)
    return bundle, home, env


def main(contents, out_folder):
    missing = [t for t in ("sway", "waybar", "grim", "dbus-daemon", "gdbus") if not shutil.which(t)]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        sys.exit(77)
    with PrivateSway(with_bus=True) as sway:
        bundle, home, env = prepare(sway, contents)
        width = json.loads(sway.run(["swaymsg", "-t", "get_outputs", "--raw"]))[0]["rect"]["width"]
        shot = os.path.join(home, "bar.png")

        def bar():
            sway.run(["grim", "-g", "0,0 %dx%d" % (width, BAR_HEIGHT), shot])
            shutil.copy(shot, out_folder)  # the last one stays, after a failure too
            with open(shot, "rb") as f:
                return f.read()

        def gdbus(destination, path, method, *args):
            return sway.run(["gdbus", "call", "--session", "--dest", destination, "--object-path",
                             path, "--method", method, *args], check=False)

        def items():
            return gdbus(WATCHER, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
                         WATCHER, "RegisteredStatusNotifierItems")

        def menu_bar(method, arguments=None, check=True):
            """quillmoss-call as the session's user: the host answers only its own user."""
            return sway.run([os.path.join(bundle, "Helpers", "quillmoss-call"), "menu_bar", method]
                            + ([json.dumps(arguments)] if arguments else []), check=check)

        sway.spawn(["waybar", "-c", os.path.join(home, "bar.json"), "-s",
                    os.path.join(home, "bar.css")], env=dict(sway.env, HOME=home))
        wait_until(lambda: "[" in items(), 20, 0.1, "waybar's tray")
        sway.spawn([os.path.join(bundle, "MacOS", "quillmoss")], env=dict(sway.env, **env))
        wait_until(lambda: menu_bar("stopTimer", check=False) == "null\n", 30, 0.05, "the host")
        assert teal_pixels(bar()) == 0, "teal in the bar before the timer runs"

        started = time.time()
        menu_bar("startTimer", {"startedAt": time.time() - 65.0, "peopleStudying": 3})
        wait_until(lambda: teal_pixels(bar()) > 100, 20, 0.2, "the icon in the bar")
        print("icon in the bar %.1f s after startTimer" % (time.time() - started))
        shutil.copy(shot, os.path.join(out_folder, "tray-in-waybar.png"))
        item = items().split("'")[1].split("/")[0]  # waybar adds the object's path
        label = gdbus(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get",
                      "org.kde.StatusNotifierItem", "XAyatanaLabel")
        assert "\u23f1 01:0" in label and "\U0001f465 3" in label, label

        gdbus(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", "0", "0")
        opened = os.path.join(home, "opened")
        wait_until(lambda: os.path.exists(opened), 20, 0.05, "the report to open")
        with open(opened) as f:
            page = f.read().strip()
        assert page == os.path.join(env["XDG_CACHE_HOME"], "com.velbrook.quillmoss", "today.html")
        with open(page) as f:
            assert "<html" in f.read(), "not a report page"

        menu_bar("stopTimer")
        wait_until(lambda: "StatusNotifierItem-" not in items(), 20, 0.05, "the item to go")
        wait_until(lambda: teal_pixels(bar()) == 0, 20, 0.2, "the icon to leave the bar")


if __name__ == "__main__":
    os.makedirs(sys.argv[2], exist_ok=True)
    main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
