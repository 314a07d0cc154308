#!/usr/bin/env python3
"""A real browser against the program: headless Chromium shows the card that the page of
examples/ reads over ws://127.0.0.1 with the client library, and a test extension asks the
native-messaging host through chrome.runtime.connectNative with a host manifest in the
browser's profile.

    VORN_BUILD_DIR=build/linux python3 browser_e2e.py

The page imports the built library: run `npm run build` in clients/js first.
"""

import base64
import functools
import hashlib
import http.server
import json
import os
import signal
import subprocess
import sys
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from devtools import Browser, find_browser  # noqa: E402
from notify_socket import NotifySocket  # noqa: E402
from program_folder import ProgramFolder, free_port  # noqa: E402

REPOSITORY = os.path.normpath(os.path.join(HERE, "..", ".."))
LIBRARY = os.path.join(REPOSITORY, "clients", "js", "dist", "index.js")
EXTENSION = os.path.join(HERE, "extension")
HOST_NAME = "com.vorn.idreader"


def extension_id(folder):
    """The id Chromium gives an unpacked extension whose manifest has a key."""
    with open(os.path.join(folder, "manifest.json"), encoding="utf-8") as f:
        key = base64.b64decode(json.load(f)["key"])
    digest = hashlib.sha256(key).hexdigest()[:32]
    return "".join(chr(ord("a") + int(c, 16)) for c in digest)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def host_manifest(program, extension_folder):
    """Profile files that register the program as the native-messaging host of the extension."""
    manifest = {
        "name": HOST_NAME,
        "description": "VornIdReader",
        "path": program,
        "type": "stdio",
        "allowed_origins": ["chrome-extension://%s/" % extension_id(extension_folder)],
    }
    return {"NativeMessagingHosts/%s.json" % HOST_NAME: json.dumps(manifest)}


class BrowserTestCase(unittest.TestCase):
    """A program folder with a card on the reader, and the service, web server and browser a
    test starts, all ended after it."""

    def setUp(self):
        if not find_browser():
            self.skipTest("no Chromium installed")
        if not os.path.exists(LIBRARY):
            self.fail("the client library is not built: run `npm ci && npm run build` in "
                      "clients/js")
        self.folder = ProgramFolder()
        self.folder.lay_card("resident_dated.ini")
        self.browser = None
        self.service = None
        self.web = None

    def tearDown(self):
        if getattr(self, "browser", None):
            self.browser.close()
        if self.service and self.service.poll() is None:
            self.service.send_signal(signal.SIGTERM)
            self.service.wait(timeout=20)
        if self.web:
            self.web.shutdown()
            self.web.server_close()
        self.folder.remove()

    def start_service(self):
        port = free_port()
        self.folder.write_config(port)
        notify = NotifySocket()
        self.addCleanup(notify.close)
        self.service = subprocess.Popen([self.folder.program], cwd=self.folder.path,
                                        env=dict(os.environ, NOTIFY_SOCKET=notify.path),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        self.assertTrue(notify.wait_for("READY=1", 15.0))
        return port

    def serve_repository(self):
        """Serves the repository from the loopback address, as a developer tries the demo page:
        the page finds the built library under clients/js/dist."""
        handler = functools.partial(QuietHandler, directory=REPOSITORY)
        self.web = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.web.serve_forever, daemon=True).start()
        return self.web.server_address[1]

    def demo_page(self, query):
        web_port = self.serve_repository()
        page = self.browser.open_page("http://127.0.0.1:%d/examples/index.html?%s" %
                                      (web_port, query))
        # The button is enabled once the page's module has loaded the library.
        self.browser.wait_for(page, "document.getElementById('read')?.disabled === false")
        return page

    def click_read(self, page, timeout=30.0):
        """Clicks the page's button; returns the status it ends with and the fields shown."""
        self.browser.evaluate(page, "document.getElementById('read').click()")
        status = self.browser.wait_for(
            page, "(s => s.className && s.className !== 'busy' ? s.textContent : '')"
                  "(document.getElementById('status'))", timeout)
        fields = self.browser.evaluate(page, """
            Object.fromEntries([...document.querySelectorAll('#fields td')]
                               .map(td => [td.id, td.textContent]))""")
        return status, fields


class BrowserReadsTheCard(BrowserTestCase):
    def test_example_page_shows_the_card(self):
        service_port = self.start_service()
        self.browser = Browser()
        page = self.demo_page("port=%d" % service_port)
        status, fields = self.click_read(page)
        self.assertEqual(status, "读卡成功", status)
        self.assertEqual(fields["field-idNumber"], "450103199207152538")
        self.assertEqual(fields["field-name"], "欧阳燚")
        self.assertEqual(fields["field-birthDate"], "1992-07-15")
        self.assertTrue(fields["field-address"].startswith("广西壮族自治区南宁市"))
        photo = self.browser.evaluate(page, "document.getElementById('photo').src")
        self.assertTrue(photo.startswith("data:image/jpeg;base64,/9j/"), photo[:40])
        print("\npage shows:", json.dumps(fields, ensure_ascii=False), file=sys.stderr)

    def test_extension_calls_the_native_messaging_host(self):
        identity = extension_id(EXTENSION)
        self.browser = Browser(extension=EXTENSION,
                               profile_files=host_manifest(self.folder.program, EXTENSION))
        worker = self.browser.service_worker("chrome-extension://%s/" % identity)
        # The worker's target can be attached to before its script has run.
        self.browser.wait_for(worker, "typeof self.readCard === 'function'")
        reply = self.browser.evaluate(worker, "self.readCard()", timeout=60)
        self.assertNotIn("error", reply, reply)
        self.assertEqual(reply["result"], 0, reply.get("errmsg"))
        self.assertEqual(reply["ID"], "450103199207152538")
        print("\nextension got: result=%r ID=%r Name=%r" %
              (reply["result"], reply["ID"], reply["Name"]), file=sys.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
