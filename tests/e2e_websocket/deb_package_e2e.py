#!/usr/bin/env python3
"""The Debian package as an administrator meets it: built with cpack, checked by lintian,
installed with dpkg, the service run the way its unit runs it (systemd does not run here), the
host started the way a browser finds it through its manifest, and a purge that leaves nothing.

Installs into the machine itself, so it needs root and runs only where the package is not
installed already; otherwise it reports itself skipped.

    VORN_BUILD_DIR=build/linux python3 deb_package_e2e.py --cpack /usr/bin/cpack --version 1.0.0
"""

import argparse
import configparser
import glob
import grp
import json
import os
import pwd
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from notify_socket import NotifySocket  # noqa: E402
from program_folder import build_dir, free_port  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402

PACKAGE = "vornidreader"
UNIT = "VornIdReader.service"
UNIT_FILE = "/lib/systemd/system/" + UNIT
HOST_NAME = "com.vorn.idreader"
MANIFEST_FOLDERS = ("/etc/opt/chrome/native-messaging-hosts",
                    "/etc/chromium/native-messaging-hosts",
                    "/etc/opt/edge/native-messaging-hosts",
                    "/usr/lib/mozilla/native-messaging-hosts")
FIREFOX_FOLDER = MANIFEST_FOLDERS[-1]
SIMULATOR_FILES = ("libsdtapi.so", "libWltRS.so")
REQUEST = b'"readidbase"'
RUN_TIMEOUT = 60
READY_TIMEOUT = 15.0
# The skip code ctest is told about.
SKIPPED = 77

OPTIONS = None


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=RUN_TIMEOUT,
                          **kwargs)


def package_installed():
    done = run(["dpkg-query", "-W", "-f=${db:Status-Status}", PACKAGE])
    return done.returncode == 0 and done.stdout.strip() not in ("", "not-installed")


def unit_settings():
    parser = configparser.ConfigParser(strict=False, interpolation=None)
    parser.optionxform = str
    parser.read(UNIT_FILE, encoding="utf-8")
    return parser["Service"]


def wrapped_frame(text):
    return struct.pack("<I", len(text)) + text


class DebianPackage(unittest.TestCase):
    """One scenario from building to purging: each step needs the one before it."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="vorn-deb-")
        self.process = None
        self.notify = None

    def tearDown(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if self.notify is not None:
            self.notify.close()
        if package_installed():
            self.remove_simulator()
            run(["dpkg", "--purge", PACKAGE])
        shutil.rmtree(self.work, ignore_errors=True)

    def build_package(self):
        started = time.monotonic()
        done = run([OPTIONS.cpack, "-G", "DEB", "-B", self.work], cwd=build_dir())
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        packages = glob.glob(os.path.join(self.work, "*.deb"))
        self.assertEqual(len(packages), 1, packages)
        print("package %s: %d bytes, built in %.1f s" % (
            os.path.basename(packages[0]), os.path.getsize(packages[0]),
            time.monotonic() - started))
        return packages[0]

    def check_lintian(self, package):
        if shutil.which("lintian") is None:
            print("lintian not installed: the package is not checked by it")
            return
        done = run(["lintian", "--fail-on", "error", package])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertNotIn("E: ", done.stdout)

    def install(self, package):
        started = time.monotonic()
        done = run(["dpkg", "--install", package])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        print("installed in %.1f s" % (time.monotonic() - started))
        done = run(["dpkg-query", "-L", PACKAGE])
        return [line for line in done.stdout.splitlines() if line not in ("/.", "")]

    def check_installed(self, service):
        user = pwd.getpwnam(service["User"])
        self.assertNotEqual(user.pw_uid, 0)
        self.assertLess(user.pw_uid, 1000, "a system account")
        self.assertEqual(user.pw_shell, "/usr/sbin/nologin")
        for group in service["SupplementaryGroups"].split():
            self.assertIn(service["User"], grp.getgrnam(group).gr_mem)
        for setting in ("NoNewPrivileges=yes", "ProtectSystem=strict", "ProtectHome=yes",
                        "PrivateTmp=yes"):
            key, value = setting.split("=")
            self.assertEqual(service[key], value)
        self.assertIn("StateDirectory", service)
        # Enabled for the next boot, although systemd does not run to start it now.
        wanted = "/etc/systemd/system/multi-user.target.wants/" + UNIT
        self.assertTrue(os.path.islink(wanted), wanted)
        self.assertEqual(os.path.realpath(wanted), os.path.realpath(UNIT_FILE))

    def program(self):
        with open(os.path.join(MANIFEST_FOLDERS[0], HOST_NAME + ".json"),
                  encoding="utf-8") as f:
            return json.load(f)["path"]

    def check_manifests(self):
        program = self.program()
        for folder in MANIFEST_FOLDERS:
            with open(os.path.join(folder, HOST_NAME + ".json"), encoding="utf-8") as f:
                manifest = json.load(f)
            self.assertEqual(manifest["name"], HOST_NAME)
            self.assertEqual(manifest["type"], "stdio")
            self.assertEqual(manifest["path"], program)
            key = "allowed_extensions" if folder == FIREFOX_FOLDER else "allowed_origins"
            self.assertIsInstance(manifest[key], list, folder)
        self.assertTrue(os.access(program, os.X_OK), program)

    def lay_simulator(self, program_dir, port):
        """The stand-in reader libraries and a card beside the installed program, as an
        administrator puts the reader maker's libraries there."""
        build = build_dir()
        for name in SIMULATOR_FILES:
            shutil.copy2(os.path.join(build, name), program_dir)
        shutil.copytree(os.path.join(build, "cards"), os.path.join(program_dir, "cards"))
        with open(os.path.join(program_dir, "simulator.ini"), "w", encoding="utf-8") as f:
            f.write("[Reader]\ncard = cards/resident_long_term.ini\n")
        # Through the program folder's link, into the settings file under /etc.
        with open(os.path.join(program_dir, "config.ini"), "w", encoding="utf-8") as f:
            f.write("[Bind]\nip=127.0.0.1\nport=%d\nlog=0\n" % port)

    def remove_simulator(self):
        program_dir = "/usr/lib/" + PACKAGE
        for name in SIMULATOR_FILES + ("simulator.ini",):
            path = os.path.join(program_dir, name)
            if os.path.exists(path):
                os.unlink(path)
        shutil.rmtree(os.path.join(program_dir, "cards"), ignore_errors=True)

    def run_as_unit(self, service, port):
        """Starts ExecStart the way systemd would: as the unit's user and groups, in its
        working directory (made from StateDirectory, owned by that user), without new
        privileges, with a notify socket."""
        user = pwd.getpwnam(service["User"])
        for root, key in (("/var/lib", "StateDirectory"), ("/var/log", "LogsDirectory")):
            path = os.path.join(root, service[key])
            os.makedirs(path, exist_ok=True)
            os.chown(path, user.pw_uid, user.pw_gid)
        self.assertEqual(service["WorkingDirectory"], "/var/lib/" + service["StateDirectory"])
        self.notify = NotifySocket()
        os.chmod(self.notify.folder, 0o755)
        os.chmod(self.notify.path, 0o777)
        command = ["setpriv", "--reuid=" + service["User"], "--regid=" + service["Group"],
                   "--groups=" + ",".join(service["SupplementaryGroups"].split()),
                   "--no-new-privs", "--"] + service["ExecStart"].split()
        environment = {"PATH": "/usr/bin:/bin", "NOTIFY_SOCKET": self.notify.path}
        self.process = subprocess.Popen(command, cwd=service["WorkingDirectory"],
                                        env=environment, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertTrue(self.notify.wait_for("READY=1", READY_TIMEOUT),
                        "no READY=1 among %r" % self.notify.messages)
        with WebSocketClient(port) as client:
            client.handshake()
            client.send_frame("readcard")
            reply = json.loads(client.receive_message())
        self.assertEqual(reply["result"], 0, reply["errmsg"])
        self.assertEqual(reply["ID"], "11010119650312158X")
        self.process.send_signal(signal.SIGTERM)
        stdout, stderr = self.process.communicate(timeout=RUN_TIMEOUT)
        self.assertEqual(self.process.returncode, 0, stderr)
        self.assertTrue(self.notify.wait_for("STATUS=Stopped", 1.0), self.notify.messages)
        # The state folder the service works in belongs to the service's own account.
        self.assertEqual(os.stat(service["WorkingDirectory"]).st_uid, user.pw_uid)

    def run_as_browser_host(self):
        """Chrome starts the manifest's program with the extension's origin, Firefox with the
        manifest's path, both as the user at the desk (here "nobody")."""
        desk = os.path.join(self.work, "desk")
        os.mkdir(desk)
        os.chmod(self.work, 0o755)
        os.chmod(desk, 0o777)
        program = self.program()
        for arguments in (["chrome-extension://abcdefghijklmnopabcdefghijklmnop/"],
                          [os.path.join(FIREFOX_FOLDER, HOST_NAME + ".json"), "vorn@test"]):
            done = subprocess.run(
                ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                 program] + arguments, input=wrapped_frame(REQUEST), capture_output=True,
                cwd=desk, env={"PATH": "/usr/bin:/bin"}, timeout=RUN_TIMEOUT)
            self.assertEqual(done.returncode, 0, done.stderr)
            length = struct.unpack("<I", done.stdout[:4])[0]
            self.assertEqual(len(done.stdout), 4 + length)
            reply = json.loads(done.stdout[4:].decode("utf-8"))
            self.assertEqual(reply["ID"], "11010119650312158X", reply["errmsg"])

    def purge(self, files, service):
        started = time.monotonic()
        done = run(["dpkg", "--purge", PACKAGE])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        print("purged in %.1f s" % (time.monotonic() - started))
        self.assertFalse(package_installed())
        left = [path for path in files if os.path.lexists(path) and not os.path.isdir(path)]
        left += [path for path in ("/usr/lib/" + PACKAGE, "/etc/" + PACKAGE,
                                   "/var/lib/" + service["StateDirectory"],
                                   "/var/log/" + service["LogsDirectory"])
                 if os.path.lexists(path)]
        left += glob.glob("/etc/systemd/system/*/" + UNIT)
        left += glob.glob("/etc/systemd/system/" + UNIT)
        left += glob.glob("/var/lib/systemd/deb-systemd-helper-*/*" + UNIT + "*")
        left += glob.glob("/var/lib/systemd/deb-systemd-helper-*/*/" + UNIT + "*")
        self.assertEqual(left, [])
        for lookup in (pwd.getpwnam, grp.getgrnam):
            with self.assertRaises(KeyError):
                lookup(service["User"])

    def test_build_install_serve_and_purge(self):
        package = self.build_package()
        self.check_lintian(package)
        files = self.install(package)
        for path in [UNIT_FILE] + [os.path.join(folder, HOST_NAME + ".json")
                                   for folder in MANIFEST_FOLDERS]:
            self.assertIn(path, files, "a file of the package")
        service = unit_settings()
        self.check_installed(service)
        self.check_manifests()

        done = run([self.program(), "--version"])
        self.assertEqual((done.returncode, done.stdout),
                         (0, "VornIdReader %s\n" % OPTIONS.version))

        port = free_port()
        self.lay_simulator(os.path.dirname(self.program()), port)
        self.run_as_unit(service, port)
        self.run_as_browser_host()

        # The reader maker's libraries are the administrator's: taken away before the purge,
        # as dpkg leaves alone what it did not install.
        self.remove_simulator()
        self.purge(files, service)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--version", required=True)
    OPTIONS, rest = parser.parse_known_args()
    if os.geteuid() != 0 or shutil.which("dpkg") is None or shutil.which("setpriv") is None:
        print("skipped: installing a package needs root, dpkg and setpriv")
        return SKIPPED
    if package_installed():
        print("skipped: %s is installed on this machine and is left alone" % PACKAGE)
        return SKIPPED
    program = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
