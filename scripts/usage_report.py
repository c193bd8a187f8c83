#!/usr/bin/env python3
"""Prints what the tracker recorded for a day in a form a person can read: seconds and share
per application, the activity intervals, and the usage segments as a timeline.
    usage_report.py DATA_DIR [DAY]        (DAY "yyyy-MM-dd", default: the newest day found)"""

import datetime
import json
import os
import re
import sys


def read_json(path, default):
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return default


def days_in(data_dir):
    try:
        names = os.listdir(data_dir)
    except OSError:
        return []
    return sorted({m.group(1) for n in names
                   if (m := re.fullmatch(r"usage_(\d{4}-\d{2}-\d{2})\.json", n))})


def load_day(data_dir, day):
    usage = read_json(os.path.join(data_dir, f"usage_{day}.json"), {})
    activity = read_json(os.path.join(data_dir, f"activity_{day}.json"), [])
    segments = read_json(os.path.join(data_dir, f"segments_{day}.json"), [])
    return usage, activity, segments


def clock(instant):
    return datetime.datetime.fromtimestamp(instant).strftime("%H:%M:%S")


def duration(seconds):
    seconds = int(round(seconds))
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}:{seconds % 60:02d}"


def report(data_dir, day):
    usage, activity, segments = load_day(data_dir, day)
    lines = [f"Recorded on {day} (files in {data_dir}):", ""]
    total = sum(v for v in usage.values() if isinstance(v, (int, float)))
    if not usage:
        lines.append("  no application time recorded")
    else:
        width = max(len(k) for k in usage)
        lines.append(f"  {'application'.ljust(width)}  {'seconds':>9}  {'share':>6}")
        for key, seconds in sorted(usage.items(), key=lambda kv: (-kv[1], kv[0])):
            share = 100.0 * seconds / total if total > 0 else 0.0
            lines.append(f"  {key.ljust(width)}  {seconds:9.1f}  {share:5.1f}%")
        lines.append(f"  {'total'.ljust(width)}  {total:9.1f}  ({duration(total)})")
    lines += ["", "Timeline (usage segments):"]
    if not segments:
        lines.append("  none")
    previous_end = None
    for segment in segments:
        key, start, end = segment[0], segment[1], segment[2]
        if previous_end is not None and start - previous_end >= 1.0:
            lines.append(f"  {clock(previous_end)}\u2013{clock(start)}  {start - previous_end:7.1f} s"
                         "  (no segment: screen locked, no application, or user away)")
        lines.append(f"  {clock(start)}\u2013{clock(end)}  {end - start:7.1f} s  {key}")
        previous_end = end
    lines += ["", "Activity (the user at the machine, sampled every 30 s):"]
    if not activity:
        lines.append("  none")
    for start, end, *_ in activity:
        lines.append(f"  {clock(start)}\u2013{clock(end)}")
    return "\n".join(lines)


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    data_dir = argv[1]
    days = days_in(data_dir)
    day = argv[2] if len(argv) > 2 else (days[-1] if days else None)
    if day is None:
        print(f"Nothing recorded yet in {data_dir}.")
        return 1
    print(report(data_dir, day))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
