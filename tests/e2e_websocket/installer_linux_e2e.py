#!/usr/bin/env python3
"""The "-install" and "-remove" switches on Linux: the unit file they write and remove, the
systemctl calls they make and the lines they print, with the unit folder and systemctl
pointed at the test's own through VORN_SYSTEMD_UNIT_DIR and VORN_SYSTEMCTL.

    VORN_BUILD_DIR=build/linux python3 installer_linux_e2e.py
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from program_folder import ProgramFolder  # noqa: E402

UNIT = "VornIdReader.service"
RUN_TIMEOUT = 30
# systemd's rating of a unit's exposure, times ten: both units stay at 2.5 or below.
EXPOSURE_THRESHOLD = "25"


class Installer(unittest.TestCase):
    def setUp(self):
        self.folder = ProgramFolder()
        self.scratch = tempfile.mkdtemp(prefix="vorn-units-")
        self.units = os.path.join(self.scratch, "system")
        os.mkdir(self.units)
        self.log = os.path.join(self.scratch, "calls.log")
        self.states = os.path.join(self.scratch, "states")
        self.set_states("inactive")
        self.fail = ""

    def tearDown(self):
        shutil.rmtree(self.scratch, ignore_errors=True)
        self.folder.remove()

    def set_states(self, *states):
        with open(self.states, "w", encoding="utf-8") as f:
            f.write("\n".join(states) + "\n")

    def run_program(self, switch, program=None, code=0):
        environment = dict(os.environ, VORN_SYSTEMD_UNIT_DIR=self.units,
                           VORN_SYSTEMCTL=os.path.join(HERE, "fake_systemctl.py"),
                           FAKE_SYSTEMCTL_LOG=self.log, FAKE_SYSTEMCTL_STATES=self.states,
                           FAKE_SYSTEMCTL_FAIL=self.fail)
        environment.pop("NOTIFY_SOCKET", None)
        done = subprocess.run([program or self.folder.program, switch], env=environment,
                              stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=RUN_TIMEOUT)
        self.assertEqual(done.returncode, code, switch)
        return done.stdout.decode("utf-8")

    def calls(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as f:
            return f.read().splitlines()

    def unit_text(self):
        with open(os.path.join(self.units, UNIT), encoding="utf-8") as f:
            return f.read()

    def test_install_writes_the_unit_and_starts_it(self):
        self.assertEqual(self.run_program("-install"), "VornIdReader is installed.\n")
        unit = self.unit_text()
        for line in ("Description=此服响应来自本机网络关于二代证阅读器读卡请求",
                     "Type=notify", "ExecStart=" + self.folder.program,
                     "WorkingDirectory=/var/lib/VornIdReader", "StateDirectory=VornIdReader",
                     "WantedBy=multi-user.target"):
            self.assertIn(line + "\n", unit)
        self.assertEqual(self.calls(), ["daemon-reload", "enable " + UNIT, "start " + UNIT])

    def test_both_units_are_sandboxed(self):
        analyze = shutil.which("systemd-analyze")
        if analyze is None:
            self.skipTest("systemd-analyze is not installed")
        self.run_program("-install")
        self.assertIn('ReadWritePaths=-%s\n' % os.path.join(self.folder.path, "QD_LOG"),
                      self.unit_text())
        packaged = os.path.join(os.environ["VORN_BUILD_DIR"], "packaging", "linux", UNIT)
        for unit in (os.path.join(self.units, UNIT), packaged):
            done = subprocess.run([analyze, "security", "--offline=yes",
                                   "--threshold=" + EXPOSURE_THRESHOLD, unit],
                                  capture_output=True, text=True, timeout=RUN_TIMEOUT)
            self.assertEqual(done.returncode, 0, unit + "\n" + done.stdout[-300:] + done.stderr)

    def test_switch_word_in_any_case(self):
        self.assertEqual(self.run_program("-INSTALL"), "VornIdReader is installed.\n")
        self.assertEqual(self.run_program("-Remove"), "VornIdReader is removed.\n")
        # On Linux "/" does not start a switch: this is a path, and nothing is installed; the
        # native-messaging host started instead finds no request.
        self.run_program("/install", code=3)
        self.assertFalse(os.path.exists(os.path.join(self.units, UNIT)))

    def test_install_twice_fails_at_create(self):
        self.run_program("-install")
        self.assertEqual(self.run_program("-install", code=1),
                         "VornIdReader is already installed: %s exists\n"
                         % os.path.join(self.units, UNIT))

    def test_install_twice_updates_the_description(self):
        self.run_program("-install")
        path = os.path.join(self.units, UNIT)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace("Description=此服", "Description=old "))
        self.run_program("-install", code=1)
        self.assertIn("Description=此服响应来自本机网络关于二代证阅读器读卡请求\n", self.unit_text())

    def test_service_that_fails_to_start_stays_installed(self):
        self.fail = "start"
        self.assertEqual(self.run_program("-install", code=2),
                         "VornIdReader is installed.\nVornIdReader start service failed.\n")
        self.assertTrue(os.path.exists(os.path.join(self.units, UNIT)))

    def test_program_path_with_blanks_is_quoted(self):
        spaced = ProgramFolder(name_with_space=True)
        try:
            self.run_program("-install", program=spaced.program)
            self.assertIn('ExecStart="%s"\n' % spaced.program, self.unit_text())
        finally:
            spaced.remove()

    def program_in(self, folder_name):
        """A copy of the program in a subfolder of that name."""
        folder = os.path.join(self.folder.path, folder_name)
        os.mkdir(folder)
        shutil.copy2(self.folder.program, folder)
        return os.path.join(folder, os.path.basename(self.folder.program))

    def test_program_path_with_a_control_character_is_refused(self):
        for name in ("two\nlines", "tab\there", "bell\x07"):
            output = self.run_program("-install", program=self.program_in(name), code=1)
            self.assertIn("control character", output, repr(name))
            self.assertNotIn("installed", output)
            self.assertFalse(os.path.exists(os.path.join(self.units, UNIT)))
        self.assertEqual(self.calls(), [])

    def test_dollar_and_percent_in_the_path_stand_for_themselves(self):
        program = self.program_in("cost$HOME%n")
        self.assertEqual(self.run_program("-install", program=program),
                         "VornIdReader is installed.\n")
        self.assertIn("ExecStart=%s\n" % program.replace("$", "$$").replace("%", "%%"),
                      self.unit_text())

    def test_unit_folder_missing(self):
        os.rmdir(self.units)
        line = "Cannot write unit files in %s: No such file or directory\n" % self.units
        self.assertEqual(self.run_program("-install", code=1), line)
        self.assertEqual(self.run_program("-remove", code=1), line)

    def test_systemctl_that_fails_or_is_missing(self):
        self.fail = "enable"
        self.assertEqual(self.run_program("-install", code=1),
                         "systemctl enable %s failed with exit status 1\n" % UNIT)
        self.assertFalse(os.path.exists(os.path.join(self.units, UNIT)))
        self.fail = ""
        environment = dict(os.environ, VORN_SYSTEMD_UNIT_DIR=self.units,
                           VORN_SYSTEMCTL=os.path.join(self.scratch, "no-such-systemctl"))
        done = subprocess.run([self.folder.program, "-install"], env=environment,
                              stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=RUN_TIMEOUT)
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stdout.decode("utf-8"),
                         "systemctl daemon-reload could not be run: No such file or directory\n")

    def test_remove_a_running_service_waits_while_it_stops(self):
        self.run_program("-install")
        self.set_states("active", "deactivating", "deactivating", "inactive")
        started = time.monotonic()
        output = self.run_program("-remove")
        self.assertGreaterEqual(time.monotonic() - started, 2.9)
        self.assertEqual(output, "Stopping VornIdReader...\nVornIdReader is stopped.\n"
                                 "VornIdReader is removed.\n")
        self.assertEqual(self.calls()[3:], ["is-active " + UNIT, "stop --no-block " + UNIT,
                                            "is-active " + UNIT, "is-active " + UNIT,
                                            "is-active " + UNIT, "disable " + UNIT,
                                            "daemon-reload"])
        self.assertFalse(os.path.exists(os.path.join(self.units, UNIT)))

    def test_remove_a_service_that_does_not_stop(self):
        self.run_program("-install")
        self.set_states("active", "active")
        self.assertEqual(self.run_program("-remove", code=2), "Stopping VornIdReader.\n"
                         "VornIdReader failed to stop.\nVornIdReader is removed.\n")

    def test_remove_a_stopped_service(self):
        self.run_program("-install")
        self.assertEqual(self.run_program("-remove"), "VornIdReader is removed.\n")
        self.assertNotIn("stop --no-block " + UNIT, self.calls())

    def test_remove_what_is_not_installed(self):
        self.assertEqual(self.run_program("-remove", code=1),
                         "VornIdReader is not installed: %s does not exist\n"
                         % os.path.join(self.units, UNIT))
        self.assertEqual(self.calls(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
