#!/usr/bin/env python3
"""Prints what the tracker recorded for a day in a form a person can read: seconds and share
per application, the activity intervals, and the usage segments as a timeline.
    usage_report.py DATA_DIR [DAY]        (DAY "yyyy-MM-dd", default: the newest day found)
Damaged, oversized or misshapen day files count as empty, as they do for the tracker."""

import datetime
import json
import math
import os
import re
import stat
import sys

DAY = r"\d{4}-\d{2}-\d{2}"
MAX_FILE_BYTES = 16 << 20  # the tracker refuses larger day files unread


class Damaged(ValueError):
    pass


def _refuse_constant(name):
    raise Damaged(name)


def _object(pairs):
    if len({k for k, _ in pairs}) != len(pairs):
        raise Damaged("repeated name")
    return dict(pairs)


def _number(value):
    try:
        if isinstance(value, (int, float)) and not isinstance(value, bool) and \
                math.isfinite(float(value)):
            return float(value)
    except OverflowError:
        pass
    raise Damaged("not a finite number")


def read_json(path):
    """The file's JSON, or None when it is missing, not a regular file, too large or not
    JSON. Never blocks on what sits at the path (a FIFO, say)."""
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError:
        return None
    try:
        info = os.fstat(fd)
        if not stat.S_ISREG(info.st_mode) or info.st_size > MAX_FILE_BYTES:
            return None
        with os.fdopen(fd, "rb", closefd=False) as f:
            data = f.read(MAX_FILE_BYTES + 1)
        return json.loads(data.decode("utf-8"), parse_constant=_refuse_constant,
                          object_pairs_hook=_object)
    except (OSError, ValueError, RecursionError):
        return None
    finally:
        os.close(fd)


def _usage(value):
    if not isinstance(value, dict):
        raise Damaged("not an object")
    return {key: _number(seconds) for key, seconds in value.items()}


def _elements(value, width, first_is_key):
    """The list's elements shaped as the tracker reads them: elements shorter than width are
    dropped; any other deviation makes the whole file count as damaged."""
    if not isinstance(value, list):
        raise Damaged("not an array")
    out = []
    for element in value:
        if not isinstance(element, list):
            raise Damaged("element is not a list")
        if len(element) < width:
            continue
        head = element[:width]
        if first_is_key:
            if not isinstance(head[0], str):
                raise Damaged("key is not a string")
            out.append([head[0]] + [_number(x) for x in head[1:]])
        else:
            out.append([_number(x) for x in head])
    return out


def days_in(data_dir):
    try:
        names = os.listdir(data_dir)
    except OSError:
        return []
    return sorted({m.group(1) for n in names
                   if (m := re.fullmatch(rf"usage_({DAY})\.json", n))})


def load_day(data_dir, day):
    """Usage, activity and segments of the day; a damaged file counts as empty."""
    def load(kind, parse, empty):
        try:
            value = read_json(os.path.join(data_dir, f"{kind}_{day}.json"))
            return empty if value is None else parse(value)
        except Damaged:
            return empty
    return (load("usage", _usage, {}), load("activity", lambda v: _elements(v, 2, False), []),
            load("segments", lambda v: _elements(v, 3, True), []))


def clock(instant):
    try:
        return datetime.datetime.fromtimestamp(instant).strftime("%H:%M:%S")
    except (OverflowError, OSError, ValueError):
        return "??:??:??"


def duration(seconds):
    if not math.isfinite(seconds):
        return "?:??:??"
    seconds = int(round(seconds))
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}:{seconds % 60:02d}"


def report(data_dir, day):
    usage, activity, segments = load_day(data_dir, day)
    lines = [f"Recorded on {day} (files in {data_dir}):", ""]
    total = sum(usage.values())
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
        key, start, end = segment
        if previous_end is not None and start - previous_end >= 1.0:
            lines.append(f"  {clock(previous_end)}\u2013{clock(start)}  {start - previous_end:7.1f} s"
                         "  (no segment: screen locked, no application, or user away)")
        lines.append(f"  {clock(start)}\u2013{clock(end)}  {end - start:7.1f} s  {key}")
        previous_end = end
    lines += ["", "Activity (the user at the machine, sampled every 30 s):"]
    if not activity:
        lines.append("  none")
    for start, end in activity:
        lines.append(f"  {clock(start)}\u2013{clock(end)}")
    return "\n".join(lines)


def main(argv):
    args = argv[1:]
    if args[:1] in (["-h"], ["--help"]):
        print(__doc__.strip())
        return 0
    if not 1 <= len(args) <= 2 or any(a.startswith("-") for a in args) or \
            (len(args) == 2 and not re.fullmatch(DAY, args[1])):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    data_dir = args[0]
    days = days_in(data_dir)
    day = args[1] if len(args) > 1 else (days[-1] if days else None)
    if day is None:
        print(f"Nothing recorded yet in {data_dir}.")
        return 1
    print(report(data_dir, day))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
