#!/usr/bin/env python3
"""Names and icons against real windows: a private X display (Xvfb and openbox) with 30 client
windows, each with a _NET_WM_ICON of six sizes (16 to 128 pixels, about 96 KB), and the real
host on that display, asked over its socket on one connection:
  getAppName  of a running application without a desktop entry (its window's title)
  getAppIcon  of that application (its window's icon, drawn to a 32 x 32 PNG)
  getAppIcon  of an installed application whose entry names a 256 x 256 PNG file
Then the same getAppName once every application has a desktop entry (identity from WM_CLASS
alone, as for most applications on a real desktop). Prints the median and 95th percentile of
each call's round trip, and the host's CPU time per call. Last, with 300 desktop entries, the
first getAppName of fresh hosts: 0.2 s after the socket appears, and at once. Build the "bench" preset first
(cmake --preset bench && cmake --build --preset bench --target quillmoss x11_test_client), then:
    bench/names_x11/names_x11.py build-bench/quillmoss.app/Contents/MacOS/quillmoss \\
        build-bench/tools/x11_client/x11_test_client [CALLS]
Targets: getAppName at most 1 ms median (the first call too), getAppIcon at most 3 ms median."""

import os
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from x11_private_session import PrivateX, wait_until  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_session import private_home, read_reply  # noqa: E402

CHANNEL = b"com.velbrook.quillmoss/usage_tracker"
WINDOWS = 30
ENTRIES = 300
FRESH_HOSTS = 7


def string(text):
    data = text.encode()
    assert len(data) < 254
    return bytes([7, len(data)]) + data


def call_frame(request_id, method, bundle_id):
    message = string(method) + b"\x0d\x01" + string("bundleId") + string(bundle_id)
    rest = struct.pack("<IH", request_id, len(CHANNEL)) + CHANNEL + message
    return struct.pack("<I", len(rest)) + rest


def png(side, rgba):
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload +
                struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))
    rows = (b"\x00" + bytes(rgba) * side) * side
    header = struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def settle(folder):
    """Dates the folder an hour back: a folder changed within the last moments is scanned again
    on every call (its next change could share the time stamp), as no settled desktop's is."""
    past = time.time() - 3600
    os.utime(folder, (past, past))


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure(sock, pid, method, key, calls, check):
    times = []
    cpu = cpu_seconds(pid)
    for i in range(calls):
        start = time.perf_counter()
        sock.sendall(call_frame(i + 1, method, key))
        reply = read_reply(sock)
        times.append(time.perf_counter() - start)
        if not check(reply):
            raise SystemExit(f"{method} {key}: unexpected reply {reply[:40]!r}")
    cpu = (cpu_seconds(pid) - cpu) / calls
    times.sort()
    median = statistics.median(times)
    p95 = times[min(len(times) - 1, int(len(times) * 0.95))]
    print(f"{method:<11} {key:<22} median {median * 1000:6.2f} ms   p95 {p95 * 1000:6.2f} ms   "
          f"host CPU {cpu * 1000:5.2f} ms/call")


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    host, client = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    calls = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    root = tempfile.mkdtemp(prefix="qm-names-x11-")
    try:
        env = private_home(root)
        env.pop("WAYLAND_DISPLAY", None)
        applications = os.path.join(env["XDG_DATA_HOME"], "applications")
        os.makedirs(applications)
        icon = os.path.join(root, "pictured.png")
        with open(icon, "wb") as f:
            f.write(png(256, (0x33, 0x66, 0xcc, 0xff)))
        with open(os.path.join(applications, "org.example.Pictured.desktop"), "w") as f:
            f.write(f"[Desktop Entry]\nType=Application\nName=Pictured\nExec=true\nIcon={icon}\n")
        settle(applications)
        with PrivateX(client) as x:
            for i in range(WINDOWS):
                x.open_window(f"app{i:02d}", f"App{i:02d}", f"Application {i:02d}",
                              "--multi-icon", "0xff3366cc")
            env["DISPLAY"] = x.display
            path = os.path.join(env["XDG_RUNTIME_DIR"], "quillmoss", "engine.sock")
            process, sock = start_host(host, env, path)
            try:
                name = "Application 15".encode()
                is_name = lambda r: r == b"\x00" + bytes([7, len(name)]) + name  # noqa: E731
                is_png = lambda r: r[:2] == b"\x00\x08" and b"\x89PNG" in r[:12]  # noqa: E731
                measure(sock, process.pid, "getAppName", "App15", 20, is_name)  # warm-up
                print(f"{WINDOWS} windows, {calls} calls each, one client connection")
                measure(sock, process.pid, "getAppName", "App15", calls, is_name)
                measure(sock, process.pid, "getAppIcon", "App15", calls, is_png)
                measure(sock, process.pid, "getAppIcon", "org.example.Pictured", calls, is_png)
                # As on most desktops: every window's application has a desktop entry, so its
                # identity comes from WM_CLASS alone, without reading the process's /proc files.
                for i in range(WINDOWS):
                    with open(os.path.join(applications, f"app{i:02d}.desktop"), "w") as f:
                        f.write("[Desktop Entry]\nType=Application\n"
                                f"Name=Entry {i:02d}\nExec=true\n")
                settle(applications)
                entry = "Entry 15".encode()
                is_entry = lambda r: r == b"\x00" + bytes([7, len(entry)]) + entry  # noqa: E731
                print("the same windows, each application with a desktop entry")
                measure(sock, process.pid, "getAppName", "app15", 20, is_entry)  # warm-up
                measure(sock, process.pid, "getAppName", "app15", calls, is_entry)
                sock.close()
            finally:
                process.terminate()
                process.wait(30)
            for i in range(ENTRIES - WINDOWS - 1):
                with open(os.path.join(applications, f"org.example.Filler{i:03d}.desktop"), "w") as f:
                    f.write(f"[Desktop Entry]\nType=Application\nName=Filler {i}\n"
                            f"Exec=filler{i} %U\nIcon=filler{i}\nStartupWMClass=Filler{i}\n")
            settle(applications)
            print(f"first getAppName of a fresh host, {WINDOWS} windows, {ENTRIES} entries")
            for pause in (0.2, 0.0):
                first_calls(host, env, path, pause, is_entry)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def start_host(host, env, path):
    """A host on the display in env, and a client connected to it."""
    process = subprocess.Popen([host], env=env)
    try:
        wait_until(lambda: os.path.exists(path) or process.poll() is not None, 20)
        if process.poll() is not None:
            raise SystemExit("the host did not start")
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.settimeout(30)
        wait_until(lambda: sock.connect_ex(path) == 0, 20)
        return process, sock
    except BaseException:
        process.kill()
        process.wait()
        raise


def first_calls(host, env, path, pause, check):
    times = []
    for _ in range(FRESH_HOSTS):
        process, sock = start_host(host, env, path)
        try:
            time.sleep(pause)
            start = time.perf_counter()
            sock.sendall(call_frame(1, "getAppName", "app15"))
            reply = read_reply(sock)
            times.append(time.perf_counter() - start)
            if not check(reply):
                raise SystemExit(f"first getAppName: unexpected reply {reply[:40]!r}")
            sock.close()
        finally:
            process.terminate()
            process.wait(30)
    times.sort()
    print(f"  {pause:.1f} s after the socket appears: median {statistics.median(times) * 1000:6.2f} "
          f"ms, max {times[-1] * 1000:6.2f} ms over {FRESH_HOSTS} hosts")


if __name__ == "__main__":
    main()
