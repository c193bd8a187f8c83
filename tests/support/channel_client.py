"""A client of the host's socket: its frames and the standard method codec, as far as the
end-to-end tests need them."""

import socket
import struct


class CodecError(Exception):
    pass


def _write_size(out, size):
    out += bytes([size]) if size < 254 else (
        b"\xfe" + struct.pack("<H", size) if size <= 0xFFFF else b"\xff" + struct.pack("<I", size))


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
    elif isinstance(value, str):
        data = value.encode("utf-8")
        out.append(7)
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


class _Reader:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, count):
        if self.pos + count > len(self.data):
            raise CodecError("truncated")
        self.pos += count
        return self.data[self.pos - count:self.pos]

    def size(self):
        first = self.take(1)[0]
        return first if first < 254 else struct.unpack("<H" if first == 254 else "<I", self.take(2 if first == 254 else 4))[0]

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
        raise CodecError("unknown tag %d" % tag)


NOT_IMPLEMENTED = object()  # the empty reply


class ChannelError(Exception):
    def __init__(self, code, message, details):
        super().__init__("%s: %s" % (code, message))
        self.code, self.message, self.details = code, message, details


def decode_reply(data):
    """The success value, NOT_IMPLEMENTED, or a ChannelError instance."""
    if not data:
        return NOT_IMPLEMENTED
    reader = _Reader(data)
    kind = reader.take(1)[0]
    value = reader.value() if kind == 0 else ChannelError(reader.value(), reader.value(),
                                                          reader.value())
    if reader.pos != len(data):
        raise CodecError("trailing bytes")
    return value


class Client:
    """Frames (little-endian): u32 length, u32 request id, then u16 channel length, channel and
    message (requests) or the reply (responses)."""

    def __init__(self, path, timeout=60.0):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(timeout)
        self.sock.connect(path)
        self.next_id = 1

    def close(self):
        self.sock.close()

    def _read_exactly(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise ConnectionError("host closed the connection")
            data += chunk
        return data

    def send(self, channel, method, arguments=None):
        request_id, self.next_id = self.next_id, self.next_id + 1
        name = channel.encode("utf-8")
        message = bytearray()
        write_value(message, method)
        write_value(message, arguments)
        rest = struct.pack("<IH", request_id, len(name)) + name + message
        self.sock.sendall(struct.pack("<I", len(rest)) + rest)
        return request_id

    def call_raw(self, channel, method, arguments=None):
        request_id = self.send(channel, method, arguments)
        length = struct.unpack("<I", self._read_exactly(4))[0]
        rest = self._read_exactly(length)
        if struct.unpack("<I", rest[:4])[0] != request_id:
            raise CodecError("a reply for another request")
        return rest[4:]

    def call(self, channel, method, arguments=None):
        return decode_reply(self.call_raw(channel, method, arguments))
