"""Reading the host's framed replies, for the benchmarks that drive it over its socket."""
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
