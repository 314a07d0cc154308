#!/usr/bin/env python3
"""A web application on the Internet reads the card, as a hotel's or a bank's does: headless
Chromium is told that the page's server is public, so the browser guards the loopback address
as it does for a page on another host. Without a grant the read fails with the browser's
code and status() says so; a managed policy (or the DevTools protocol) grants it; the sample
extension reads the card while the WebSocket is blocked; a frame of another site reads only
when the page lets it.

    VORN_BUILD_DIR=build/linux python3 loopback_guard_e2e.py

The page imports the built library: run `npm run build` in clients/js first.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from browser_e2e import REPOSITORY, BrowserTestCase, host_manifest  # noqa: E402
from devtools import Browser  # noqa: E402

# The application's host and another site's, both resolved to the test's web server.
APP_HOST = "counter.test"
FRAME_HOST = "partner.test"
POLICY_FOLDER = "/etc/chromium/policies/managed"
SAMPLE_EXTENSION = os.path.join(REPOSITORY, "examples", "extension")
TEST_EXTENSION_MANIFEST = os.path.join(HERE, "extension", "manifest.json")
CARD_ID = "450103199207152538"
TIMEOUT_MS = 8000

READ = """(async () => {
    const library = await import('/clients/js/dist/index.js');
    const started = performance.now();
    try {
        const card = await library.readCard(%s);
        return {card: card.idNumber, channel: card.channel, ms: performance.now() - started};
    } catch (error) {
        return {code: error.code, permission: error.permission, message: error.message,
                ms: performance.now() - started};
    }
})()"""

STATUS = """(async () => {
    const library = await import('/clients/js/dist/index.js');
    return await library.status(%s);
})()"""

FRAME = """new Promise((resolve) => {
    addEventListener('message', (event) => {
        if (event.data && event.data.frameReader) resolve(event.data.frameReader);
    });
    const frame = document.createElement('iframe');
    %s
    frame.src = %s;
    document.body.append(frame);
})"""


class PublicPage(BrowserTestCase):
    def setUp(self):
        super().setUp()
        self.service_port = self.start_service()
        self.web_port = self.serve_repository()
        self.policy = None

    def tearDown(self):
        super().tearDown()
        if self.policy:
            os.remove(self.policy)

    def origin(self, host=APP_HOST):
        return "http://%s:%d" % (host, self.web_port)

    def open_browser(self, **options):
        # The web server counts as public; both hosts lead to it and count as secure, as an
        # https application would.
        switches = [
            "--ip-address-space-overrides=127.0.0.1:%d=public" % self.web_port,
            "--host-resolver-rules=MAP %s 127.0.0.1, MAP %s 127.0.0.1" % (APP_HOST, FRAME_HOST),
            "--unsafely-treat-insecure-origin-as-secure=%s,%s" % (self.origin(),
                                                                  self.origin(FRAME_HOST)),
        ]
        self.browser = Browser(switches=switches, **options)

    def open_app(self, query=""):
        page = self.browser.open_page("%s/examples/index.html?port=%d%s" % (
            self.origin(), self.service_port, query))
        self.browser.wait_for(page, "document.getElementById('read')?.disabled === false")
        return page

    def read(self, page, **options):
        options.setdefault("url", "ws://127.0.0.1:%d" % self.service_port)
        options.setdefault("timeoutMs", TIMEOUT_MS)
        return self.browser.evaluate(page, READ % json.dumps(options), timeout=60)

    def grant_by_policy(self):
        """The managed policy IT sets; as root only. Returns False where it cannot be set."""
        if os.geteuid() != 0:
            return False
        # The folders the test makes go again with the file; a browser's own stay.
        missing = POLICY_FOLDER
        while not os.path.exists(os.path.dirname(missing)):
            missing = os.path.dirname(missing)
        if not os.path.exists(missing):
            self.addCleanup(shutil.rmtree, missing, ignore_errors=True)
        os.makedirs(POLICY_FOLDER, exist_ok=True)
        self.policy = os.path.join(POLICY_FOLDER, "vornidreader-test-%d.json" % os.getpid())
        with open(self.policy, "w", encoding="utf-8") as f:
            json.dump({"LoopbackNetworkAllowedForUrls": [self.origin()]}, f)
        return True

    def grant(self):
        if not self.grant_by_policy():
            self.browser.call("Browser.setPermission", {
                "permission": {"name": "loopback-network"}, "setting": "granted",
                "origin": self.origin()})

    def test_without_a_grant_the_browser_is_named(self):
        self.open_browser()
        page = self.open_app()
        outcome = self.read(page)
        self.assertEqual(outcome.get("code"), "permission-denied", outcome)
        # Headless Chromium answers its own prompt with a refusal: "prompt" turns "denied".
        self.assertIn(outcome["permission"], ("prompt", "denied"))
        self.assertLess(outcome["ms"], TIMEOUT_MS)
        status = self.browser.evaluate(page, STATUS % json.dumps(
            {"url": "ws://127.0.0.1:%d" % self.service_port}))
        self.assertEqual(status["endpoint"], "blocked-by-browser", status)
        self.assertEqual(status["permission"], outcome["permission"])
        self.assertIsNone(status["service"])
        self.assertFalse(status["extension"])
        # What the clerk sees on the demo page.
        shown, _ = self.click_read(page)
        print("\nno grant: %s | %s" % (outcome["message"], shown), file=sys.stderr)

    def test_granted_the_card_is_read_and_a_frame_needs_the_allow_attribute(self):
        self.grant()
        self.open_browser()
        page = self.open_app()
        outcome = self.read(page)
        self.assertEqual(outcome.get("card"), CARD_ID, outcome)
        self.assertEqual(outcome["channel"], "websocket")
        status = self.browser.evaluate(page, STATUS % json.dumps(
            {"url": "ws://127.0.0.1:%d" % self.service_port}))
        self.assertEqual(status["endpoint"], "reachable", status)
        self.assertEqual(status["permission"], "granted")
        self.assertEqual(status["service"]["name"], "VornIdReader")
        self.assertIn("version", status["service"]["messages"])
        frame = json.dumps("%s/tests/e2e_websocket/pages/frame_reader.html?port=%d" % (
            self.origin(FRAME_HOST), self.service_port))
        denied = self.browser.evaluate(page, FRAME % ("", frame), timeout=60)
        self.assertEqual(denied.get("code"), "permission-denied", denied)
        allowed = self.browser.evaluate(
            page, FRAME % ("frame.allow = 'loopback-network';", frame), timeout=60)
        self.assertEqual(allowed.get("card"), CARD_ID, allowed)
        if self.policy:
            # The self-test reads the policy the browser has just obeyed, and names the
            # listed origin it does not grant.
            self.folder.write("config.ini", "[Bind]\nip=127.0.0.1\nport=%d\n[Security]\n"
                              "allowed_origins=%s, https://hotel.example\n"
                              % (self.service_port, self.origin()))
            done = subprocess.run([self.folder.program, "-selftest"], capture_output=True,
                                  timeout=60, cwd=self.folder.path, stdin=subprocess.DEVNULL)
            lines = [line for line in done.stdout.decode("utf-8").splitlines()
                     if line[7:].startswith("browser policy:")]
            self.assertEqual(len(lines), 1, done.stdout)
            self.assertTrue(lines[0].startswith("[WARN]"), lines[0])
            self.assertIn("https://hotel.example", lines[0])
            self.assertNotIn(APP_HOST, lines[0])
            print("\nself-test: %s" % lines[0], file=sys.stderr)

    def test_auto_reads_through_the_extension_while_the_socket_is_blocked(self):
        folder = tempfile.mkdtemp(prefix="vorn-extension-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        extension = os.path.join(folder, "extension")
        shutil.copytree(SAMPLE_EXTENSION, extension)
        with open(TEST_EXTENSION_MANIFEST, encoding="utf-8") as f:
            key = json.load(f)["key"]
        with open(os.path.join(extension, "manifest.json"), encoding="utf-8") as f:
            manifest = json.load(f)
        # As an organisation does: its own key, and its application's address.
        manifest["key"] = key
        manifest["content_scripts"][0]["matches"] = [self.origin() + "/*"]
        with open(os.path.join(extension, "manifest.json"), "w", encoding="utf-8") as f:
            json.dump(manifest, f)
        self.open_browser(extension=extension,
                          profile_files=host_manifest(self.folder.program, extension))
        page = self.open_app("&channel=auto")
        outcome = self.read(page, channel="auto")
        self.assertEqual(outcome.get("card"), CARD_ID, outcome)
        self.assertEqual(outcome["channel"], "extension")
        status = self.browser.evaluate(page, STATUS % json.dumps(
            {"url": "ws://127.0.0.1:%d" % self.service_port}))
        self.assertEqual(status["endpoint"], "blocked-by-browser", status)
        self.assertTrue(status["extension"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
