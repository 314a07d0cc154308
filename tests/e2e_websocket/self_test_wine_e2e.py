#!/usr/bin/env python3
"""The Windows program's self-test under Wine: "-selftest" in a program folder, its checklist
and exit code for a complete folder and for each missing piece.

    VORN_BUILD_DIR=build/windows-x64 python3 self_test_wine_e2e.py -- RUNNER...

RUNNER starts a Windows program in the build's Wine prefix (see service_wine_e2e.py).
"""

import os
import shutil
import socket
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from program_folder import ProgramFolder, free_port  # noqa: E402
from wine_prefix import run_in_prefix  # noqa: E402

RUNNER = []
RUN_TIMEOUT = 180
SAMPLE_ID = "11010119650312158X"


def windows_path(path):
    """A path of the Linux file system as Wine's drive Z: shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(arguments, timeout=RUN_TIMEOUT):
    """Runs a program of the prefix; its exit code and standard output."""
    return run_in_prefix(RUNNER, arguments, timeout)


class SelfTestUnderWine(unittest.TestCase):
    def setUp(self):
        self.folder = ProgramFolder()
        self.folder.write_config(free_port())

    def tearDown(self):
        self.folder.remove()

    def self_test(self, *extra):
        return run([self.folder.program, "-selftest"] + list(extra))

    def verdict(self, text, subject):
        for line in text.splitlines():
            if line[7:].startswith(subject + ":"):
                return line[:6]
        self.fail("no line for %s in:\n%s" % (subject, text))

    def test_complete_folder_then_each_missing_piece(self):
        before = sorted(os.listdir(self.folder.path))
        code, text = self.self_test()
        self.assertEqual(code, 0, text)
        for subject in ("reader driver", "photo decoder", "temporary folder", "port",
                        "card read"):
            self.assertEqual(self.verdict(text, subject), "[ OK ]", text)
        self.assertNotIn(SAMPLE_ID, text)
        self.assertEqual(sorted(os.listdir(self.folder.path)), before, "nothing left behind")

        code, text = self.self_test("/show")
        self.assertEqual(code, 0, text)
        self.assertIn("ID: " + SAMPLE_ID, text)

        # Wine takes TMP and TEMP from its own settings; a command interpreter sets them. The
        # program's path has no blanks and goes unquoted: Wine would escape the quotes.
        nowhere = windows_path(os.path.join(self.folder.path, "missing"))
        code, text = run(["cmd", "/c", 'set TMP=%s&& set TEMP=%s&& %s -selftest' % (
            nowhere, nowhere, windows_path(self.folder.program))])
        self.assertEqual(code, 4, text)
        self.assertEqual(self.verdict(text, "temporary folder"), "[FAIL]", text)

        os.rename(os.path.join(self.folder.path, "WltRS.dll"),
                  os.path.join(self.folder.path, "WltRS.off"))
        code, text = self.self_test()
        self.assertEqual(code, 2, text)
        self.assertEqual(self.verdict(text, "photo decoder"), "[FAIL]", text)
        self.assertEqual(self.verdict(text, "card read"), "[SKIP]", text)
        os.rename(os.path.join(self.folder.path, "WltRS.off"),
                  os.path.join(self.folder.path, "WltRS.dll"))

        os.remove(os.path.join(self.folder.path, "sdtapi.dll"))
        code, text = self.self_test()
        self.assertEqual(code, 1, text)
        self.assertEqual(self.verdict(text, "reader driver"), "[FAIL]", text)

    def test_driver_that_cannot_load_names_its_cause(self):
        driver = os.path.join(self.folder.path, "sdtapi.dll")
        variants = os.path.join(self.folder.build, "simulator-variants")
        causes = [
            (os.path.join(variants, "needs-dependency", "sdtapi.dll"),
             " needs libvornsimdep.dll, found neither beside it nor on the system path"),
            (None, " is no library (neither a Windows DLL nor a Linux shared library)"),
        ]
        # The stand-in of the other bitness, where the other Windows build has made one.
        if os.path.basename(os.path.normpath(self.folder.build)) == "windows-x86":
            other, wrong_bitness = "windows-x64", (
                " is a 64-bit x64 library; this program is 32-bit (x86): install the x64"
                " package, or the maker's 32-bit library")
        else:
            other, wrong_bitness = "windows-x86", (
                " is a 32-bit x86 library; this program is 64-bit (x64): install the x86"
                " package, or the maker's 64-bit library")
        other_driver = os.path.join(self.folder.build, os.pardir, other, "sdtapi.dll")
        if os.path.exists(other_driver):
            causes.append((other_driver, wrong_bitness))
        else:
            print("no %s: the swapped stand-in is not tried" % other_driver, file=sys.stderr)
        for source, cause in causes:
            if source:
                shutil.copy2(source, driver)
            else:
                self.folder.write("sdtapi.dll", "[Reader]\n")
            code, text = self.self_test()
            self.assertEqual(code, 1, text)
            line = [line for line in text.splitlines() if "reader driver:" in line][0]
            self.assertTrue(line.startswith("[FAIL] reader driver: sdtapi.dll in "), line)
            self.assertIn(cause, line)

    def test_port_held_by_another_program(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(4)
        self.addCleanup(listener.close)
        port = listener.getsockname()[1]
        self.folder.write_config(port)

        def answer():
            listener.settimeout(RUN_TIMEOUT)
            try:
                connection, _ = listener.accept()
                connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n")
                connection.close()
            except OSError:
                pass
        thread = threading.Thread(target=answer, daemon=True)
        thread.start()
        code, text = self.self_test()
        thread.join(timeout=5)
        self.assertEqual(code, 16, text)
        self.assertEqual(self.verdict(text, "port"), "[FAIL]", text)
        self.assertIn("127.0.0.1:%d" % port, text)


if __name__ == "__main__":
    if "--" in sys.argv:
        cut = sys.argv.index("--")
        RUNNER = sys.argv[cut + 1:]
        sys.argv = sys.argv[:cut]
    unittest.main(verbosity=2)
