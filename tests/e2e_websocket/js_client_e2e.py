#!/usr/bin/env python3
"""The client library in a real browser: headless Chromium runs pages that import the built
module and read the simulated card over the running service and over the sample extension;
a stopped service, a card taken away, a refused origin and a card laid down while watching.
The same library in Node, through Node's own WebSocket: a read, a stopped service, and a watch
of cards laid and taken away that the service pushes.

    VORN_BUILD_DIR=build/linux python3 js_client_e2e.py

Run `npm ci && npm run build` in clients/js first.
"""

import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from browser_e2e import REPOSITORY, BrowserTestCase, host_manifest  # noqa: E402
from devtools import Browser  # noqa: E402
from endpoint_process import Endpoint  # noqa: E402
from program_folder import free_port  # noqa: E402

SAMPLE_EXTENSION = os.path.join(REPOSITORY, "examples", "extension")
# The test extension's key gives the copy of the sample a known id, as an organisation's own
# key gives theirs.
TEST_EXTENSION_MANIFEST = os.path.join(HERE, "extension", "manifest.json")
CARD_ID = "450103199207152538"
# What the service answers a handshake from an origin it does not accept.
ORIGIN_REFUSED_ANSWER = (b"HTTP/1.1 403 Forbidden\r\nAccess-Control-Allow-Origin: *\r\n"
                         b"Content-Length: 0\r\nConnection: close\r\n\r\n")


def read_in_page(url, timeout_ms):
    """Script that reads once through the library and gives the outcome and its duration."""
    return """(async () => {
        const library = await import('/clients/js/dist/index.js');
        const started = performance.now();
        try {
            const card = await library.readCard({url: %s, timeoutMs: %d});
            return {card: card.idNumber, ms: performance.now() - started};
        } catch (error) {
            return {code: error.code, name: error.name, ms: performance.now() - started};
        }
    })()""" % (json.dumps(url), timeout_ms)


class RefusingServer:
    """Answers every connection as the service answers a refused origin, and closes it."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.listener.settimeout(0.2)
        self.port = self.listener.getsockname()[1]
        self.running = True
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while self.running:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                continue
            with connection:
                connection.settimeout(2.0)
                try:
                    connection.recv(4096)
                    connection.sendall(ORIGIN_REFUSED_ANSWER)
                except OSError:
                    pass

    def close(self):
        self.running = False
        self.thread.join(timeout=5)
        self.listener.close()


class LibraryInTheBrowser(BrowserTestCase):
    def open_demo(self, service_port):
        self.browser = Browser()
        return self.demo_page("port=%d" % service_port)

    def test_reads_through_the_sample_extension(self):
        folder = tempfile.mkdtemp(prefix="vorn-extension-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        extension = os.path.join(folder, "extension")
        shutil.copytree(SAMPLE_EXTENSION, extension)
        with open(TEST_EXTENSION_MANIFEST, encoding="utf-8") as f:
            key = json.load(f)["key"]
        with open(os.path.join(extension, "manifest.json"), encoding="utf-8") as f:
            manifest = json.load(f)
        manifest["key"] = key
        with open(os.path.join(extension, "manifest.json"), "w", encoding="utf-8") as f:
            json.dump(manifest, f)
        self.browser = Browser(extension=extension,
                               profile_files=host_manifest(self.folder.program, extension))
        page = self.demo_page("channel=extension")
        status, fields = self.click_read(page, timeout=60)
        self.assertEqual(status, "读卡成功", status)
        self.assertEqual(fields["field-idNumber"], CARD_ID)
        self.assertEqual(fields["field-name"], "欧阳燚")

    def test_stopped_service_is_unavailable_within_the_time_out(self):
        port = self.start_service()
        self.service.send_signal(signal.SIGTERM)
        self.service.wait(timeout=20)
        page = self.open_demo(port)
        outcome = self.browser.evaluate(page, read_in_page("ws://127.0.0.1:%d" % port, 5000))
        self.assertEqual(outcome["code"], "service-unavailable", outcome)
        self.assertEqual(outcome["name"], "ReaderError")
        self.assertLess(outcome["ms"], 5000)

    def test_card_taken_away_is_no_card(self):
        port = self.start_service()
        page = self.open_demo(port)
        url = "ws://127.0.0.1:%d" % port
        self.assertEqual(self.browser.evaluate(page, read_in_page(url, 20000))["card"], CARD_ID)
        self.folder.lay_card(None)
        outcome = self.browser.evaluate(page, read_in_page(url, 20000))
        self.assertEqual(outcome.get("code"), "no-card", outcome)

    def test_refused_origin_is_told_apart(self):
        refusing = RefusingServer()
        self.addCleanup(refusing.close)
        self.browser = Browser()
        page = self.demo_page("port=%d" % refusing.port)
        outcome = self.browser.evaluate(
            page, read_in_page("ws://127.0.0.1:%d" % refusing.port, 5000))
        self.assertEqual(outcome.get("code"), "origin-refused", outcome)

    def test_watch_reports_a_card_laid_down_once(self):
        self.folder.lay_card(None)
        port = self.start_service()
        page = self.open_demo(port)
        self.browser.evaluate(page, """(async () => {
            const library = await import('/clients/js/dist/index.js');
            window.seen = [];
            window.failures = [];
            window.watch = library.watchCard((card) => window.seen.push(card.idNumber), {
                url: 'ws://127.0.0.1:%d', intervalMs: 300,
                onError: (error) => window.failures.push(error.code)});
        })()""" % port)
        time.sleep(1.5)
        self.assertEqual(self.browser.evaluate(page, "window.seen"), [])
        self.folder.lay_card("resident_dated.ini")
        self.browser.wait_for(page, "window.seen.length > 0")
        # The demo page watches by itself: it fills when the card is laid down...
        self.browser.wait_for(
            page, "document.getElementById('field-idNumber')?.textContent === '%s'" % CARD_ID)
        # ... and stays so, the card reported once, while the card lies there.
        time.sleep(3)
        self.assertEqual(self.browser.evaluate(page, "window.seen"), [CARD_ID])
        self.folder.lay_card(None)
        # It clears when the card is taken away.
        self.browser.wait_for(page, "document.querySelectorAll('#fields td').length === 0 && "
                                    "!document.getElementById('photo').hasAttribute('src')")
        self.browser.evaluate(page, "window.watch.stop()")
        self.assertEqual(self.browser.evaluate(page, "window.failures"), [])


def node_command():
    """Node with its own WebSocket, behind a flag before Node 22."""
    flags = subprocess.run(["node", "-e", "process.exit(typeof WebSocket === 'function' ? 0 : 1)"],
                           capture_output=True).returncode
    return ["node"] + ([] if flags == 0 else ["--experimental-websocket"])


LIBRARY_URL = "file://" + os.path.join(REPOSITORY, "clients", "js", "dist", "index.js")

# Watches through the built library and prints each event as a line of JSON; stops when its
# standard input ends.
WATCH_IN_NODE = """
    const library = await import(%s);
    const say = (event) => console.log(JSON.stringify(event));
    const watch = library.watchCard((card) => say({card: card.idNumber}), {
        url: %s,
        onRemoved: () => say({removed: true}),
        onError: (error) => say({error: error.code}),
    });
    process.stdin.resume();
    process.stdin.on("end", () => {
        watch.stop();
        library.close();
        say({stopped: true});
    });
"""


def read_in_node(url, timeout_ms):
    """Reads once through the built library in Node, with Node's own WebSocket (behind a flag
    before Node 22); returns the outcome and its duration, as read_in_page does."""
    script = """
        const library = await import(%s);
        const started = performance.now();
        let outcome;
        try {
            const card = await library.readCard({url: %s, timeoutMs: %d});
            outcome = {card: card.idNumber, ms: performance.now() - started};
        } catch (error) {
            outcome = {code: error.code, name: error.name, ms: performance.now() - started};
        }
        console.log(JSON.stringify(outcome));
        process.exit(0);
    """ % (json.dumps(LIBRARY_URL), json.dumps(url), timeout_ms)
    done = subprocess.run(node_command() + ["--input-type=module", "-e", script],
                          capture_output=True, text=True, timeout=timeout_ms / 1000 + 30)
    if done.returncode != 0:
        raise AssertionError("node failed: %s" % done.stderr)
    return json.loads(done.stdout.strip().splitlines()[-1])


class LibraryInNode(unittest.TestCase):
    def setUp(self):
        if shutil.which("node") is None:
            self.skipTest("no Node on this machine")
        self.endpoint = Endpoint()
        self.addCleanup(self.endpoint.close)

    def test_reads_and_finds_a_stopped_service_unavailable_at_once(self):
        self.endpoint.folder.lay_card("resident_dated.ini")
        self.endpoint.start()
        url = "ws://127.0.0.1:%d" % self.endpoint.port
        self.assertEqual(read_in_node(url, 20000).get("card"), CARD_ID)
        self.endpoint.stop()
        outcome = read_in_node(url, 5000)
        self.assertEqual(outcome.get("code"), "service-unavailable", outcome)
        self.assertLess(outcome["ms"], 2000)

    def test_watch_reports_cards_laid_and_taken_away_as_the_service_pushes_them(self):
        self.lay(None)
        self.endpoint.start()
        url = "ws://127.0.0.1:%d" % self.endpoint.port
        watcher = subprocess.Popen(
            node_command() + ["--input-type=module", "-e", WATCH_IN_NODE % (
                json.dumps(LIBRARY_URL), json.dumps(url))],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(self.end, watcher)
        events = lambda: self.next_event(watcher)  # noqa: E731
        # The page's watch is under way once the service has answered it (no read yet).
        deadline = time.monotonic() + 30
        while self.calls("SDT_StartFindIDCard") == 0 and time.monotonic() < deadline:
            time.sleep(0.1)
        self.lay("resident_dated.ini")
        self.assertEqual(events(), {"card": CARD_ID})
        # Longer than the pause between two reads of a watch that reads again and again.
        time.sleep(2)
        self.lay(None)
        self.assertEqual(events(), {"removed": True})
        self.lay("foreigner_usa.ini")
        other = events()
        self.assertIn("card", other)
        self.assertNotEqual(other["card"], CARD_ID)
        watcher.stdin.close()
        self.assertEqual(events(), {"stopped": True})
        self.assertEqual(watcher.wait(timeout=10), 0, watcher.stderr.read())
        # Pushed, not polled: the chip was read once for each card laid down.
        self.assertEqual(self.calls("SDT_ReadBaseFPMsg"), 2)

    @staticmethod
    def end(process):
        process.kill()
        process.wait()
        for stream in (process.stdin, process.stdout, process.stderr):
            stream.close()

    def lay(self, card):
        """Lays a card (None: takes it away) with the whole description renamed over the old
        one, logging the driver's calls."""
        text = "[Reader]\ncall_log = calls.log\n" + ("card = cards/%s\n" % card if card else "")
        self.endpoint.folder.write("simulator.ini.new", text)
        os.replace(os.path.join(self.endpoint.folder.path, "simulator.ini.new"),
                   os.path.join(self.endpoint.folder.path, "simulator.ini"))

    def calls(self, name):
        path = os.path.join(self.endpoint.folder.path, "calls.log")
        if not os.path.exists(path):
            return 0
        with open(path, encoding="ascii") as log:
            return sum(1 for line in log if line.split()[1:2] == [name])

    def next_event(self, process, timeout=30):
        ready, _, _ = select.select([process.stdout], [], [], timeout)
        if not ready:
            self.fail("no event from the watch within %d s" % timeout)
        line = process.stdout.readline()
        if not line:
            self.fail("the watch ended: %s" % process.stderr.read())
        return json.loads(line)


if __name__ == "__main__":
    unittest.main(verbosity=2)
