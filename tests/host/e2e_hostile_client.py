#!/usr/bin/env python3
"""End to end: a client that sends a heap of heavy calls and never reads its replies costs the
real host a bounded amount of memory, while another client's calls keep being answered
within a second; SIGTERM then ends the host promptly with status 0 and no output.

usage: e2e_hostile_client.py PATH_TO_QUILLMOSS
"""
import json
import os
import socket
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import channel_client  # noqa: E402
from host_run import USAGE, Host, private_env, write  # noqa: E402

DAY = "2026-03-04"
CALLS = 2000
PEAK_LIMIT_MB = 256  # The unbounded host went past a gigabyte here.


def peak_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmHWM:")) / 1024


def hostile_frames():
    message = bytearray()
    channel_client.write_value(message, "getSegments")
    channel_client.write_value(message, {"date": DAY})
    name = USAGE.encode()
    out = bytearray()
    for request_id in range(1, CALLS + 1):
        rest = struct.pack("<IH", request_id, len(name)) + name + bytes(message)
        out += struct.pack("<I", len(rest)) + rest
    return bytes(out)


def main(quillmoss):
    with tempfile.TemporaryDirectory(prefix="qm-e2e-hostile-") as root:
        env = private_env(root)
        data = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss", "usage")
        base = 1772600000.0
        segments = [["com.apple.Safari#example.org", base + i * 61, base + i * 61 + 60.5]
                    for i in range(3400)]  # A heavy day: about 220 KB.
        write(os.path.join(data, "segments_%s.json" % DAY),
              json.dumps(segments, separators=(",", ":")))
        write(os.path.join(data, "usage_%s.json" % DAY), '{"com.apple.Safari":12.5}')
        with Host(quillmoss, env) as host:
            hostile = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            hostile.connect(os.path.join(env["XDG_RUNTIME_DIR"], "quillmoss", "engine.sock"))
            hostile.setblocking(False)
            pending = hostile_frames()
            sent = 0
            slowest = 0.0
            # The hostile client keeps pushing calls while the polite one keeps asking.
            end = time.monotonic() + 4.0
            while time.monotonic() < end:
                try:
                    sent += hostile.send(pending[sent:sent + 65536])
                except BlockingIOError:
                    pass
                start = time.monotonic()
                reply = host.call(USAGE, "getUsage", {"date": DAY})
                slowest = max(slowest, time.monotonic() - start)
                assert reply == {"com.apple.Safari": 12.5}, reply
            assert slowest < 1.0, "a call took %.2f s beside the hostile client" % slowest
            assert sent > 0
            with open(quillmoss, "rb") as f:  # The sanitizers' own memory would swamp the figure.
                if b"__asan_init" not in f.read():
                    assert peak_mb(host.process.pid) < PEAK_LIMIT_MB, peak_mb(host.process.pid)
            hostile.close()
            host.stop(timeout=2)
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
