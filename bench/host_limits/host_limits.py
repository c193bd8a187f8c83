#!/usr/bin/env python3
"""The host under hostile and heavy use: what one client, one frame or one large reply costs.
Starts the given host with private folders and reports, each as a line:
  - a client sending 2,000 "getSegments" calls for a heavy day and never reading: the host's
    peak and remaining memory, and how long a fresh client's "getUsage" takes meanwhile;
  - one 16 MiB frame holding a list of 16.7 million nulls: peak memory and time to the reply;
  - a 16 MiB day file asked for once: the idle host's memory two seconds later.
    host_limits.py HOST_EXECUTABLE"""

import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

CHANNEL = b"com.velbrook.quillmoss/usage_tracker"
DAY = "2026-03-04"


def kib(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def string(text):
    data = text.encode()
    assert len(data) < 254
    return bytes([7, len(data)]) + data


def call_message(method, date=None):
    arguments = b"\x00" if date is None else b"\x0d\x01" + string("date") + string(date)
    return string(method) + arguments


def frame(request_id, message):
    rest = struct.pack("<IH", request_id, len(CHANNEL)) + CHANNEL + message
    return struct.pack("<I", len(rest)) + rest


def connect(path):
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.settimeout(60)
    sock.connect(path)
    return sock


def read_reply(sock):
    def exactly(count):
        chunks = []
        while count:
            chunk = sock.recv(min(count, 1 << 20))
            if not chunk:
                raise ConnectionError("closed")
            chunks.append(chunk)
            count -= len(chunk)
        return b"".join(chunks)
    length = struct.unpack("<I", exactly(4))[0]
    return exactly(length)[4:]


def timed_call(path, method, date=None):
    sock = connect(path)
    start = time.monotonic()
    sock.sendall(frame(1, call_message(method, date)))
    read_reply(sock)
    sock.close()
    return time.monotonic() - start


def segments_file(count):
    base = 1772600000.0
    return json.dumps([["com.apple.Safari#example.org", base + i * 61, base + i * 61 + 60.5]
                       for i in range(count)], separators=(",", ":"))


def main():
    host = os.path.abspath(sys.argv[1])
    root = tempfile.mkdtemp(prefix="qm-limits-")
    env = dict(os.environ)
    for variable in ("HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
        env[variable] = os.path.join(root, variable.lower())
        os.makedirs(env[variable], mode=0o700)
    env.pop("DISPLAY", None)
    data = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss", "usage")
    os.makedirs(data)
    with open(os.path.join(data, f"segments_{DAY}.json"), "w") as f:
        f.write(segments_file(3_400))  # About 220 KB.
    big_day = "2026-03-05"
    text = segments_file(1)
    count = 1
    while len(text) < (16 << 20) - 100_000:
        count = int(count * (16 << 20) / len(text) * 0.98) + 1
        text = segments_file(count)
    with open(os.path.join(data, f"segments_{big_day}.json"), "w") as f:
        f.write(text)
    path = os.path.join(env["XDG_RUNTIME_DIR"], "quillmoss", "engine.sock")
    process = subprocess.Popen([host], env=env)
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(path):
            if time.monotonic() > deadline:
                raise SystemExit("host did not start")
            time.sleep(0.05)
        time.sleep(0.3)
        start_rss = kib(process.pid, "VmRSS")
        print(f"start: RSS {start_rss / 1024:.0f} MB")

        # 1. A client that never reads.
        hostile = connect(path)
        hostile.setblocking(False)
        pending = b"".join(frame(i, call_message("getSegments", DAY)) for i in range(1, 2001))
        sent = 0
        stall = time.monotonic() + 5
        while sent < len(pending) and time.monotonic() < stall:
            try:
                sent += hostile.send(pending[sent:])
            except BlockingIOError:
                time.sleep(0.01)
        time.sleep(0.5)
        latencies = [timed_call(path, "getUsage", DAY) for _ in range(5)]
        time.sleep(1)
        print(f"never-reading client: sent {sent} of {len(pending)} request bytes; "
              f"fresh getUsage worst {max(latencies) * 1000:.1f} ms; "
              f"RSS {kib(process.pid, 'VmRSS') / 1024:.0f} MB, peak {kib(process.pid, 'VmHWM') / 1024:.0f} MB")
        hostile.close()
        time.sleep(2)
        print(f"after it left: RSS {kib(process.pid, 'VmRSS') / 1024:.0f} MB")

        # 2. One frame of 16.7 million nulls.
        before_peak = kib(process.pid, "VmHWM")
        message = string("getUsage") + b"\x0c\xff" + struct.pack("<I", (16 << 20) - 100) + \
            bytes((16 << 20) - 100)
        sock = connect(path)
        start = time.monotonic()
        sock.sendall(frame(1, message))
        reply = read_reply(sock)
        took = time.monotonic() - start
        sock.close()
        print(f"16 MiB frame of nulls: reply of {len(reply)} bytes after {took * 1000:.0f} ms; "
              f"peak {before_peak / 1024:.0f} -> {kib(process.pid, 'VmHWM') / 1024:.0f} MB")

        # 6. One large reply, then idle.
        took = timed_call(path, "getSegments", big_day)
        time.sleep(2)
        print(f"16 MiB day file ({count} segments): answered in {took * 1000:.0f} ms; idle RSS two "
              f"seconds later {kib(process.pid, 'VmRSS') / 1024:.0f} MB, "
              f"peak {kib(process.pid, 'VmHWM') / 1024:.0f} MB")
    finally:
        process.terminate()
        process.wait(10)
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
