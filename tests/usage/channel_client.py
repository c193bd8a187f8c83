"""A client of the host's socket: the standard method codec and the transport's frames.

Used by the end-to-end test and the benchmark script; standard library only.
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


def _align(out, alignment):
    while len(out) % alignment:
        out.append(0)


def write_value(out, value):
    if value is None:
        out.append(0)
    elif value is True:
        out.append(1)
    elif value is False:
        out.append(2)
    elif isinstance(value, int):
        if -(2**31) <= value < 2**31:
            out.append(3)
            out += struct.pack("<i", value)
        else:
            out.append(4)
            out += struct.pack("<q", value)
    elif isinstance(value, float):
        out.append(6)
        _align(out, 8)
        out += struct.pack("<d", value)
    elif isinstance(value, str):
        data = value.encode("utf-8")
        out.append(7)
        _write_size(out, len(data))
        out += data
    elif isinstance(value, (bytes, bytearray)):
        out.append(8)
        _write_size(out, len(value))
        out += value
    elif isinstance(value, (list, tuple)):
        out.append(12)
        _write_size(out, len(value))
        for item in value:
            write_value(out, item)
    elif isinstance(value, dict):
        out.append(13)
        _write_size(out, len(value))
        for key, item in value.items():
            write_value(out, key)
            write_value(out, item)
    else:
        raise CodecError("cannot encode %r" % (value,))


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

    def align(self, alignment):
        if self.pos % alignment:
            self.take(alignment - self.pos % alignment)

    def size(self):
        first = self.take(1)[0]
        if first < 254:
            return first
        if first == 254:
            return struct.unpack("<H", self.take(2))[0]
        return struct.unpack("<I", self.take(4))[0]

    def value(self):
        tag = self.take(1)[0]
        if tag == 0:
            return None
        if tag == 1:
            return True
        if tag == 2:
            return False
        if tag == 3:
            return struct.unpack("<i", self.take(4))[0]
        if tag == 4:
            return struct.unpack("<q", self.take(8))[0]
        if tag == 6:
            self.align(8)
            return struct.unpack("<d", self.take(8))[0]
        if tag in (5, 7):
            return self.take(self.size()).decode("utf-8")
        if tag == 8:
            return bytes(self.take(self.size()))
        if tag in (9, 10, 11, 14):
            count = self.size()
            width, code = {9: (4, "i"), 10: (8, "q"), 11: (8, "d"), 14: (4, "f")}[tag]
            self.align(width)
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
        message = encode_method_call(method, arguments)
        rest = struct.pack("<IH", request_id, len(name)) + name + message
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
