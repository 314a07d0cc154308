#!/usr/bin/env python3
"""The program run as systemd runs a Type=notify service, with a notify socket of the test's
own, read through the WebSocket endpoint and stopped with SIGTERM.

    VORN_BUILD_DIR=build/linux python3 service_linux_e2e.py
"""

import json
import os
import signal
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from notify_socket import NotifySocket  # noqa: E402
from program_folder import ProgramFolder, free_port  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402

READY_TIMEOUT = 15.0
EXIT_TIMEOUT = 20.0


class ServiceUnderSystemd(unittest.TestCase):
    def setUp(self):
        self.folder = ProgramFolder()
        self.port = free_port()
        self.folder.write_config(self.port)
        self.notify = NotifySocket()
        self.process = None
        self.environment = dict(os.environ)

    def tearDown(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.notify.close()
        self.folder.remove()

    def start(self):
        environment = dict(self.environment, NOTIFY_SOCKET=self.notify.path)
        self.process = subprocess.Popen([self.folder.program], cwd=self.folder.path,
                                        env=environment, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertTrue(self.notify.wait_for("READY=1", READY_TIMEOUT),
                        "no READY=1 among %r" % self.notify.messages)

    def stop(self):
        """Sends SIGTERM and returns the seconds until the process ended."""
        started = time.monotonic()
        self.process.send_signal(signal.SIGTERM)
        stdout, _ = self.process.communicate(timeout=EXIT_TIMEOUT)
        took = time.monotonic() - started
        self.assertEqual(self.process.returncode, 0)
        # Started by the service manager, nothing is written to the journal's standard output.
        self.assertEqual(stdout, b"")
        self.assertTrue(self.notify.wait_for("STOPPING=1", 1.0))
        self.assertTrue(self.notify.wait_for("STATUS=Stopped", 1.0), self.notify.messages)
        return took

    def test_reads_every_sample_card_over_one_connection(self):
        self.start()
        with WebSocketClient(self.port) as client:
            client.handshake()
            for card in self.folder.sample_cards():
                self.folder.lay_card(card)
                client.send_frame("readcard")
                reply = json.loads(client.receive_message())
                self.assertEqual(reply["ID"], self.folder.card_id(card), card)
                self.assertEqual(reply["result"], 0, reply["errmsg"])
            self.folder.lay_card(None)
            client.send_frame("readcard")
            reply = json.loads(client.receive_message())
            self.assertNotEqual(reply["result"], 0)
            self.assertTrue(reply["errmsg"].startswith("寻卡失败("), reply["errmsg"])
            # A ping is answered with a pong, and the connection serves on.
            self.folder.lay_card("resident_dated.ini")
            client.send_frame("readcard", opcode=0x9)
            client.send_frame("readcard")
            self.assertEqual(client.receive_frame(), (0x8A, b"readcard"))
            self.assertEqual(json.loads(client.receive_message())["ID"], "450103199207152538")
        self.assertLess(self.stop(), 1.0)

    def test_second_client_is_served_while_the_first_stays_connected(self):
        self.start()
        first = WebSocketClient(self.port)
        first.handshake()
        second = WebSocketClient(self.port)
        second.handshake()
        second.send_frame("readcard")
        self.assertEqual(json.loads(second.receive_message())["result"], 0)
        first.send_frame("readcard")
        self.assertEqual(json.loads(first.receive_message())["result"], 0)
        first.close()
        second.close()
        self.stop()

    def test_other_messages_end_the_connection_without_reply(self):
        self.start()
        for message in ("readcard\n", "READCARD", "", '"readidbase"'):
            with WebSocketClient(self.port) as client:
                client.handshake()
                client.send_frame(message)
                self.assertTrue(client.closed_by_server(), message)
        # A close is answered with a close frame first: its own code, 1000 without one, 1002
        # for a payload no close frame carries; an unmasked frame gets 1002 too.
        for payload, masked, code in ((b"", True, 1000), (b"\x0f\xa0", True, 4000),
                                      (b"readcard", True, 1002), (b"", False, 1002)):
            with WebSocketClient(self.port) as client:
                client.handshake()
                client.send_frame(payload, opcode=0x8, masked=masked)
                self.assertEqual(client.receive_frame(), (0x88, code.to_bytes(2, "big")))
                self.assertTrue(client.closed_by_server(), payload)
        # The service still answers afterwards.
        with WebSocketClient(self.port) as client:
            client.handshake()
            client.send_frame("readcard")
            self.assertEqual(json.loads(client.receive_message())["result"], 0)
        self.stop()

    def test_stop_with_an_idle_connected_client(self):
        self.start()
        client = WebSocketClient(self.port)
        client.handshake()
        took = self.stop()
        self.assertLess(took, 1.0)
        self.assertTrue(client.closed_by_server(timeout=1.0))
        client.close()
        # Everything was released, and a service started again at once listens on the port,
        # past the connection that lingers after the server closed it.
        self.notify.messages = []
        self.start()
        with WebSocketClient(self.port) as again:
            again.handshake()
            again.send_frame("readcard")
            self.assertEqual(json.loads(again.receive_message())["result"], 0)
        self.stop()

    def test_stop_while_the_driver_never_returns(self):
        # The reader driver's card search blocks for an hour.
        self.folder.write("simulator.ini",
                          "[Reader]\ncard = cards/resident_dated.ini\nfind_delay = 3600000\n")
        self.start()
        client = WebSocketClient(self.port)
        client.handshake()
        client.send_frame("readcard")
        time.sleep(0.5)
        took = self.stop()
        self.assertLess(took, 10.0)
        self.assertGreater(took, 4.0)
        self.assertTrue(client.closed_by_server(timeout=1.0))
        client.close()

    def test_stop_leaves_no_private_folder_of_a_read_left_behind(self):
        # The driver answers, and the read makes its private folder; then the decoder takes
        # longer than the stop waits, and the process ends around the read.
        temporary = os.path.join(self.folder.path, "tmp")
        os.mkdir(temporary)
        self.environment["TMPDIR"] = temporary
        self.folder.write("simulator.ini", "[Reader]\ncard = cards/resident_dated.ini\n"
                          "[PhotoDecoder]\ndelay = 8000\n")
        self.start()
        client = WebSocketClient(self.port)
        client.handshake()
        client.send_frame("readcard")
        deadline = time.monotonic() + 5.0
        while not os.listdir(temporary) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertNotEqual(os.listdir(temporary), [])
        self.stop()
        client.close()
        self.assertEqual(os.listdir(temporary), [])

    def test_busy_port_shows_in_the_status_and_the_service_recovers(self):
        holder = socket.socket()
        holder.bind(("127.0.0.1", self.port))
        holder.listen(1)
        try:
            self.start()
            waiting = "STATUS=Running: not listening on 127.0.0.1:%d" % self.port
            self.assertTrue(self.wait_for_message_with(waiting, 5.0), self.notify.messages)
            self.assertIsNone(self.process.poll())
        finally:
            holder.close()
        # Tried again within its interval; the status goes back to the plain state.
        self.notify.messages = []
        self.assertTrue(self.notify.wait_for("STATUS=Running", 10.0), self.notify.messages)
        with WebSocketClient(self.port) as client:
            client.handshake()
            client.send_frame("readcard")
            self.assertEqual(json.loads(client.receive_message())["result"], 0)
        self.stop()

    def wait_for_message_with(self, text, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if any(text in m for m in self.notify.messages):
                return True
            self.notify.wait_for("READY=never", 0.2)
        return False

    def test_port_in_use_leaves_the_service_running_and_stoppable(self):
        with socket.socket() as holder:
            holder.bind(("127.0.0.1", self.port))
            holder.listen(1)
            self.start()
            time.sleep(0.3)
            self.assertIsNone(self.process.poll())
            self.assertLess(self.stop(), 1.0)

    def test_status_reports(self):
        self.start()
        self.stop()
        first = self.notify.messages[0].split("\n")
        self.assertIn("STATUS=Start pending", " ".join(first))
        ready = [m for m in self.notify.messages if "READY=1" in m.split("\n")]
        self.assertIn("STATUS=Running", ready[0].split("\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
