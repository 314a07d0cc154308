"""A headless Chromium driven through its DevTools protocol, over the tests' WebSocket client.

Only what the browser tests need: open a page, evaluate script in a page or an extension's
service worker, and end the browser with everything it started.
"""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time

from ws_client import WebSocketClient

BROWSER_NAMES = ("chromium", "chromium-browser", "google-chrome")
START_TIMEOUT = 60.0


def find_browser():
    for name in BROWSER_NAMES:
        path = shutil.which(name)
        if path:
            return path
    return None


class Browser:
    def __init__(self, extension=None, profile_files=None, switches=()):
        """Starts the browser with a profile of its own. profile_files maps paths inside the
        profile (such as NativeMessagingHosts/NAME.json) to their text; switches are added to
        the command line."""
        self.profile = tempfile.mkdtemp(prefix="vorn-chromium-")
        for relative, text in (profile_files or {}).items():
            path = os.path.join(self.profile, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        arguments = [find_browser(), "--headless=new", "--no-sandbox", "--disable-gpu",
                     "--no-first-run", "--no-default-browser-check", "--disable-sync",
                     "--user-data-dir=" + self.profile, "--remote-debugging-port=0"]
        if extension:
            arguments += ["--load-extension=" + extension,
                          "--disable-extensions-except=" + extension]
        arguments += list(switches)
        arguments.append("about:blank")
        self.log = open(os.path.join(self.profile, "browser.log"), "wb")
        # A session of its own, so that ending it ends every process the browser started.
        self.process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        self.client = WebSocketClient(self._devtools_port(), timeout=30)
        self.client.handshake(path=self._browser_path, exact=False)
        self.next_id = 0

    def _devtools_port(self):
        marker = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if os.path.exists(marker):
                with open(marker, encoding="utf-8") as f:
                    lines = f.read().split("\n")
                if len(lines) >= 2 and lines[1]:
                    self._browser_path = lines[1]
                    return int(lines[0])
            if self.process.poll() is not None:
                break
            time.sleep(0.1)
        raise RuntimeError("the browser did not start: %s" % self.log_text())

    def log_text(self):
        self.log.flush()
        with open(self.log.name, "rb") as f:
            return f.read().decode("utf-8", "replace")[-3000:]

    def call(self, method, params=None, session=None, timeout=30.0):
        """Sends one command and returns its result, skipping the events between."""
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        self.client.send_frame(json.dumps(message))
        self.client.sock.settimeout(timeout)
        while True:
            answer = json.loads(self.client.receive_message())
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"]))
                return answer["result"]

    def attach(self, target_id):
        return self.call("Target.attachToTarget", {"targetId": target_id, "flatten": True})[
            "sessionId"]

    def open_page(self, url):
        target = self.call("Target.createTarget", {"url": url})["targetId"]
        return self.attach(target)

    def evaluate(self, session, expression, timeout=30.0):
        result = self.call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, session, timeout)
        if "exceptionDetails" in result:
            raise RuntimeError("script failed: %s" % result["exceptionDetails"])
        return result["result"].get("value")

    def wait_for(self, session, expression, timeout=30.0):
        """Evaluates until the expression gives a true value; returns that value."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = self.evaluate(session, expression)
            if value:
                return value
            time.sleep(0.2)
        raise AssertionError("timed out waiting for %s" % expression)

    def service_worker(self, origin, timeout=30.0):
        """Attaches to the service worker of the extension with that origin."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for target in self.call("Target.getTargets")["targetInfos"]:
                if target["type"] == "service_worker" and target["url"].startswith(origin):
                    return self.attach(target["targetId"])
            time.sleep(0.3)
        raise AssertionError("no service worker of %s: %s" % (origin, self.log_text()))

    def close(self):
        self.client.close()
        try:
            os.killpg(self.process.pid, signal.SIGTERM)
            self.process.wait(timeout=10)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.process.wait()
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)
