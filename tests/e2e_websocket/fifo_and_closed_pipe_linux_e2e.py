#!/usr/bin/env python3
"""Files that are not what they seem on an office workstation: a config.ini or a trace file
that is a FIFO must not hold the start or a request, and a native-messaging host whose
browser has already closed the pipe must end normally, not die of a signal.

    VORN_BUILD_DIR=build/linux python3 fifo_and_closed_pipe_linux_e2e.py
"""

import json
import os
import signal
import struct
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from notify_socket import NotifySocket  # noqa: E402
from program_folder import ProgramFolder  # noqa: E402

REQUEST = b'"readidbase"'
RUN_TIMEOUT = 20
READY_TIMEOUT = 15.0


def frame(body):
    return struct.pack("<I", len(body)) + body


def trace_name(sequence):
    return time.strftime("[%Y-%m-%d]") + "SDT_LOG_%d.log" % sequence


class FifosAndClosedPipes(unittest.TestCase):
    def setUp(self):
        self.folder = ProgramFolder()
        self.environment = dict(os.environ)
        self.environment.pop("NOTIFY_SOCKET", None)

    def tearDown(self):
        self.folder.remove()

    def path(self, *names):
        return os.path.join(self.folder.path, *names)

    def native_request(self):
        """One native-messaging request; the reply document, after checking the exit."""
        done = subprocess.run([self.folder.program], input=frame(REQUEST), cwd=self.folder.path,
                              env=self.environment, capture_output=True, timeout=RUN_TIMEOUT)
        self.assertEqual(done.returncode, 0, done.stderr[-500:])
        length = struct.unpack("<I", done.stdout[:4])[0]
        self.assertEqual(length, len(done.stdout) - 4)
        return json.loads(done.stdout[4:].decode("utf-8"))

    def test_fifo_config_leaves_the_request_to_its_defaults(self):
        os.mkfifo(self.path("config.ini"))
        reply = self.native_request()
        self.assertEqual(reply["result"], 0, reply["errmsg"])
        self.assertEqual(reply["ID"], self.folder.card_id("resident_long_term.ini"))

    def test_fifo_config_does_not_hold_the_start(self):
        os.mkfifo(self.path("config.ini"))
        notify = NotifySocket()
        environment = dict(self.environment, NOTIFY_SOCKET=notify.path)
        process = subprocess.Popen([self.folder.program], cwd=self.folder.path, env=environment,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(notify.wait_for("READY=1", READY_TIMEOUT), notify.messages)
            process.send_signal(signal.SIGTERM)
            self.assertEqual(process.wait(timeout=RUN_TIMEOUT), 0)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
            notify.close()

    def test_fifo_trace_file_is_passed_over(self):
        self.folder.write("config.ini", "[Bind]\nlog=1\n")
        os.mkdir(self.path("QD_LOG"))
        os.mkfifo(self.path("QD_LOG", trace_name(1)))
        reply = self.native_request()
        self.assertEqual(reply["result"], 0, reply["errmsg"])
        # The entries go to the day's next file instead.
        with open(self.path("QD_LOG", trace_name(2)), "rb") as f:
            self.assertIn("CSdtFunc::ReadIDCard".encode("utf-16-le"), f.read())

    def test_reply_into_a_closed_pipe_ends_normally(self):
        reading, writing = os.pipe()
        os.close(reading)
        try:
            done = subprocess.run([self.folder.program], input=frame(REQUEST),
                                  cwd=self.folder.path, env=self.environment, stdout=writing,
                                  stderr=subprocess.DEVNULL, timeout=RUN_TIMEOUT)
        finally:
            os.close(writing)
        # An exit of its own (not a signal), with the code that says the reply was not
        # delivered.
        self.assertEqual(done.returncode, 4)


if __name__ == "__main__":
    unittest.main(verbosity=2)
