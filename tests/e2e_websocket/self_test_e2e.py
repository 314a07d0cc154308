#!/usr/bin/env python3
"""The self-test as support staff run it on Linux: "-selftest" in a program folder, its
checklist, its exit code, and nothing left behind.

    VORN_BUILD_DIR=build/linux python3 self_test_e2e.py
"""

import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from notify_socket import NotifySocket  # noqa: E402
from program_folder import ProgramFolder, free_port  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
RUN_TIMEOUT = 60
READY_TIMEOUT = 15.0
SAMPLE_ID = "11010119650312158X"

DRIVER_FAILED = 1
DECODER_FAILED = 2
TEMPORARY_FOLDER_FAILED = 4
PORT_FAILED = 16
READ_FAILED = 32


def snapshot(folder):
    """Every file below the folder with its size and modification time."""
    found = {}
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            status = os.stat(path)
            found[os.path.relpath(path, folder)] = (status.st_size, status.st_mtime_ns)
    return found


class Listener:
    """A plain TCP listener on a loopback port: it answers each connection with a fixed
    text, or with nothing at all."""

    def __init__(self, answer):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(4)
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.answer = answer
        self.running = True
        self.held = []
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while self.running:
            try:
                connection, _ = self.sock.accept()
            except OSError:
                continue
            if self.answer:
                connection.sendall(self.answer)
                connection.close()
            else:
                self.held.append(connection)

    def close(self):
        self.running = False
        self.thread.join(timeout=5)
        for connection in self.held:
            connection.close()
        self.sock.close()


class SelfTest(unittest.TestCase):
    def setUp(self):
        self.folder = ProgramFolder()
        self.port = free_port()
        self.folder.write_config(self.port)
        self.temporary = tempfile.mkdtemp(prefix="vorn-selftest-tmp-")
        self.units = tempfile.mkdtemp(prefix="vorn-selftest-units-")
        self.states = os.path.join(self.units, "states")
        with open(self.states, "w", encoding="utf-8") as f:
            f.write("inactive\n")
        self.environment = dict(
            os.environ, TMPDIR=self.temporary, VORN_SYSTEMD_UNIT_DIR=self.units,
            VORN_SYSTEMCTL=os.path.join(HERE, "fake_systemctl.py"),
            FAKE_SYSTEMCTL_LOG=os.path.join(self.units, "calls"),
            FAKE_SYSTEMCTL_STATES=self.states)
        self.environment.pop("NOTIFY_SOCKET", None)

    def tearDown(self):
        self.folder.remove()
        shutil.rmtree(self.temporary, ignore_errors=True)
        shutil.rmtree(self.units, ignore_errors=True)

    def self_test(self, *extra, environment=None):
        done = subprocess.run([self.folder.program, "-selftest"] + list(extra),
                              capture_output=True, timeout=RUN_TIMEOUT, cwd=self.folder.path,
                              env=environment or self.environment, stdin=subprocess.DEVNULL)
        return done.returncode, done.stdout.decode("utf-8")

    def line(self, text, subject):
        for line in text.splitlines():
            if line[7:].startswith(subject + ":"):
                return line
        self.fail("no line for %s in:\n%s" % (subject, text))

    def assert_verdict(self, text, subject, verdict):
        line = self.line(text, subject)
        self.assertTrue(line.startswith(verdict), "%s expected, got %r" % (verdict, line))
        return line

    def test_complete_folder_passes_and_leaves_nothing_behind(self):
        # Tracing is on and its folder exists: the self-test must still write no entry.
        self.folder.write("config.ini", "[Bind]\nport=%d\nlog=1\n" % self.port)
        os.mkdir(os.path.join(self.folder.path, "QD_LOG"))
        before = snapshot(self.folder.path)
        code, text = self.self_test()
        self.assertEqual(code, 0, text)
        for subject in ("reader driver", "photo decoder", "temporary folder", "config.ini",
                        "port", "card read"):
            self.assert_verdict(text, subject, "[ OK ]")
        self.assertIn("trace log on", self.line(text, "config.ini"))
        self.assertIn("not installed", self.assert_verdict(text, "service", "[WARN]"))
        read = self.line(text, "card read")
        self.assertIn("result 0", read)
        self.assertRegex(read, r"photo [1-9]\d+ bytes, front [1-9]\d+ bytes, back [1-9]\d+ bytes")
        self.assertNotIn(SAMPLE_ID, text, "the card's fields are shown only when asked")
        self.assertTrue(text.rstrip().endswith("exit code 0)"), text)
        self.assertEqual(snapshot(self.folder.path), before)
        self.assertEqual(os.listdir(self.temporary), [])

    def test_show_prints_the_fields_in_either_form(self):
        for arguments in (["-selftest", "-show"], ["--selftest", "--show"]):
            done = subprocess.run([self.folder.program] + arguments, capture_output=True,
                                  timeout=RUN_TIMEOUT, cwd=self.folder.path,
                                  env=self.environment, stdin=subprocess.DEVNULL)
            text = done.stdout.decode("utf-8")
            self.assertEqual(done.returncode, 0, text)
            self.assertIn("ID: " + SAMPLE_ID, text)

    def test_driver_that_cannot_load_names_its_cause(self):
        driver = os.path.join(self.folder.path, "libsdtapi.so")
        # The header of a 32-bit x86 shared library: class, byte order, version, type, machine.
        elf32 = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack("<HHI", 3, 3, 1) + bytes(32)
        with open(os.path.join(self.folder.build, "simulator-variants", "needs-dependency",
                               "libsdtapi.so"), "rb") as f:
            needs_dependency = f.read()
        where = "libsdtapi.so in %s/" % self.folder.path
        causes = [
            (None, "libsdtapi.so is missing from %s/" % self.folder.path),
            (elf32, where + " is a 32-bit x86 library; this program is 64-bit (x86-64): "
             "install the maker's 64-bit x86-64 library"),
            (needs_dependency, where + " cannot be loaded: libvornsimdep.so: cannot open shared"),
            (b"[Reader]\n", where + " is no library (neither a Windows DLL nor a Linux shared"),
        ]
        for content, cause in causes:
            if os.path.exists(driver):
                os.remove(driver)
            if content is not None:
                with open(driver, "wb") as f:
                    f.write(content)
            code, text = self.self_test()
            self.assertEqual(code, DRIVER_FAILED, text)
            self.assertIn(cause, self.assert_verdict(text, "reader driver", "[FAIL]"))
            self.assert_verdict(text, "photo decoder", "[ OK ]")
            self.assert_verdict(text, "card read", "[SKIP]")

    def test_missing_decoder_by_its_linux_name(self):
        os.remove(os.path.join(self.folder.path, "libWltRS.so"))
        code, text = self.self_test()
        self.assertEqual(code, DECODER_FAILED, text)
        self.assertIn("libWltRS.so is missing from %s/" % self.folder.path,
                      self.assert_verdict(text, "photo decoder", "[FAIL]"))
        self.assertIn('"libsdtapi.so" in %s/' % self.folder.path,
                      self.assert_verdict(text, "reader driver", "[ OK ]"))
        self.assert_verdict(text, "card read", "[SKIP]")

    def test_systemctl_complaint_is_part_of_the_service_line(self):
        complaint = "System has not been booted with systemd as init system (PID 1)."
        done = subprocess.run([self.folder.program, "-selftest"], capture_output=True,
                              timeout=RUN_TIMEOUT, cwd=self.folder.path, stdin=subprocess.DEVNULL,
                              env=dict(self.environment, FAKE_SYSTEMCTL_FAIL="is-active",
                                       FAKE_SYSTEMCTL_COMPLAINT=complaint))
        text = done.stdout.decode("utf-8")
        self.assertIn(complaint, self.assert_verdict(text, "service", "[WARN]"))
        self.assertNotIn(complaint, done.stderr.decode("utf-8"))
        self.assertTrue(text.rstrip().endswith("exit code 0)"), text)

    def test_unusable_temporary_folder(self):
        # A file, and a folder that does not exist: neither takes files, even for root.
        not_a_folder = os.path.join(self.temporary, "file")
        with open(not_a_folder, "w", encoding="utf-8") as f:
            f.write("x")
        for value in (not_a_folder, os.path.join(self.temporary, "gone")):
            code, text = self.self_test(environment=dict(self.environment, TMPDIR=value))
            self.assertEqual(code, TEMPORARY_FOLDER_FAILED, text)
            self.assert_verdict(text, "temporary folder", "[FAIL]")
            self.assert_verdict(text, "card read", "[SKIP]")

    def test_port_held_by_another_program(self):
        for answer in (b"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", None):
            listener = Listener(answer)
            try:
                self.folder.write_config(listener.port)
                code, text = self.self_test()
            finally:
                listener.close()
            self.assertEqual(code, PORT_FAILED, text)
            line = self.assert_verdict(text, "port", "[FAIL]")
            # The listener is this test's own Python.
            self.assertIn("python", line)
            self.assertIn("127.0.0.1:%d" % listener.port, line)
            self.assert_verdict(text, "card read", "[ OK ]")

    def test_no_card_on_the_reader(self):
        self.folder.lay_card(None)
        code, text = self.self_test()
        self.assertEqual(code, READ_FAILED, text)
        self.assertIn("寻卡失败", self.assert_verdict(text, "card read", "[FAIL]"))

    def test_running_service_is_what_listens(self):
        with open(os.path.join(self.units, "VornIdReader.service"), "w", encoding="utf-8") as f:
            f.write("[Service]\nRestart=on-failure\n")
        with open(self.states, "w", encoding="utf-8") as f:
            f.write("active\n")
        notify = NotifySocket()
        service = subprocess.Popen([self.folder.program], cwd=self.folder.path,
                                   env=dict(os.environ, NOTIFY_SOCKET=notify.path),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(notify.wait_for("READY=1", READY_TIMEOUT))
            code, text = self.self_test()
        finally:
            service.terminate()
            service.wait(timeout=30)
            notify.close()
        self.assertEqual(code, 0, text)
        self.assertIn("installed, running; after a failure: Restart=on-failure",
                      self.assert_verdict(text, "service", "[ OK ]"))
        line = self.assert_verdict(text, "port", "[ OK ]")
        self.assertIn("VornIdReader (pid %d)" % service.pid, line)

    def test_service_that_runs_without_listening_fails_the_port(self):
        with open(self.states, "w", encoding="utf-8") as f:
            f.write("active\n")
        code, text = self.self_test()
        self.assertEqual(code, PORT_FAILED, text)
        self.assertIn("although the service runs", self.assert_verdict(text, "port", "[FAIL]"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
