"""A client of the host's socket: the transport's frames and the standard method codec.

Shared by the end-to-end tests; standard library only. Scripts elsewhere put this folder on
sys.path relative to their own location.
"""

import socket
import struct


class CodecError(Exception):
    pass


def _write_size(out, size):
    if size < 254:
        out.append(size)
    elif size <= 0xFFFF:
        out.append(254)
        out += struct.pack("<H", size)
    else:
        out.append(255)
        out += struct.pack("<I", size)


def write_value(out, value):
    if value is None or value is True or value is False:
        out.append({None: 0, True: 1, False: 2}[value])
    elif isinstance(value, int):
        small = -(2**31) <= value < 2**31
        out.append(3 if small else 4)
        out += struct.pack("<i" if small else "<q", value)
    elif isinstance(value, float):
        out.append(6)
        out += bytes(-len(out) % 8)  # Doubles are aligned from the message start.
        out += struct.pack("<d", value)
    elif isinstance(value, (str, bytes, bytearray)):
        data = value.encode("utf-8") if isinstance(value, str) else value
        out.append(7 if isinstance(value, str) else 8)
        _write_size(out, len(data))
        out += data
    elif isinstance(value, (list, tuple, dict)):
        out.append(13 if isinstance(value, dict) else 12)
        _write_size(out, len(value))
        for item in value.items() if isinstance(value, dict) else value:
            for part in item if isinstance(value, dict) else (item,):
                write_value(out, part)
    else:
        raise CodecError("cannot encode %r" % (value,))


_TYPED_LISTS = {9: (4, "i"), 10: (8, "q"), 11: (8, "d"), 14: (4, "f")}


class _Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, count):
        if self.pos + count > len(self.data):
            raise CodecError("truncated")
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def size(self):
        first = self.take(1)[0]
        if first < 254:
            return first
        return struct.unpack("<H" if first == 254 else "<I", self.take(2 if first == 254 else 4))[0]

    def value(self):
        tag = self.take(1)[0]
        if tag <= 2:
            return (None, True, False)[tag]
        if tag in (3, 4):
            return struct.unpack("<i" if tag == 3 else "<q", self.take(4 if tag == 3 else 8))[0]
        if tag == 6:
            self.take(-self.pos % 8)
            return struct.unpack("<d", self.take(8))[0]
        if tag in (5, 7):
            return self.take(self.size()).decode("utf-8")
        if tag == 8:
            return bytes(self.take(self.size()))
        if tag in _TYPED_LISTS:
            count = self.size()
            width, code = _TYPED_LISTS[tag]
            self.take(-self.pos % width)
            return list(struct.unpack("<%d%s" % (count, code), self.take(count * width)))
        if tag == 12:
            return [self.value() for _ in range(self.size())]
        if tag == 13:
            result = {}
            for _ in range(self.size()):
                key = self.value()
                result[key] = self.value()
            return result
        raise CodecError("unknown tag %d" % tag)


def encode_method_call(method, arguments=None):
    out = bytearray()
    write_value(out, method)
    write_value(out, arguments)
    return bytes(out)


class NotImplementedReply:
    def __repr__(self):
        return "NotImplemented"


NOT_IMPLEMENTED = NotImplementedReply()


class ChannelError(Exception):
    def __init__(self, code, message, details):
        super().__init__("%s: %s" % (code, message))
        self.code = code
        self.message = message
        self.details = details


def decode_reply(data):
    """The success value, NOT_IMPLEMENTED, or a ChannelError instance."""
    if not data:
        return NOT_IMPLEMENTED
    reader = _Reader(data)
    kind = reader.take(1)[0]
    if kind == 0:
        value = reader.value()
    elif kind == 1:
        value = ChannelError(reader.value(), reader.value(), reader.value())
    else:
        raise CodecError("unknown envelope %d" % kind)
    if reader.pos != len(data):
        raise CodecError("trailing bytes")
    return value


class Client:
    """Frames: u32 length, then u32 request id, u16 channel length, channel, message (requests)
    or u32 request id, reply (responses); little-endian."""

    def __init__(self, path, timeout=60.0):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(timeout)
        self.sock.connect(path)
        self.next_id = 1

    def close(self):
        self.sock.close()

    def _read_exactly(self, count):
        chunks = []
        while count:
            chunk = self.sock.recv(min(count, 1 << 20))
            if not chunk:
                raise ConnectionError("host closed the connection")
            chunks.append(chunk)
            count -= len(chunk)
        return b"".join(chunks)

    def send(self, channel, method, arguments=None):
        request_id = self.next_id
        self.next_id += 1
        name = channel.encode("utf-8")
        rest = (struct.pack("<IH", request_id, len(name)) + name +
                encode_method_call(method, arguments))
        self.sock.sendall(struct.pack("<I", len(rest)) + rest)
        return request_id

    def receive(self):
        length = struct.unpack("<I", self._read_exactly(4))[0]
        rest = self._read_exactly(length)
        return struct.unpack("<I", rest[:4])[0], rest[4:]

    def call_raw(self, channel, method, arguments=None):
        request_id = self.send(channel, method, arguments)
        got, reply = self.receive()
        if got != request_id:
            raise CodecError("reply for %d, expected %d" % (got, request_id))
        return reply

    def call(self, channel, method, arguments=None):
        return decode_reply(self.call_raw(channel, method, arguments))
