#!/usr/bin/env python3
"""The endpoint run by hand with "-run" (Linux also "--run"): it serves as the service does,
prints a line per connection and request, and stops on SIGTERM or Ctrl+C as the service
stops; a busy port shows and is recovered from.

    VORN_BUILD_DIR=build/linux python3 foreground_run_e2e.py
    VORN_BUILD_DIR=build/windows-x64 python3 foreground_run_e2e.py -- RUNNER...
"""

import json
import os
import re
import signal
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from endpoint_process import Endpoint  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402

RUNNER = []
CLIENT_TIMEOUT = 60.0
ORIGIN = "https://counter.example.com"


def wait_for_text(endpoint, pattern, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if re.search(pattern, endpoint.text()):
            return True
        time.sleep(0.2)
    return False


class ForegroundRun(unittest.TestCase):
    def setUp(self):
        self.endpoint = Endpoint(RUNNER, foreground=True)

    def tearDown(self):
        self.endpoint.close()

    def read_with_origin(self):
        with WebSocketClient(self.endpoint.port, timeout=CLIENT_TIMEOUT) as client:
            client.sock.sendall(
                ("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: %s\r\n"
                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n" % ORIGIN).encode())
            self.assertEqual(client.receive_exactly(12), b"HTTP/1.1 101")
            client.receive_exactly(129 - 12)
            # The service says who it is without touching the reader, and the same
            # connection then reads the card.
            client.send_frame("version")
            version = json.loads(client.receive_message())
            client.send_frame("readcard")
            reply = json.loads(client.receive_message())
        self.assertEqual(version["name"], "VornIdReader")
        self.assertRegex(version["version"], r"^\d+\.\d+\.\d+$")
        self.assertEqual(version["replyFormat"], 1)
        self.assertEqual(version["messages"], ["readcard", "unwatch", "version", "watch"])
        self.assertEqual(reply["ID"], "11010119650312158X")
        self.assertTrue(wait_for_text(self.endpoint, r"closed: ", 10), self.endpoint.text())
        return reply

    def assert_lines_of_one_read(self):
        text = self.endpoint.text()
        peer = r"127\.0\.0\.1:\d+"
        self.assertRegex(text, r"%s connected, origin %s\n" % (peer, re.escape(ORIGIN)))
        self.assertRegex(text, r"%s request, origin %s: result 0, \d+ ms\n"
                         % (peer, re.escape(ORIGIN)))
        self.assertRegex(text, r"%s closed: " % peer)

    def test_serves_prints_and_stops(self):
        self.endpoint.start()
        self.assertIn("Serving ws://127.0.0.1:%d/" % self.endpoint.port, self.endpoint.text())
        self.read_with_origin()
        self.assert_lines_of_one_read()
        # SIGTERM on Linux; Wine turns SIGINT into the console's Ctrl+C.
        took = self.endpoint.stop(signal.SIGINT if RUNNER else signal.SIGTERM)
        self.assertEqual(self.endpoint.process.returncode, 0, self.endpoint.text())
        self.assertLess(took, 10.0)
        self.assertTrue(self.endpoint.text().endswith("Stopping.\nStopped.\n"),
                        self.endpoint.text())

    def test_console_shows_the_real_port_the_end_of_a_connection_and_escaped_origins(self):
        # The low 16 bits of 65536 are 0: the system picks the port.
        self.endpoint.folder.write_config(65536)
        self.endpoint.start()
        match = re.search(r"Serving ws://127\.0\.0\.1:(\d+)/", self.endpoint.text())
        port = int(match.group(1))
        self.assertNotEqual(port, 0, self.endpoint.text())
        with WebSocketClient(port, timeout=CLIENT_TIMEOUT) as client:
            client.handshake(origin="https://a.example\x1b[2J\rforged line")
            client.send_frame(b"\x03\xe8", opcode=0x8)
            self.assertEqual(client.receive_frame(), (0x88, b"\x03\xe8"))
        self.assertTrue(wait_for_text(self.endpoint, r"closed: ", 10), self.endpoint.text())
        text = self.endpoint.text()
        self.assertIn("connected, origin https://a.example?[2J?forged line\n", text)
        self.assertNotIn("\x1b", text)
        self.assertRegex(text, r"127\.0\.0\.1:\d+ closed: Client is close\.\n")

    def test_console_read_by_a_program_that_quits_early(self):
        if RUNNER:
            self.skipTest("a closed pipe ends no process under Wine")
        # As with "VornIdReader -run | head -1": the first line is read, then the pipe closes.
        self.endpoint.process = subprocess.Popen(
            [self.endpoint.folder.program, "-run"], cwd=self.endpoint.folder.path,
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            env={k: v for k, v in os.environ.items() if k != "NOTIFY_SOCKET"})
        self.assertIn(b"Serving ws://", self.endpoint.process.stdout.readline())
        self.endpoint.process.stdout.close()
        for _ in range(2):
            with WebSocketClient(self.endpoint.port, timeout=CLIENT_TIMEOUT) as client:
                client.handshake()
                client.send_frame("readcard")
                self.assertEqual(json.loads(client.receive_message())["result"], 0)
        self.assertIsNone(self.endpoint.process.poll())
        self.endpoint.stop(signal.SIGTERM)
        self.assertEqual(self.endpoint.process.returncode, 0)

    def test_long_switch_and_ctrl_c(self):
        if RUNNER:
            self.skipTest("started here as a Linux program, without the Wine runner")
        program = self.endpoint.folder.program
        self.endpoint.process = subprocess.Popen(
            [program, "--run"], cwd=self.endpoint.folder.path, stdin=subprocess.DEVNULL,
            stdout=self.endpoint.output, stderr=subprocess.STDOUT,
            env={k: v for k, v in os.environ.items() if k != "NOTIFY_SOCKET"})
        self.assertTrue(wait_for_text(self.endpoint, "Serving ws://", 30), self.endpoint.text())
        self.read_with_origin()
        self.endpoint.stop(signal.SIGINT)
        self.assertEqual(self.endpoint.process.returncode, 0)

    def test_busy_port_is_reported_and_recovered(self):
        holder = socket.socket()
        holder.bind(("127.0.0.1", self.endpoint.port))
        holder.listen(1)
        try:
            self.endpoint.start()
            self.assertTrue(wait_for_text(self.endpoint, r"not listening on 127\.0\.0\.1:%d"
                                          % self.endpoint.port, 10), self.endpoint.text())
        finally:
            holder.close()
        self.assertTrue(wait_for_text(self.endpoint, r"listening on 127\.0\.0\.1:%d again"
                                      % self.endpoint.port, 20), self.endpoint.text())
        self.read_with_origin()
        self.endpoint.stop(signal.SIGINT if RUNNER else signal.SIGTERM)
        self.assertEqual(self.endpoint.process.returncode, 0)

    def test_driver_that_does_not_load_is_named_once(self):
        folder = self.endpoint.folder
        driver = "sdtapi.dll" if folder.windows else "libsdtapi.so"
        folder.write(driver, "[Reader]\n")
        self.endpoint.start()
        for _ in range(2):
            with WebSocketClient(self.endpoint.port, timeout=CLIENT_TIMEOUT) as client:
                client.handshake()
                client.send_frame("readcard")
                # The reply is the binding's failure, as callers know it.
                self.assertEqual(json.loads(client.receive_message())["result"], -11)
        self.assertTrue(wait_for_text(self.endpoint, r"result -11.*\n(.|\n)*result -11", 10),
                        self.endpoint.text())
        named = re.findall(r"Error: %s in .* is no library \(" % re.escape(driver),
                           self.endpoint.text())
        self.assertEqual(len(named), 1, self.endpoint.text())
        self.endpoint.stop(signal.SIGINT if RUNNER else signal.SIGTERM)


if __name__ == "__main__":
    if "--" in sys.argv:
        cut = sys.argv.index("--")
        RUNNER = sys.argv[cut + 1:]
        sys.argv = sys.argv[:cut]
    unittest.main(verbosity=2)
