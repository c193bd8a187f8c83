"""The host's socket as every script reaches it: its place, and a connection to it whatever
the runtime folder's length (a path too long for a socket address is reached through its
folder, as the host binds it)."""

import os
import socket

ADDRESS_BYTES = 107  # what sun_path holds, without the final zero


def socket_path(env):
    """$XDG_RUNTIME_DIR/quillmoss/engine.sock, else /tmp/quillmoss-UID/engine.sock."""
    runtime = env.get("XDG_RUNTIME_DIR", "")
    if runtime.startswith("/"):
        return os.path.join(runtime, "quillmoss", "engine.sock")
    return f"/tmp/quillmoss-{os.getuid()}/engine.sock"


def connect(sock, path):
    if len(os.fsencode(path)) <= ADDRESS_BYTES:
        sock.connect(path)
        return
    folder = os.open(os.path.dirname(path), os.O_PATH | os.O_DIRECTORY | os.O_CLOEXEC)
    try:
        sock.connect(f"/proc/self/fd/{folder}/{os.path.basename(path)}")
    finally:
        os.close(folder)


def answers(path):
    """Whether something accepts connections there."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as probe:
        probe.settimeout(5)
        try:
            connect(probe, path)
            return True
        except OSError:
            return False


def first_line(path):
    """The first line a program wrote to its output file: its reason when it could not start."""
    try:
        with open(path, errors="replace") as f:
            return f.readline().strip()
    except OSError:
        return ""
