#!/usr/bin/env python3
"""The run path's lines on standard output: at a terminal the usage and the dispatcher's
failure are printed; started the way a browser starts a host, standard output carries the
reply frame and nothing else.

    VORN_BUILD_DIR=build/linux python3 entry_console_e2e.py
"""

import json
import os
import pty
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from program_folder import ProgramFolder  # noqa: E402

RUN_TIMEOUT = 30
REQUEST = b'"readidbase"'
USAGE = ("Parameters:\r\n -install  to install the service.\r\n"
         " -remove   to remove the service.\r\n"
         "Service failed to run: not started by systemd (NOTIFY_SOCKET is not set)\r\n")
# Not started as a service and asked nothing: the exit code says the program did nothing.
DISPATCHER_FAILED = 3
REQUEST_NOT_ANSWERED = 4


def environment():
    env = dict(os.environ)
    env.pop("NOTIFY_SOCKET", None)
    return env


class EntryConsole(unittest.TestCase):
    def setUp(self):
        self.folder = ProgramFolder()

    def tearDown(self):
        self.folder.remove()

    def run_as_browser(self, arguments, stdin, code=0):
        done = subprocess.run([self.folder.program] + arguments, input=stdin,
                              capture_output=True, env=environment(), timeout=RUN_TIMEOUT,
                              cwd=self.folder.path)
        self.assertEqual(done.returncode, code, arguments)
        return done.stdout

    def assert_one_reply_frame(self, output):
        self.assertGreaterEqual(len(output), 4)
        length = struct.unpack("<I", output[:4])[0]
        self.assertEqual(len(output), 4 + length, "nothing but the frame on standard output")
        reply = json.loads(output[4:].decode("utf-8"))
        self.assertEqual(reply["ID"], "11010119650312158X")

    def test_terminal_shows_usage_and_dispatcher_failure(self):
        pid, terminal = pty.fork()
        if pid == 0:
            # The child: standard output is the terminal; standard input ends at once.
            devnull = os.open(os.devnull, os.O_RDONLY)
            os.dup2(devnull, 0)
            os.execve(self.folder.program, [self.folder.program], environment())
        output = b""
        while True:
            try:
                chunk = os.read(terminal, 4096)
            except OSError:
                break
            if not chunk:
                break
            output += chunk
        _, status = os.waitpid(pid, 0)
        os.close(terminal)
        self.assertEqual(os.waitstatus_to_exitcode(status), DISPATCHER_FAILED)
        self.assertEqual(output.decode("utf-8"), USAGE)

    def test_browser_start_gets_only_the_frame(self):
        frame = struct.pack("<I", len(REQUEST)) + REQUEST
        # Chrome passes the extension's origin; Firefox the manifest's absolute path.
        for arguments in ([], ["chrome-extension://abcdefghijklmnopabcdefghijklmnop/"],
                          ["/usr/lib/mozilla/native-messaging-hosts/vorn.json", "vorn@test"]):
            self.assert_one_reply_frame(self.run_as_browser(arguments, frame))

    def test_unanswered_requests_exit_non_zero(self):
        self.run_as_browser([], b"", code=DISPATCHER_FAILED)
        other = b'"readcard"'
        self.assertEqual(self.run_as_browser([], struct.pack("<I", len(other)) + other,
                                             code=REQUEST_NOT_ANSWERED), b"")

    def test_other_switches_do_nothing(self):
        for switch in ("--install", "-installx", "-help", "-"):
            self.assertEqual(self.run_as_browser([switch], b""), b"")

    def test_version_switches(self):
        for switch in ("-version", "--version", "-VERSION"):
            self.assertRegex(self.run_as_browser([switch], b"").decode("utf-8"),
                             r"^VornIdReader \d+\.\d+\.\d+\n$")


if __name__ == "__main__":
    unittest.main(verbosity=2)
