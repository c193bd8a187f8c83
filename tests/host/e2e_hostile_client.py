#!/usr/bin/env python3
"""End to end: a client that sends a heap of heavy calls and never reads its replies costs the
real host a bounded amount of memory, while another client's calls keep being answered
within a second; SIGTERM then ends the host promptly with status 0 and no output.

usage: e2e_hostile_client.py PATH_TO_QUILLMOSS
"""
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import channel_client  # noqa: E402

USAGE = "com.velbrook.quillmoss/usage_tracker"
DAY = "2026-03-04"
CALLS = 2000
PEAK_LIMIT_MB = 256  # The unbounded host went past a gigabyte here.


def status_kib(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    raise AssertionError("no " + key)


def sanitized(binary):
    with open(binary, "rb") as f:
        return b"__asan_init" in f.read()


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


def main():
    quillmoss = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="qm-e2e-hostile-") as root:
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin")}
        for variable in ("HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME",
                         "XDG_RUNTIME_DIR"):
            env[variable] = os.path.join(root, variable.lower())
            os.makedirs(env[variable], mode=0o700)
        for key in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
            if key in os.environ:
                env[key] = os.environ[key]
        data = os.path.join(env["XDG_DATA_HOME"], "com.velbrook.quillmoss", "usage")
        os.makedirs(data)
        base = 1772600000.0
        segments = [["com.apple.Safari#example.org", base + i * 61, base + i * 61 + 60.5]
                    for i in range(3400)]  # A heavy day: about 220 KB.
        with open(os.path.join(data, "segments_%s.json" % DAY), "w") as f:
            json.dump(segments, f, separators=(",", ":"))
        with open(os.path.join(data, "usage_%s.json" % DAY), "w") as f:
            f.write('{"com.apple.Safari":12.5}')

        path = os.path.join(env["XDG_RUNTIME_DIR"], "quillmoss", "engine.sock")
        host = subprocess.Popen([quillmoss], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        try:
            deadline = time.monotonic() + 30
            while not os.path.exists(path):
                assert host.poll() is None, "the host ended at start"
                assert time.monotonic() < deadline, "no socket"
                time.sleep(0.02)

            hostile = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            hostile.connect(path)
            hostile.setblocking(False)
            pending = hostile_frames()
            sent = 0
            polite = channel_client.Client(path, timeout=5.0)
            slowest = 0.0
            answered = 0
            # The hostile client keeps pushing calls while the polite one keeps asking.
            end = time.monotonic() + 4.0
            while time.monotonic() < end:
                try:
                    sent += hostile.send(pending[sent:sent + 65536])
                except BlockingIOError:
                    pass
                start = time.monotonic()
                reply = polite.call(USAGE, "getUsage", {"date": DAY})
                slowest = max(slowest, time.monotonic() - start)
                assert reply == {"com.apple.Safari": 12.5}, reply
                answered += 1
            assert slowest < 1.0, "a call took %.2f s beside the hostile client" % slowest
            assert sent > 0
            if not sanitized(quillmoss):  # The sanitizers' own memory would swamp the figure.
                peak = status_kib(host.pid, "VmHWM") / 1024
                assert peak < PEAK_LIMIT_MB, "peak %.0f MB" % peak
            hostile.close()
            polite.close()

            start = time.monotonic()
            host.send_signal(signal.SIGTERM)
            out, err = host.communicate(timeout=30)
            took = time.monotonic() - start
            assert host.returncode == 0, "status %d" % host.returncode
            assert not out and not err, (out, err)
            assert took < 2.0, "SIGTERM took %.2f s" % took
        finally:
            if host.poll() is None:
                host.kill()
                host.wait()
    print("ok: %d calls answered, slowest %.0f ms, %d request bytes pushed" %
          (answered, slowest * 1000, sent))
    return 0


if __name__ == "__main__":
    sys.exit(main())
