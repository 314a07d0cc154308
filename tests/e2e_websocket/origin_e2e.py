#!/usr/bin/env python3
"""The allowed-origins setting of the WebSocket endpoint, on the running service: a listed
origin reads the card; another origin, or none, gets the 403 answer and the card is not read
(the trace shows no driver call for it); without the setting every origin is served.

    VORN_BUILD_DIR=build/linux python3 origin_e2e.py
    VORN_BUILD_DIR=build/windows-x64 python3 origin_e2e.py -- RUNNER...

On Linux the program runs as systemd would run it, with a notify socket of the test's own;
with RUNNER (the Windows build under Wine) it is installed and started as a service.
"""

import json
import os
import signal
import socket
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import service_wine_e2e as wine  # noqa: E402
from notify_socket import NotifySocket  # noqa: E402
from program_folder import ProgramFolder, free_port  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402
from wine_prefix import HeldSession  # noqa: E402

REFUSED = (b"HTTP/1.1 403 Forbidden\r\nAccess-Control-Allow-Origin: *\r\n"
           b"Content-Length: 0\r\nConnection: close\r\n\r\n")
ALLOWED = "https://counter.example.com"
# The driver binding's read, as it shows in the trace.
CARD_READ = "CSdtFunc::ReadIDCard"
READY_TIMEOUT = 15.0
EXIT_TIMEOUT = 20.0
RUNNER = []


class RunningService:
    """The program serving its endpoint as a service, until stop()."""

    def __init__(self, folder):
        self.folder = folder
        self.process = None
        self.notify = None
        if RUNNER:
            wine.RUNNER = RUNNER
            wine.run([folder.program, "-remove"])
            code, text = wine.run([folder.program, "-install"])
            if text != "VornIdReader is installed.\n":
                raise AssertionError("install printed %r (exit %d)" % (text, code))
            return
        self.notify = NotifySocket()
        environment = dict(os.environ, NOTIFY_SOCKET=self.notify.path)
        self.process = subprocess.Popen([folder.program], cwd=folder.path, env=environment,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        if not self.notify.wait_for("READY=1", READY_TIMEOUT):
            raise AssertionError("no READY=1 among %r" % self.notify.messages)

    def stop(self):
        if RUNNER:
            wine.run([self.folder.program, "-remove"])
            return
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=EXIT_TIMEOUT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.notify.close()


class AllowedOrigins(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = HeldSession(RUNNER)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def start(self, security="", before=""):
        self.folder = ProgramFolder()
        self.addCleanup(self.folder.remove)
        self.port = free_port()
        self.folder.write("config.ini", "%s[Bind]\nip=127.0.0.1\nport=%d\nlog=1\n%s" % (
            before, self.port, security))
        os.mkdir(os.path.join(self.folder.path, "QD_LOG"))
        service = RunningService(self.folder)
        self.addCleanup(service.stop)
        if RUNNER:
            self.assertTrue(wine.wait_until_listening(self.port, wine.START_TIMEOUT))

    def trace(self):
        folder = os.path.join(self.folder.path, "QD_LOG")
        text = ""
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), "rb") as f:
                text += f.read().decode("utf-16-le", "replace")
        return text

    def read_card(self, origin):
        with WebSocketClient(self.port, timeout=60) as client:
            client.handshake(origin=origin)
            client.send_frame("readcard")
            reply = json.loads(client.receive_message())
        self.assertEqual(reply["result"], 0, reply["errmsg"])
        self.assertEqual(reply["ID"], self.folder.card_id("resident_long_term.ini"))

    def refusal(self, origin_line):
        """All the server sends to an opening request with that Origin line, then closes."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=30) as sock:
            sock.sendall(("GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUpgrade: websocket\r\n"
                          "Connection: Upgrade\r\n%sSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ=="
                          "\r\nSec-WebSocket-Version: 13\r\n\r\n" % (self.port, origin_line)
                          ).encode())
            received = b""
            while True:
                chunk = sock.recv(4096)
                if not chunk:
                    return received
                received += chunk

    def test_only_listed_origins_read_the_card(self):
        self.start("[Security]\nallowed_origins = http://localhost:8080 , %s/\n" % ALLOWED)
        self.read_card(ALLOWED.upper().replace("HTTPS", "https"))
        reads = self.trace().count(CARD_READ)
        self.assertGreater(reads, 0)

        for line in ("Origin: https://evil.example\r\n", "",
                     "Origin: %s.evil.example\r\n" % ALLOWED,
                     "Origin: %s\r\nOrigin: https://evil.example\r\n" % ALLOWED):
            self.assertEqual(self.refusal(line), REFUSED, repr(line))
        trace = self.trace()
        self.assertEqual(trace.count(CARD_READ), reads, "a refused client had the card read")
        self.assertIn('origin "https://evil.example" is not among the allowed origins', trace)
        self.assertIn("the request names no single origin", trace)

        # The service goes on serving the listed origins.
        self.read_card("http://localhost:8080")

    def test_without_the_setting_every_origin_is_served(self):
        self.start("[Security]\nallowed_origins =\n")
        for origin in ("https://evil.example", None, "null"):
            self.read_card(origin)

    def test_a_list_read_in_part_admits_no_origin(self):
        # A byte order mark in front of the first section keeps the list in force.
        self.start(before="\ufeff[Security]\nallowed_origins=%s\n" % ALLOWED)
        self.read_card(ALLOWED)
        self.assertEqual(self.refusal("Origin: https://evil.example\r\n"), REFUSED)

        # A list longer than can be read would end in "http://localhost:80" when cut; a list
        # past the part of the file that is read would be no list at all. Neither admits anyone.
        cut_after = "http://localhost:80"
        long_list = "https://%s.example, " % ("a" * (4095 - len(cut_after) - 18))
        for security, why in (
                ("[Security]\nallowed_origins=%shttp://localhost:8080\n" % long_list,
                 "longer than"),
                (";%s\n[Security]\nallowed_origins=%s\n" % ("x" * (1 << 20), ALLOWED),
                 "first 1 MiB")):
            with self.subTest(why=why):
                self.start(security)
                if RUNNER and why == "first 1 MiB":
                    # Windows reads the whole file: there the list is in force whole.
                    self.read_card(ALLOWED)
                    self.assertEqual(self.refusal("Origin: http://localhost\r\n"), REFUSED)
                    continue
                for origin in ("http://localhost", ALLOWED, "http://localhost:8080"):
                    self.assertEqual(self.refusal("Origin: %s\r\n" % origin), REFUSED, origin)
                self.assertEqual(self.trace().count(CARD_READ), 0)
                self.assertIn(why, self.trace())
                if not RUNNER:
                    self.assertIn(why, self.self_test_line())

    def self_test_line(self):
        """The self-test's line of settings, from a run in the program's folder."""
        environment = {k: v for k, v in os.environ.items() if k != "NOTIFY_SOCKET"}
        done = subprocess.run([self.folder.program, "-selftest"], cwd=self.folder.path,
                              env=environment, capture_output=True, timeout=60)
        for line in done.stdout.decode("utf-8").splitlines():
            if "config.ini:" in line:
                self.assertTrue(line.startswith("[FAIL]"), line)
                self.assertIn("allowed origins: none (", line)
                return line
        self.fail(done.stdout)


if __name__ == "__main__":
    if "--" in sys.argv:
        cut = sys.argv.index("--")
        RUNNER = sys.argv[cut + 1:]
        sys.argv = sys.argv[:cut]
    unittest.main(verbosity=2)
