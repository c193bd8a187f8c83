"""What the benchmarks that drive the real host share: a private home, and reading its framed
replies over its socket."""
import os
import struct


def read_reply(sock):
    """The next frame's payload past its 4-byte request id; ConnectionError when it closes."""
    def exactly(count):
        chunks = []
        while count:
            chunk = sock.recv(min(count, 1 << 20))
            if not chunk:
                raise ConnectionError("the host closed the connection")
            chunks.append(chunk)
            count -= len(chunk)
        return b"".join(chunks)
    length = struct.unpack("<I", exactly(4))[0]
    return exactly(length)[4:]


def private_home(root):
    """The environment with a home and XDG folders of its own under root, each created."""
    env = dict(os.environ)
    for variable in ("HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME",
                     "XDG_RUNTIME_DIR"):
        env[variable] = os.path.join(root, variable.lower())
        os.makedirs(env[variable], mode=0o700)
    return env
