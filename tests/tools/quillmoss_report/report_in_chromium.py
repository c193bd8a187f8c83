#!/usr/bin/env python3
"""The scripted session's report page in headless Chromium: no console message, nothing from
elsewhere, bar widths that follow shares, light, dark and narrow screenshots that are drawn and
follow the colour scheme. Exits 77 when Chromium or the X tools are missing.
usage: report_in_chromium.py --session BUNDLE_CONTENTS X11_TEST_CLIENT DEMO_SCRIPT WORK_DIR
       report_in_chromium.py --page REPORT_HTML WORK_DIR   (a page the main job made)"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "..", "support"),
                os.path.join(HERE, "..", "..", "..", "scripts")]
from png_image import pixels  # noqa: E402
from private_session import private_folders  # noqa: E402
from report_page_reader import Page  # noqa: E402


def chromium(page, root, *args):
    """One headless run in a fresh profile and private folders."""
    env = dict(os.environ, **private_folders(root))
    profile = tempfile.mkdtemp(dir=root, prefix="profile-")
    result = subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0",
         *args, "file://" + os.path.abspath(page)],
        env=env, capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, "chromium failed: " + result.stderr[-2000:]
    return result


def check_screenshot(path, dark):
    with open(path, "rb") as f:
        rows = pixels(f.read())
    background = rows[2][2][:3]
    lightness = sum(background) / 3
    assert (lightness < 80) if dark else (lightness > 200), \
        f"{path}: background {background} does not follow the {'dark' if dark else 'light'} scheme"
    sampled = [p[:3] for row in rows[::2] for p in row[::2]]
    drawn = sum(1 for p in sampled if max(abs(p[i] - background[i]) for i in range(3)) > 24)
    colours = len(set(sampled))
    assert drawn > len(sampled) // 50 and colours > 16, \
        f"{path}: looks blank ({drawn} of {len(sampled)} pixels drawn, {colours} colours)"


def check_page(page, shots):
    os.makedirs(shots, exist_ok=True)
    with open(page, encoding="utf-8") as f:
        raw = f.read()
    for outside in ("http://", "https://", "<script", "<link", "url("):
        assert outside not in raw, f"the page is not self-contained: it holds {outside!r}"
    with tempfile.TemporaryDirectory(prefix="qm-chromium-", ignore_cleanup_errors=True) as root:
        dumped = chromium(page, root, "--dump-dom")
        console = [line for line in dumped.stderr.splitlines() if ":CONSOLE" in line]
        assert not console, "console messages: " + "\n".join(console)
        dom = Page(dumped.stdout)
        tops = [r for r in dom.rows if not r["domain"]]
        assert len(tops) == 3, f"the session's page shows {len(tops)} applications, not 3"
        assert abs(sum(r["share"] for r in tops) - 1) < 1e-6, "shares do not add up to the day"
        for row in dom.rows:
            assert abs(row["share"] - row["seconds"] / dom.total) < 1e-9, row
            assert abs(row["width"] - 100 * row["share"]) < 0.001, f"bar width of {row}"
        for name, args, dark in (("light", ["--window-size=1100,800"], False),
                                 ("dark", ["--window-size=1100,800", "--force-dark-mode"], True),
                                 ("narrow", ["--window-size=400,900"], False)):
            shot = os.path.join(shots, f"report-{name}.png")
            chromium(page, root, "--screenshot=" + shot, "--hide-scrollbars", *args)
            check_screenshot(shot, dark)


def main(argv):
    if argv[1] == "--page":
        page, work = argv[2:]
    else:
        contents, client, demo, work = argv[2:]
        tools = ("chromium", "Xvfb", "openbox", "xdotool", "xprop", "xset")
        if any(shutil.which(t) is None for t in tools):
            print("skipped: chromium or the X tools are missing (scripts/install-deps --tests)")
            return 77
        session = subprocess.run([sys.executable, demo, contents, client, work],
                                 capture_output=True, text=True, timeout=180)
        assert session.returncode == 0, session.stdout + session.stderr
        page = os.path.join(work, "report.html")
    check_page(page, work)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
