#!/usr/bin/env python3
"""The scripted session's report page in headless Chromium: no console message, nothing from
elsewhere, bar widths that follow shares, light, dark and narrow screenshots that are drawn and
follow the colour scheme. Exits 77 when Chromium or the X tools are missing.
usage: report_in_chromium.py --session BUNDLE_CONTENTS X11_TEST_CLIENT DEMO_SCRIPT WORK_DIR
       report_in_chromium.py --page REPORT_HTML WORK_DIR   (a page the main job made)"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from report_page_reader import Page  # noqa: E402

SKIP = 77


def chromium(page, root, *args):
    """One headless run in a fresh profile and private folders."""
    env = dict(os.environ, HOME=os.path.join(root, "home"),
               XDG_CACHE_HOME=os.path.join(root, "cache"),
               XDG_CONFIG_HOME=os.path.join(root, "config"))
    profile = tempfile.mkdtemp(dir=root, prefix="profile-")
    result = subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0",
         *args, "file://" + os.path.abspath(page)],
        env=env, capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise AssertionError("chromium failed: " + result.stderr[-2000:])
    return result


def read_png(path):
    """(width, height, rows of RGB tuples) of an 8-bit RGB or RGBA non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and not interlace, f"{path}: unexpected PNG form"
    step = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b, c = previous[i], previous[i - step] if i >= step else 0
            if kind == 4:  # Paeth: ties go to a, then b
                guess = min((a, b, c), key=lambda v: abs(a + b - c - v))
            else:  # None, Sub, Up, Average
                guess = (0, a, b, (a + b) // 2)[kind]
            line[i] = (line[i] + guess) & 0xFF
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, step)])
        previous = line
    return width, height, rows


def check_screenshot(path, dark):
    width, height, rows = read_png(path)
    background = rows[2][2]
    lightness = sum(background) / 3
    assert (lightness < 80) if dark else (lightness > 200), \
        f"{path}: background {background} does not follow the {'dark' if dark else 'light'} scheme"
    pixels = [p for row in rows[::2] for p in row[::2]]
    drawn = sum(1 for p in pixels if max(abs(p[i] - background[i]) for i in range(3)) > 24)
    colours = len(set(pixels))
    assert drawn > len(pixels) // 50 and colours > 16, \
        f"{path}: looks blank ({drawn} of {len(pixels)} pixels drawn, {colours} colours)"


def check_page(page, shots):
    os.makedirs(shots, exist_ok=True)
    with open(page, encoding="utf-8") as f:
        raw = f.read()
    for outside in ("http://", "https://", "<script", "<link", "url("):
        assert outside not in raw, f"the page is not self-contained: it holds {outside!r}"
    root = tempfile.mkdtemp(prefix="qm-chromium-")
    try:
        dumped = chromium(page, root, "--dump-dom")
        console = [line for line in dumped.stderr.splitlines() if ":CONSOLE" in line]
        assert not console, "console messages: " + "\n".join(console)
        dom = Page(dumped.stdout)
        tops = [r for r in dom.rows if not r["domain"]]
        assert tops, "the browser shows no application"
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
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return len(tops)


def main(argv):
    if argv[1] == "--page":
        page, work = argv[2:]
    else:
        contents, client, demo, work = argv[2:]
        tools = ("chromium", "Xvfb", "openbox", "xdotool", "xprop", "xset")
        if any(shutil.which(t) is None for t in tools):
            print("skipped: chromium or the X tools are missing (scripts/install-deps)")
            return SKIP
        session = subprocess.run([sys.executable, demo, contents, client, work],
                                 capture_output=True, text=True, timeout=180)
        assert session.returncode == 0, session.stdout + session.stderr
        page = os.path.join(work, "report.html")
    count = check_page(page, work)
    assert count == 3, f"the session's page shows {count} applications, not 3"
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
