#!/usr/bin/env python3
"""quillmoss-report against the real host: the page's figures are the day files', its names
and icons the host's; bad days give an empty page with a notice; no host gives one line and 3.
usage: e2e_report.py BUNDLE_CONTENTS_FOLDER"""
import base64
import json
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "..", "support")]
from host_run import USAGE, Host, private_env, write  # noqa: E402
from png_image import png_bytes  # noqa: E402
from report_page_reader import Page  # noqa: E402

DAY, DAMAGED, EMPTY = "2026-03-14", "2026-03-15", "2020-01-01"
BROWSER = "org.example.Browser"
HOSTILE = "odd.<script>alert(1)</script>&\"'"
T0 = time.mktime((2026, 3, 14, 9, 0, 0, 0, 0, -1))
USAGE_FILE = {"org.example.Editor": 1200.5, BROWSER: 300, BROWSER + "#example.com": 450.25,
              BROWSER + "#news.example": 100, HOSTILE: 60, "#lead": 5}
SEGMENTS = [["org.example.Editor", T0, T0 + 600.5], [BROWSER, T0 + 700, T0 + 1000],
            [BROWSER + "#example.com", T0 + 1100, T0 + 1550.25],
            ["org.example.Editor", T0 + 1600, T0 + 2200], [HOSTILE, T0 + 2300, T0 + 2360],
            [BROWSER + "#news.example", T0 + 3000, T0 + 3100], ["#lead", T0 + 3200, T0 + 3205]]
ACTIVITY = [[T0, T0 + 1560], [T0 + 1590, T0 + 2400], [T0 + 2990, T0 + 3210]]


def make_world(data):
    hicolor = os.path.join(data, "icons", "hicolor")
    write(os.path.join(hicolor, "index.theme"), "[Icon Theme]\nName=Hicolor\n"
          "Directories=48x48/apps\n\n[48x48/apps]\nSize=48\nType=Threshold\n")
    for entry, name, icon, rgba in (
            ("org.example.Editor", 'Editor <b>& "quoted"', "qm-editor", (200, 40, 40, 255)),
            (BROWSER, "Browser", "qm-browser", (40, 90, 220, 255))):
        write(os.path.join(data, "applications", entry + ".desktop"),
              f"[Desktop Entry]\nType=Application\nName={name}\nExec=true\nIcon={icon}\n")
        write(os.path.join(hicolor, "48x48", "apps", icon + ".png"), png_bytes(48, rgba))
    usage = os.path.join(data, "com.velbrook.quillmoss", "usage")
    for kind, content in (("usage", USAGE_FILE), ("segments", SEGMENTS), ("activity", ACTIVITY)):
        write(os.path.join(usage, f"{kind}_{DAY}.json"), json.dumps(content))
    for kind, text in (("usage", '{"a": "ten"}'), ("segments", "[[\"a\", 1"), ("activity", "7")):
        write(os.path.join(usage, f"{kind}_{DAMAGED}.json"), text)


def close(a, b):
    return abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


def check_full_day(page, client, summary):
    total = sum(USAGE_FILE.values())
    assert close(page.total, total), f"total {page.total} != {total}"
    assert page.notice is None, f"unexpected notice {page.notice!r}"
    assert "<script" not in page.raw, "a key reached the page unescaped"
    rows = {r["key"]: r for r in page.rows}
    assert set(rows) == set(USAGE_FILE), f"rows {sorted(rows)}"
    browser_sum = sum(v for k, v in USAGE_FILE.items() if k.startswith(BROWSER))
    tops = [r for r in page.rows if not r["domain"]]
    assert [r["seconds"] for r in tops] == sorted((r["seconds"] for r in tops), reverse=True), \
        "applications are not sorted by time"
    for key, row in rows.items():
        expected = browser_sum if key == BROWSER else USAGE_FILE[key]
        assert close(row["seconds"], expected), f"{key}: {row['seconds']} != {expected}"
        assert close(row["share"], expected / total), f"{key}: share {row['share']}"
        assert abs(row["width"] - 100 * expected / total) < 0.001, f"{key}: width {row['width']}"
        assert row["domain"] == (key.startswith(BROWSER + "#")), f"{key}: domain placement"
        name = client.call(USAGE, "getAppName", {"bundleId": key})
        assert (row["name"], row["name_is_key"]) == ((name, False) if name else (key, True)), row
        if not row["domain"]:
            icon = client.call(USAGE, "getAppIcon", {"bundleId": key})
            shown = row["icon"] and base64.b64decode(row["icon"].split(",", 1)[1])
            assert shown == (icon or None), f"{key}: icon differs from the host's"
    assert rows["org.example.Editor"]["icon"] and rows[BROWSER]["icon"], "icons missing"
    lanes = {}
    for key, start, end in SEGMENTS:
        lanes.setdefault(key if key.startswith("#") else key.split("#")[0], []).append((start, end))
    assert page.lanes == {k: sorted(v) for k, v in lanes.items()}, f"lanes {page.lanes}"
    assert page.activity == [tuple(a) for a in ACTIVITY], f"activity {page.activity}"
    assert "Editor <b>& \"quoted\"" in summary and "(no name)" in summary, summary


def run_report(bundle, env, root, *args):
    """The report's run (its last argument the page's path) and the page, if it wrote one."""
    out_file = os.path.join(root, "out", "page-%d.html" % time.monotonic_ns())
    result = subprocess.run([os.path.join(bundle, "Helpers", "quillmoss-report"), *args,
                             "--out", out_file], env=env, capture_output=True, text=True,
                            timeout=120)
    if not os.path.exists(out_file):
        return result, None
    with open(out_file, encoding="utf-8") as f:
        return result, Page(f.read())


def main():
    bundle = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="qm-report-e2e-") as root:
        env = dict(private_env(root), LANG="C.UTF-8", TZ="UTC")
        make_world(env["XDG_DATA_HOME"])
        with Host(os.path.join(bundle, "MacOS", "quillmoss"), env) as host:
            result, page = run_report(bundle, env, root, DAY)
            assert result.returncode == 0 and result.stderr == "", result.stderr
            assert result.stdout.endswith(f"Report: {result.args[-1]}\n"), result.stdout
            check_full_day(page, host.client, result.stdout)

            # Bad input: an empty page that says why, and never a crash.
            for args, status, notice in (([DAMAGED], 0, "Nothing recorded for " + DAMAGED),
                                         ([EMPTY], 0, "Nothing recorded for " + EMPTY),
                                         (["2026-02-30"], 1, "is not a day"),
                                         (["../../etc/passwd"], 1, "is not a day")):
                result, page = run_report(bundle, env, root, *args)
                assert result.returncode == status, f"{args}: status {result.returncode}"
                assert page and page.rows == [] and page.lanes == {} and notice in page.notice, \
                    f"{args}: page {page and page.notice!r}"
            result, page = run_report(bundle, env, root, "--colour")
            assert result.returncode == 64 and page is None, "an unknown option was accepted"
            host.stop()
        result, page = run_report(bundle, env, root, DAY)
        assert result.returncode == 3 and page is None, f"without a host: {result.returncode}"
        assert result.stderr.count("\n") == 1, result.stderr


if __name__ == "__main__":
    sys.exit(main())
