"""A WebSocket client of the tests' own that speaks raw frames (RFC 6455), with time-outs."""

import base64
import hashlib
import os
import socket
import struct

GUID = b"258EAFA5-E914-47DA-95CA-C5AB0DC85B11"
DEFAULT_TIMEOUT = 20.0


class ConnectionClosed(Exception):
    """The server ended the connection."""


class WebSocketClient:
    def __init__(self, port, host="127.0.0.1", timeout=DEFAULT_TIMEOUT):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.sock.settimeout(timeout)
        # How handshake and send_frame put bytes on the wire; a test may send them otherwise
        # (in pieces, or several frames together).
        self.send = self.sock.sendall

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def receive_exactly(self, size):
        data = b""
        while len(data) < size:
            chunk = self.sock.recv(size - len(data))
            if not chunk:
                raise ConnectionClosed("after %d of %d bytes" % (len(data), size))
            data += chunk
        return data

    def handshake(self, timeout=None, path="/", exact=True, origin=None):
        """Sends an opening request (with an Origin header when given) and checks the
        response's accept value; with exact, the response must be the fixed four lines of
        the program's server."""
        key = base64.b64encode(os.urandom(16))
        host = "%s:%d" % self.sock.getpeername()
        request = ("GET %s HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\n"
                   "Connection: Upgrade\r\n%sSec-WebSocket-Key: " % (
                       path, host, "" if origin is None else "Origin: %s\r\n" % origin)
                   ).encode() + key + (
                   b"\r\nSec-WebSocket-Version: 13\r\n\r\n")
        self.send(request)
        if timeout is not None:
            self.sock.settimeout(timeout)
        response = b""
        while not response.endswith(b"\r\n\r\n"):
            chunk = self.sock.recv(1)
            if not chunk:
                raise ConnectionClosed("during the handshake")
            response += chunk
        self.sock.settimeout(DEFAULT_TIMEOUT)
        accept = base64.b64encode(hashlib.sha1(key + GUID).digest())
        if not exact and b"Sec-WebSocket-Accept: " + accept + b"\r\n" not in response:
            raise AssertionError("wrong accept value in %r" % response)
        expected = (b"HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                    b"Connection: Upgrade\r\nSec-WebSocket-Accept: " + accept + b"\r\n\r\n")
        if exact and response != expected:
            raise AssertionError("unexpected handshake response %r" % response)
        return response

    def send_frame(self, payload, opcode=0x1, masked=True):
        if isinstance(payload, str):
            payload = payload.encode("utf-8")
        header = bytes([0x80 | opcode])
        mask_bit = 0x80 if masked else 0
        n = len(payload)
        if n <= 125:
            header += bytes([mask_bit | n])
        elif n <= 0xFFFF:
            header += bytes([mask_bit | 126]) + struct.pack(">H", n)
        else:
            header += bytes([mask_bit | 127]) + struct.pack(">Q", n)
        if masked:
            key = os.urandom(4)
            payload = bytes(b ^ key[i % 4] for i, b in enumerate(payload))
            header += key
        self.send(header + payload)

    def receive_frame(self):
        """The first byte and payload of one frame from the server."""
        first, second = self.receive_exactly(2)
        if second & 0x80:
            raise AssertionError("server frame is masked")
        length = second & 0x7F
        if length == 126:
            length = struct.unpack(">H", self.receive_exactly(2))[0]
        elif length == 127:
            length = struct.unpack(">Q", self.receive_exactly(8))[0]
        return first, self.receive_exactly(length)

    def receive_message(self):
        """The text of one reply frame; raises ConnectionClosed when none comes."""
        first, payload = self.receive_frame()
        if first != 0x81:
            raise AssertionError("reply frame starts with 0x%02x" % first)
        return payload.decode("utf-8")

    def closed_by_server(self, timeout=10.0):
        """True when the server ends the connection without sending anything more."""
        self.sock.settimeout(timeout)
        try:
            return self.sock.recv(1) == b""
        except ConnectionResetError:
            return True
        except socket.timeout:
            return False
        finally:
            self.sock.settimeout(DEFAULT_TIMEOUT)

    def silent_for(self, seconds):
        """True when nothing arrives and the connection stays open for that long."""
        self.sock.settimeout(seconds)
        try:
            self.sock.recv(1)
            return False
        except socket.timeout:
            return True
        finally:
            self.sock.settimeout(DEFAULT_TIMEOUT)
