"""A client of the host's socket: its frames and the standard method codec, as far as the
end-to-end tests send and read them."""

import os
import socket
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from host_socket import connect  # noqa: E402


def write_value(out, value):
    """None, bools, 32-bit ints, floats, short strings and maps of them."""
    if value is None or isinstance(value, bool):
        out.append({None: 0, True: 1, False: 2}[value])
    elif isinstance(value, int):
        out += b"\x03" + struct.pack("<i", value)
    elif isinstance(value, float):
        out.append(6)
        out += bytes(-len(out) % 8) + struct.pack("<d", value)  # aligned from the message start
    elif isinstance(value, str):
        out += bytes([7, len(value.encode())]) + value.encode()
    else:
        out += bytes([13, len(value)])
        for key, item in value.items():
            write_value(out, key)
            write_value(out, item)


def frame(request_id, channel, method, arguments=None):
    """A request (little-endian): u32 length, u32 request id, u16 channel length, channel,
    message. Replies carry the request id and the reply."""
    message = bytearray()
    write_value(message, method)
    write_value(message, arguments)
    rest = struct.pack("<IH", request_id, len(channel)) + channel.encode() + message
    return struct.pack("<I", len(rest)) + rest


class _Reader:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, count):
        if self.pos + count > len(self.data):
            raise ValueError("truncated")
        self.pos += count
        return self.data[self.pos - count:self.pos]

    def size(self):
        first = self.take(1)[0]
        if first < 254:
            return first
        return int.from_bytes(self.take(2 if first == 254 else 4), "little")

    def value(self):
        tag = self.take(1)[0]
        if tag <= 2:
            return (None, True, False)[tag]
        if tag in (3, 4):
            return struct.unpack("<i" if tag == 3 else "<q", self.take(4 if tag == 3 else 8))[0]
        if tag == 6:
            self.take(-self.pos % 8)
            return struct.unpack("<d", self.take(8))[0]
        if tag in (7, 8):
            data = self.take(self.size())
            return data.decode("utf-8") if tag == 7 else bytes(data)
        if tag == 12:
            return [self.value() for _ in range(self.size())]
        if tag == 13:
            return {self.value(): self.value() for _ in range(self.size())}
        raise ValueError("unknown tag %d" % tag)


NOT_IMPLEMENTED = object()  # the empty reply


class Client:
    def __init__(self, path, timeout=60.0):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(timeout)
        connect(self.sock, path)
        self.replies = self.sock.makefile("rb")
        self.next_id = 1

    def close(self):
        self.replies.close()
        self.sock.close()

    def _read(self, count):
        data = self.replies.read(count)
        if len(data) != count:
            raise ConnectionError("host closed the connection")
        return data

    def send(self, channel, method, arguments=None):
        request_id, self.next_id = self.next_id, self.next_id + 1
        self.sock.sendall(frame(request_id, channel, method, arguments))
        return request_id

    def call(self, channel, method, arguments=None):
        """The success value or NOT_IMPLEMENTED; an error reply raises ValueError."""
        request_id = self.send(channel, method, arguments)
        length, reply_id = struct.unpack("<II", self._read(8))
        if reply_id != request_id:
            raise ValueError("a reply for another request")
        reply = _Reader(self._read(length - 4))  # doubles are aligned from the reply's start
        if reply.pos == len(reply.data):
            return NOT_IMPLEMENTED
        ok = reply.take(1)[0] == 0
        value = reply.value() if ok else [reply.value() for _ in range(3)]
        if reply.pos != len(reply.data):
            raise ValueError("trailing bytes")
        if not ok:
            raise ValueError("error reply %r" % (value,))
        return value
