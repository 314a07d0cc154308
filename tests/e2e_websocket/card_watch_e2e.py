#!/usr/bin/env python3
"""Pages watching the reader: the program pushes each card laid down once, read as a
"readcard" reads it, and "removed" when it is taken away, to every watching connection, while
other connections' reads go on; a driver hung in a look does not hold up the stop.

    VORN_BUILD_DIR=build/linux python3 card_watch_e2e.py
    VORN_BUILD_DIR=build/windows-x64 python3 card_watch_e2e.py -- RUNNER...
"""

import json
import os
import signal
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from endpoint_process import Endpoint  # noqa: E402
from wine_prefix import HeldSession  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402

RUNNER = []
# Under Wine a read takes longer, and the first one longer still.
CLIENT_TIMEOUT = 60.0
WATCHING = '{"event":"watching"}'
REMOVED = '{"event":"removed"}'
UNWATCHED = '{"event":"unwatched"}'
CALL_LOG = "calls.log"
READ_DELAY_MS = 300


def lay(endpoint, card, extra=""):
    """Lays a card on the simulated reader (None: takes it away) the way a benchmark does:
    the whole description renamed over the old one, so every driver call sees one or the
    other."""
    text = "[Reader]\ncall_log = %s\nread_delay = %d\n%s" % (CALL_LOG, READ_DELAY_MS, extra)
    if card:
        text += "card = cards/%s\n" % card
    endpoint.folder.write("simulator.ini.new", text)
    os.replace(os.path.join(endpoint.folder.path, "simulator.ini.new"),
               os.path.join(endpoint.folder.path, "simulator.ini"))


def calls(endpoint, name):
    path = os.path.join(endpoint.folder.path, CALL_LOG)
    if not os.path.exists(path):
        return 0
    with open(path, encoding="ascii") as log:
        return sum(1 for line in log if line.split()[1] == name)


def connect(port):
    client = WebSocketClient(port, timeout=CLIENT_TIMEOUT)
    client.handshake()
    return client


class CardWatch(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Under Wine the prefix's server is held for both tests, and ended with what the
        # hung driver left behind.
        cls.session = HeldSession(RUNNER)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.endpoint = Endpoint(RUNNER, card=None)
        lay(self.endpoint, None)
        self.clients = []

    def tearDown(self):
        for client in self.clients:
            client.close()
        self.endpoint.close()

    def client(self):
        client = connect(self.endpoint.port)
        self.clients.append(client)
        return client

    def test_watchers_get_each_card_once_and_other_reads_go_on(self):
        self.endpoint.start()
        first, second, other = self.client(), self.client(), self.client()
        # A watcher that never reads, with a receive buffer that fills at once: it holds
        # nobody up below.
        stalled = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        stalled.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        stalled.settimeout(CLIENT_TIMEOUT)
        stalled.connect(("127.0.0.1", self.endpoint.port))
        never_reading = WebSocketClient.__new__(WebSocketClient)
        never_reading.sock = stalled
        never_reading.send = stalled.sendall
        self.clients.append(never_reading)
        never_reading.handshake()
        never_reading.send_frame("watch")
        other.send_frame("version")
        self.assertEqual(json.loads(other.receive_message())["messages"],
                         ["readcard", "unwatch", "version", "watch"])
        for watcher in (first, second):
            watcher.send_frame("watch")
            self.assertEqual(watcher.receive_message(), WATCHING)
        # A second watch is answered the same and changes nothing.
        first.send_frame("watch")
        self.assertEqual(first.receive_message(), WATCHING)
        self.assertTrue(first.silent_for(0.6))

        cards = ["resident_long_term.ini", "permit_hongkong.ini"]
        for card in cards:
            lay(self.endpoint, card)
            pushed = first.receive_message()
            self.assertEqual(second.receive_message(), pushed)
            document = json.loads(pushed)
            self.assertEqual((document["result"], document["ID"]),
                             (0, self.endpoint.folder.card_id(card)), document.get("errmsg"))
            # Another connection reads while the card lies there: the very same document.
            other.send_frame("readcard")
            self.assertEqual(other.receive_message(), pushed)
            # The card lying there is not read again, nor pushed again.
            self.assertTrue(first.silent_for(1.0))
            lay(self.endpoint, None)
            self.assertEqual(first.receive_message(), REMOVED)
            self.assertEqual(second.receive_message(), REMOVED)

        # One chip read per card for the watchers, one per "readcard".
        self.assertEqual(calls(self.endpoint, "SDT_ReadBaseFPMsg"), 2 * len(cards))
        # Nothing but looks while the reader lies empty: about five a second.
        looks = calls(self.endpoint, "SDT_StartFindIDCard")
        time.sleep(1.0)
        self.assertGreaterEqual(calls(self.endpoint, "SDT_StartFindIDCard") - looks, 2)
        # Looks find and never select.
        self.assertEqual(calls(self.endpoint, "SDT_SelectIDCard"), 2 * len(cards))

        # A read that fails is pushed as it is, once, until the card goes.
        lay(self.endpoint, "resident_dated.ini", "read_fp = 0x42\n")
        failed = first.receive_message()
        self.assertEqual(second.receive_message(), failed)
        self.assertNotEqual(json.loads(failed)["result"], 0)
        self.assertTrue(json.loads(failed)["errmsg"])
        # The one who stops watching hears nothing more; the other is told the card went.
        first.send_frame("unwatch")
        self.assertEqual(first.receive_message(), UNWATCHED)
        lay(self.endpoint, None)
        self.assertEqual(second.receive_message(), REMOVED)
        self.assertTrue(first.silent_for(0.6))
        # A newcomer is given the document of the card lying there, without a new read.
        lay(self.endpoint, "permit_macau.ini")
        self.assertEqual(json.loads(second.receive_message())["ID"],
                         self.endpoint.folder.card_id("permit_macau.ini"))
        first.send_frame("watch")
        self.assertEqual(first.receive_message(), WATCHING)
        self.assertEqual(json.loads(first.receive_message())["ID"],
                         self.endpoint.folder.card_id("permit_macau.ini"))
        self.assertEqual(calls(self.endpoint, "SDT_ReadBaseFPMsg"), 2 * len(cards) + 2)

        # The driver stays loaded while anybody watches, and is let go when nobody does, so
        # that it can be replaced between requests.
        if not self.endpoint.folder.windows:
            self.assertTrue(self.driver_loaded())
            for watcher in (first, second):
                watcher.send_frame("unwatch")
                self.assertEqual(watcher.receive_message(), UNWATCHED)
            # Closing ends a watch as well.
            time.sleep(0.5)
            self.assertTrue(self.driver_loaded())
            never_reading.close()
            time.sleep(0.5)
            self.assertFalse(self.driver_loaded())

    def driver_loaded(self):
        with open("/proc/%d/maps" % self.endpoint.process.pid, encoding="ascii") as maps:
            return "libsdtapi.so" in maps.read()

    def test_stop_is_bounded_while_a_look_never_returns(self):
        lay(self.endpoint, "resident_long_term.ini", "find_delay = 3600000\n")
        self.endpoint.start()
        watcher = self.client()
        watcher.send_frame("watch")
        self.assertEqual(watcher.receive_message(), WATCHING)
        time.sleep(0.5)
        # SIGTERM on Linux; Wine turns SIGINT into the console's Ctrl+C.
        took = self.endpoint.stop(signal.SIGINT if RUNNER else signal.SIGTERM)
        self.assertLess(took, 15.0)
        self.assertTrue(watcher.closed_by_server(timeout=5.0))


if __name__ == "__main__":
    if "--" in sys.argv:
        cut = sys.argv.index("--")
        RUNNER = sys.argv[cut + 1:]
        sys.argv = sys.argv[:cut]
    unittest.main(verbosity=2)
