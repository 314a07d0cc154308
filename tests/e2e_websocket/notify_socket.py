"""The datagram socket that systemd listens on for a Type=notify service, made by a test."""

import os
import socket
import tempfile
import time


class NotifySocket:
    """The datagram socket systemd would listen on, with every message it received."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="vorn-notify-")
        self.path = os.path.join(self.folder, "notify")
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind(self.path)
        self.messages = []

    def wait_for(self, field, timeout):
        """Waits until a message holds the field (such as READY=1); True when one did."""
        deadline = time.monotonic() + timeout
        while not any(field in m.split("\n") for m in self.messages):
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            self.sock.settimeout(left)
            try:
                self.messages.append(self.sock.recv(4096).decode("utf-8"))
            except socket.timeout:
                return False
        return True

    def close(self):
        self.sock.close()
        os.unlink(self.path)
        os.rmdir(self.folder)
