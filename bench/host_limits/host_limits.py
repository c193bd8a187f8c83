#!/usr/bin/env python3
"""The host under hostile and heavy use: what one client, one frame or one large reply costs.
Starts the given host with private folders, one fresh host per case, and reports:
  never_reading_client  a client sending 2,000 "getSegments" calls for a heavy day (220 KB)
                        and never reading: the host's memory, and how long a fresh client's
                        "getUsage" takes meanwhile;
  frame_of_nulls        one 16 MiB frame holding a list of 16.7 million nulls: peak memory
                        and time to the reply;
  large_reply           a 16 MiB day file asked for once: the idle host's memory 2 s later;
  stalled_partial_frames  64, then 128 clients that each send all but the last byte of the
                        largest call frame the host takes (16 MiB before a client's budget
                        bounded it, 1 MiB since) and stall: memory then, and after they left;
  idle_clients          128 clients that connect and say nothing: how long a fresh client
                        waits for its reply;
and for each, how long the host takes to end after SIGTERM.
    host_limits.py HOST_EXECUTABLE [CASE...]   (all cases by default)"""

import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_session import private_home, read_reply  # noqa: E402

CHANNEL = b"com.velbrook.quillmoss/usage_tracker"
DAY = "2026-03-04"
BIG_DAY = "2026-03-05"


def kib(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def memory(pid):
    return f"RSS {kib(pid, 'VmRSS') / 1024:.0f} MB, peak {kib(pid, 'VmHWM') / 1024:.0f} MB"


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


def connect(path, timeout=60):
    """Waits while the host's listening backlog is full (a Unix socket answers EAGAIN)."""
    deadline = time.monotonic() + timeout
    while True:
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.settimeout(timeout)
        try:
            sock.connect(path)
            return sock
        except BlockingIOError:
            sock.close()
            if time.monotonic() > deadline:
                raise
            time.sleep(0.01)


def timed_call(path, method, date=None, timeout=30):
    """Seconds to the reply; infinity when none came within the timeout."""
    sock = connect(path, timeout)
    start = time.monotonic()
    sock.sendall(frame(1, call_message(method, date)))
    try:
        read_reply(sock)
    except (TimeoutError, socket.timeout):
        return float("inf")
    finally:
        sock.close()
    return time.monotonic() - start


def segments_file(count):
    base = 1772600000.0
    return json.dumps([["com.apple.Safari#example.org", base + i * 61, base + i * 61 + 60.5]
                       for i in range(count)], separators=(",", ":"))


def never_reading_client(pid, path):
    print(f"never-reading client; start {memory(pid)}")
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
    print(f"  sent {sent} of {len(pending)} request bytes; fresh getUsage "
          f"{', '.join('%.0f' % (t * 1000) for t in latencies)} ms; {memory(pid)}")
    hostile.close()
    time.sleep(2)
    print(f"  two seconds after it left: {memory(pid)}")


def frame_of_nulls(pid, path):
    # Just under the transport's largest frame, then under a client's budget (1 MiB).
    for size in (16 << 20, 1 << 20):
        print(f"{size >> 20} MiB frame of nulls; start {memory(pid)}")
        count = size - 100
        message = string("getUsage") + b"\x0c\xff" + struct.pack("<I", count) + bytes(count)
        sock = connect(path, 600)
        start = time.monotonic()
        try:
            sock.sendall(frame(1, message))
            reply = read_reply(sock)
            outcome = f"reply of {len(reply)} bytes"
        except (ConnectionError, BrokenPipeError):
            outcome = "refused (the host closed the connection)"
        took = time.monotonic() - start
        sock.close()
        print(f"  {outcome} after {took * 1000:.0f} ms; {memory(pid)}")


def large_reply(pid, path):
    print(f"16 MiB day file; start {memory(pid)}")
    took = timed_call(path, "getSegments", BIG_DAY, timeout=600)
    time.sleep(2)
    print(f"  answered in {took * 1000:.0f} ms; idle two seconds later {memory(pid)}")


def stalled_partial_frames(pid, path):
    print(f"stalled partial frames; start {memory(pid)}")
    for clients in (64, 128):
        for announced in (16 << 20, (1 << 20) - 4):
            head = struct.pack("<IIH", announced, 1, len(CHANNEL)) + CHANNEL
            body = head + bytes(announced + 4 - len(head) - 1)
            stalled = []
            for _ in range(clients):
                sock = connect(path, 60)
                sock.setblocking(False)
                stalled.append([sock, 0])
            # Round-robin, so that the host reads from all of them while they send.
            deadline = time.monotonic() + 120
            while stalled and time.monotonic() < deadline:
                progress = False
                for entry in stalled:
                    sock, sent = entry
                    if sent < len(body):
                        try:
                            entry[1] += sock.send(body[sent:sent + (1 << 20)])
                            progress = True
                        except BlockingIOError:
                            pass
                        except OSError:
                            entry[1] = len(body)  # closed by the host
                if all(sent >= len(body) for _, sent in stalled):
                    break
                if not progress:
                    time.sleep(0.01)
            time.sleep(1)
            print(f"  {clients} clients, {announced >> 10} KiB frames one byte short: "
                  f"{memory(pid)}")
            for sock, _ in stalled:
                sock.close()
            time.sleep(2)
            print(f"    two seconds after they left: {memory(pid)}")


def idle_clients(pid, path):
    print(f"128 idle clients; start {memory(pid)}")
    idle = [connect(path, 60) for _ in range(128)]
    time.sleep(0.5)
    took = timed_call(path, "getUsage", DAY, timeout=120)
    print(f"  a fresh client's getUsage answered after {took:.1f} s; {memory(pid)}")
    for sock in idle:
        sock.close()


def with_host(host, env, path, case):
    process = subprocess.Popen([host], env=env)
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(path):
            if time.monotonic() > deadline:
                raise SystemExit("host did not start")
            time.sleep(0.05)
        time.sleep(0.3)
        case(process.pid, path)
    finally:
        start = time.monotonic()
        process.terminate()
        try:
            process.wait(30)
            print(f"  exit after SIGTERM: {(time.monotonic() - start) * 1000:.0f} ms")
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            print("  exit after SIGTERM: none within 30 s")


def main():
    host = os.path.abspath(sys.argv[1])
    cases = [never_reading_client, frame_of_nulls, large_reply, stalled_partial_frames,
             idle_clients]
    if sys.argv[2:]:
        cases = [case for case in cases if case.__name__ in sys.argv[2:]]
    root = tempfile.mkdtemp(prefix="qm-limits-")
    try:
        env = private_home(root)
        env.pop("DISPLAY", None)
        data = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss", "usage")
        os.makedirs(data)
        with open(os.path.join(data, f"segments_{DAY}.json"), "w") as f:
            f.write(segments_file(3_400))  # About 220 KB.
        with open(os.path.join(data, f"usage_{DAY}.json"), "w") as f:
            f.write('{"com.apple.Safari":12.5}')
        if large_reply in cases:
            per_segment = len(segments_file(1000)) / 1000
            count = int(((16 << 20) - 100_000) / per_segment)  # Just under the largest read.
            with open(os.path.join(data, f"segments_{BIG_DAY}.json"), "w") as f:
                f.write(segments_file(count))
        path = os.path.join(env["XDG_RUNTIME_DIR"], "quillmoss", "engine.sock")
        for case in cases:
            with_host(host, env, path, case)
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
