#!/usr/bin/env python3
"""The WebSocket endpoint with many clients at once, driven over loopback as browsers and
hostile programs would: nobody holds up anyone, pieces and pipelined frames are answered,
every reply is complete and correct.

    VORN_BUILD_DIR=build/linux python3 endpoint_clients_e2e.py
    VORN_BUILD_DIR=build/windows-x64 python3 endpoint_clients_e2e.py -- RUNNER...
"""

import json
import os
import socket
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from endpoint_process import Endpoint  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402

RUNNER = []
CARD_ID = "11010119650312158X"
# Under Wine a read takes longer, and the first one longer still.
CLIENT_TIMEOUT = 60.0


def read_card(client):
    client.send_frame("readcard")
    return json.loads(client.receive_message())


def timed_read(port):
    """Connects, reads the card, and returns the reply and the seconds it took."""
    started = time.monotonic()
    with WebSocketClient(port, timeout=CLIENT_TIMEOUT) as client:
        client.handshake()
        reply = read_card(client)
    return reply, time.monotonic() - started


class EndpointClients(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.endpoint = Endpoint(RUNNER)
        cls.endpoint.start()
        cls.port = cls.endpoint.port

    @classmethod
    def tearDownClass(cls):
        cls.endpoint.stop()
        cls.endpoint.close()

    def test_idle_and_never_reading_clients_hold_nobody_up(self):
        _, alone = timed_read(self.port)
        alone = max(alone, timed_read(self.port)[1])
        idle = []
        try:
            for _ in range(100):
                client = WebSocketClient(self.port, timeout=CLIENT_TIMEOUT)
                idle.append(client)
                client.handshake()
            # A client that asks for replies and never reads them, with a receive buffer
            # that fills at once.
            sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            sock.settimeout(CLIENT_TIMEOUT)
            sock.connect(("127.0.0.1", self.port))
            stalled = WebSocketClient.__new__(WebSocketClient)
            stalled.sock = sock
            stalled.send = sock.sendall
            idle.append(stalled)
            stalled.handshake()
            for _ in range(20):
                stalled.send_frame("readcard")
            time.sleep(alone + 0.2)
            # Reads are one at a time, so at most one of the stalled client's reads is ahead
            # of the newcomer's; its not reading holds nobody.
            for _ in range(3):
                reply, crowded = timed_read(self.port)
                self.assertEqual(reply["ID"], CARD_ID)
                self.assertEqual(reply["result"], 0)
                self.assertLess(crowded, 2 * alone + 1.0, (crowded, alone))
            # The idle ones are still served.
            self.assertEqual(read_card(idle[0])["ID"], CARD_ID)
        finally:
            for client in idle:
                client.close()

    def test_two_clients_sending_at_the_same_moment(self):
        clients = [WebSocketClient(self.port, timeout=CLIENT_TIMEOUT) for _ in range(2)]
        replies = [None, None]
        start = threading.Barrier(2)

        def read(index):
            start.wait()
            clients[index].send_frame("readcard")
            replies[index] = clients[index].receive_message()

        try:
            for client in clients:
                client.handshake()
            threads = [threading.Thread(target=read, args=(i,)) for i in range(2)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join(CLIENT_TIMEOUT * 2)
            for text in replies:
                self.assertIsNotNone(text)
                reply = json.loads(text)
                self.assertEqual(reply["ID"], CARD_ID)
                self.assertEqual(reply["result"], 0, reply["errmsg"])
                self.assertGreater(len(reply["frontImg"]), 1000)
            self.assertEqual(replies[0], replies[1])
        finally:
            for client in clients:
                client.close()

    def test_handshake_written_one_byte_at_a_time(self):
        with WebSocketClient(self.port, timeout=CLIENT_TIMEOUT) as client:
            real_send = client.sock.sendall

            def one_byte_at_a_time(data):
                for i in range(len(data)):
                    real_send(data[i:i + 1])
                    time.sleep(0.002)

            client.send = one_byte_at_a_time
            client.handshake()
            client.send = real_send
            self.assertEqual(read_card(client)["ID"], CARD_ID)

    def test_three_frames_in_one_write_get_three_replies_in_order(self):
        with WebSocketClient(self.port, timeout=CLIENT_TIMEOUT) as client:
            client.handshake()
            frames = []
            real_send = client.sock.sendall
            client.send = frames.append
            client.send_frame("readcard")
            client.send_frame("readcard", opcode=0x9)  # a ping: a pong after the reply
            client.send_frame("readcard")
            client.send_frame("readcard\n")  # not a command: ends the connection, no reply
            client.send = real_send
            client.sock.sendall(b"".join(frames))
            self.assertEqual(json.loads(client.receive_message())["ID"], CARD_ID)
            self.assertEqual(client.receive_frame(), (0x8A, b"readcard"))
            self.assertEqual(json.loads(client.receive_message())["ID"], CARD_ID)
            self.assertTrue(client.closed_by_server())

    def test_close_and_frames_the_endpoint_does_not_take_get_a_close_frame(self):
        for opcode, payload, code in ((0x8, b"\x03\xe8", 1000), (0x8, b"", 1000),
                                      (0x2, b"readcard", 1003), (0x3, b"readcard", 1002)):
            with WebSocketClient(self.port, timeout=CLIENT_TIMEOUT) as client:
                client.handshake()
                client.send_frame(payload, opcode=opcode)
                self.assertEqual(client.receive_frame(), (0x88, code.to_bytes(2, "big")))
                self.assertTrue(client.closed_by_server())

    def test_garbage_and_half_requests_end_only_their_own_connection(self):
        hostile = []
        try:
            for data in (b"\x00\xff" * 600, b"GET / HTTP/1.1\r\nSec-WebSocket-Key: x\r\n",
                         b"x" * 5000):
                sock = socket.create_connection(("127.0.0.1", self.port), timeout=10)
                hostile.append(sock)
                sock.sendall(data)
            reply, _ = timed_read(self.port)
            self.assertEqual(reply["ID"], CARD_ID)
            # The half request is closed when its few seconds are up.
            hostile[1].settimeout(15)
            self.assertEqual(hostile[1].recv(1), b"")
        finally:
            for sock in hostile:
                sock.close()


if __name__ == "__main__":
    if "--" in sys.argv:
        cut = sys.argv.index("--")
        RUNNER = sys.argv[cut + 1:]
        sys.argv = sys.argv[:cut]
    unittest.main(verbosity=2)
