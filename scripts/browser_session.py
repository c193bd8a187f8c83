"""Real web browsers for scripted runs, on a private X session (x11_private_session.py) with a
private session bus and the accessibility bus launcher of at-spi2-core, two pages served on
127.0.0.1 and localhost by a tiny HTTP server, and Firefox ESR and Chromium started with private
profiles and no network. A browser's tree is exposed only when asked for, as a user would:
Firefox by GNOME_ACCESSIBILITY=1, Chromium by ACCESSIBILITY_ENABLED=1 (its toolkit bridge) and
--force-renderer-accessibility (its pages). Every process it
starts is ended when the session closes."""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from x11_private_session import PrivateX, SessionError, wait_until  # noqa: E402,F401

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
PAGES = {"alpha.html": "Alpha", "beta.html": "Beta"}

# A quiet first start: no welcome or privacy pages, no updates, reports or remote settings.
FIREFOX_PREFS = {
    "browser.aboutwelcome.enabled": False,
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "browser.sessionstore.resume_from_crash": False,
    "browser.tabs.warnOnClose": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "datareporting.policy.firstRunURL": "",
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "app.normandy.enabled": False,
    "app.update.auto": False,
    "extensions.update.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
    "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False,
    "services.settings.server": "http://127.0.0.1:9/",
    "startup.homepage_welcome_url": "",
}
CHROMIUM_FLAGS = ["--no-first-run", "--no-default-browser-check", "--disable-gpu", "--disable-quic",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--password-store=basic"]


def missing_programs():
    wanted = ("firefox-esr", "chromium", "dbus-daemon", "dbus-send", LAUNCHER)
    return [p for p in wanted if shutil.which(p) is None]


class BrowserSession(PrivateX):
    def __init__(self, root, client_path=None, body=""):
        home = os.path.join(root, "home")
        os.makedirs(home, exist_ok=True)
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_CACHE_HOME=os.path.join(home, ".cache"), LC_ALL="C.UTF-8")
        # The runtime folder is the session's own: the accessibility bus and dconf write there.
        for name in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY",
                     "GNOME_ACCESSIBILITY", "ACCESSIBILITY_ENABLED", "XDG_RUNTIME_DIR"):
            env.pop(name, None)
        super().__init__(client_path, env)
        self.body = body  # more of each page, beyond its heading
        self.port = None

    def _start(self):
        super()._start()
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, text=True)
        address = bus.stdout.readline().strip()
        if not address:
            raise SessionError("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.spawn([LAUNCHER, "--launch-immediately"])
        wait_until(lambda: "string" in self.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], check=False), 10, 0.05, "the accessibility bus")
        self._serve_pages()

    def _serve_pages(self):
        folder = os.path.join(self.root, "pages")
        os.makedirs(folder, exist_ok=True)
        for name, title in PAGES.items():
            with open(os.path.join(folder, name), "w") as f:
                f.write(f"<!doctype html><title>{title}</title><h1>{title}</h1>{self.body}\n")
        server = self.spawn([sys.executable, "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                             "--directory", folder], stdout=subprocess.PIPE, text=True)
        line = server.stdout.readline()  # "Serving HTTP on 127.0.0.1 port N (...) ..."
        if " port " not in line:
            raise SessionError("the page server did not start")
        self.port = int(line.split(" port ")[1].split()[0])

    def pages(self):
        """The two pages, one per host."""
        return [f"http://127.0.0.1:{self.port}/alpha.html",
                f"http://localhost:{self.port}/beta.html"]

    def start_firefox(self, exposed=True):
        profile = os.path.join(self.root, "firefox-profile")
        os.makedirs(profile, exist_ok=True)
        with open(os.path.join(profile, "user.js"), "w") as f:
            for key, value in FIREFOX_PREFS.items():
                text = ("true" if value else "false") if isinstance(value, bool) else f'"{value}"'
                f.write(f'user_pref("{key}", {text});\n')
        env = dict(self.env, GNOME_ACCESSIBILITY="1") if exposed else self.env
        self.spawn(["firefox-esr", "--no-remote", "--profile", profile, *self.pages()], env=env)

    def start_chromium(self, exposed=True):
        flags = CHROMIUM_FLAGS + ["--user-data-dir=" + os.path.join(self.root, "chromium-profile")]
        if os.geteuid() == 0:
            flags.append("--no-sandbox")  # Chromium refuses to run as root with its sandbox
        env = self.env
        if exposed:
            # The toolkit bridge, and then the pages' own tree.
            env = dict(env, ACCESSIBILITY_ENABLED="1")
            flags.append("--force-renderer-accessibility")
        self.spawn(["chromium", *flags, *self.pages()], env=env)

    def window_named(self, prefix, timeout=30):
        """The window whose title starts with prefix, once there is one."""
        def find():
            out = self.run(["xdotool", "search", "--onlyvisible", "--name", "^" + prefix],
                           check=False).split()
            return int(out[0]) if out else 0
        return wait_until(find, timeout, 0.1, f"a window named {prefix}")

    def title(self, window):
        return self.run(["xdotool", "getwindowname", str(window)], check=False).strip()

    def next_tab(self, window, prefix):
        """Shows the window's next tab; the instant its title started with prefix."""
        before = time.time()
        self.run(["xdotool", "key", "--clearmodifiers", "ctrl+Next"])
        wait_until(lambda: self.title(window).startswith(prefix), 10, 0.02,
                   f"the tab {prefix} to show")
        return (before + time.time()) / 2
