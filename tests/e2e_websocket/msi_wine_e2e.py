#!/usr/bin/env python3
"""The Windows Installer package as an administrator uses it, under Wine in a prefix of the
test's own: a silent install with properties, the service serving the simulated card, the
browsers' registration and the native-messaging host from the installed folder, an upgrade
to a package with a higher version that keeps the edited config.ini, and a removal that
leaves nothing behind.

    VORN_BUILD_DIR=build/windows-x64 python3 msi_wine_e2e.py PACKAGE NEXT_PACKAGE -- RUNNER...

RUNNER runs a Windows program in the test's prefix, for example
"scripts/wine-run.sh --prefix build/windows-x64/msi-wineprefix".
"""

import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import service_wine_e2e as wine  # noqa: E402
from program_folder import ProgramFolder, free_port  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402
from wine_prefix import HeldSession  # noqa: E402

PACKAGE = None
NEXT_PACKAGE = None
PREFIX_VARIABLE = "VORN_MSI_WINEPREFIX"
START_TIMEOUT = 60.0
INSTALL_TIMEOUT = 300
CHROME_ID = "abcdefghijklmnopabcdefghijklmnop"
FIREFOX_ID = "reader@counter.example.org"
ORIGINS = "https://counter.example.com, http://localhost:8080"
HOST_KEYS = [
    r"HKLM\SOFTWARE\Google\Chrome\NativeMessagingHosts\com.vorn.idreader",
    r"HKLM\SOFTWARE\Microsoft\Edge\NativeMessagingHosts\com.vorn.idreader",
    r"HKLM\SOFTWARE\Chromium\NativeMessagingHosts\com.vorn.idreader",
    r"HKLM\SOFTWARE\Mozilla\NativeMessagingHosts\com.vorn.idreader",
]
EVENT_SOURCE_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VornIdReader"
SAVED_IDS_KEY = r"HKLM\SOFTWARE\VornIdReader"
WINDOWS_FOLDER = "C:\\Program Files\\VornIdReader\\"
# The description "-install" gives the service too.
SERVICE_DESCRIPTION = "此服响应来自本机网络关于二代证阅读器读卡请求"


def windows_path(path):
    """A path of this machine as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def timed(arguments):
    started = time.monotonic()
    code, text = wine.run(arguments, timeout=INSTALL_TIMEOUT)
    return code, text, time.monotonic() - started


def registry_values(key):
    """name -> data of a key's values, or None when the key does not exist."""
    code, text = wine.run(["reg", "query", key])
    if code != 0:
        return None
    values = {}
    for line in text.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2] if len(parts) == 3 else ""
    return values


def registry_text(key):
    """A key exported as Wine's reg.exe writes it (UTF-16), for text the console would mangle."""
    with tempfile.TemporaryDirectory() as work:
        exported = os.path.join(work, "key.reg")
        wine.run(["reg", "export", key, windows_path(exported), "/y"])
        with open(exported, "rb") as f:
            return f.read().decode("utf-16")


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2):
            return True
    except OSError:
        return False


class PackageUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = os.environ[PREFIX_VARIABLE]
        cls.folder = os.path.join(cls.prefix, "drive_c", "Program Files", "VornIdReader")
        # The build's program folder: the stand-in libraries the package copies in and the
        # sample cards the test lays on the simulated reader.
        cls.source = ProgramFolder()
        cls.libraries = tempfile.mkdtemp(prefix="vorn-msi-libraries-")
        for library in ("sdtapi.dll", "WltRS.dll"):
            shutil.copy2(os.path.join(cls.source.path, library), cls.libraries)
        cls.session = HeldSession(wine.RUNNER)
        # A package left installed by an interrupted run would turn the install into a repair.
        for package in (NEXT_PACKAGE, PACKAGE):
            wine.run(["msiexec", "/x", windows_path(package), "/qn"], timeout=INSTALL_TIMEOUT)
        shutil.rmtree(cls.folder, ignore_errors=True)

    @classmethod
    def tearDownClass(cls):
        for package in (NEXT_PACKAGE, PACKAGE):
            wine.run(["msiexec", "/x", windows_path(package), "/qn"], timeout=INSTALL_TIMEOUT)
        cls.session.close()
        cls.source.remove()
        shutil.rmtree(cls.libraries, ignore_errors=True)

    def installed(self, name):
        return os.path.join(self.folder, name)

    def read_installed(self, name):
        with open(self.installed(name), encoding="utf-8") as f:
            return f.read()

    def lay_card(self, card):
        """The simulated reader serves its cards from the folder the driver library is in."""
        shutil.copytree(os.path.join(self.source.path, "cards"), self.installed("cards"),
                        dirs_exist_ok=True)
        with open(self.installed("simulator.ini"), "w", encoding="utf-8") as f:
            f.write("[Reader]\ncard = cards/%s\n" % card)

    def take_cards_away(self):
        """What the test put beside the simulated reader, which no real reader has."""
        shutil.rmtree(self.installed("cards"), ignore_errors=True)
        if os.path.exists(self.installed("simulator.ini")):
            os.remove(self.installed("simulator.ini"))

    def read_card_over_websocket(self, port):
        self.assertTrue(wine.wait_until_listening(port, START_TIMEOUT), "not listening")
        card = "resident_long_term.ini"
        self.lay_card(card)
        with WebSocketClient(port, timeout=60) as client:
            # The package set the allowed origins: the page must be one of them.
            client.handshake(origin=ORIGINS.split(",")[0].strip())
            client.send_frame("readcard")
            reply = json.loads(client.receive_message())
        self.assertEqual(reply["result"], 0, reply["errmsg"])
        self.assertEqual(reply["ID"], self.source.card_id(card))
        self.assertTrue(reply["photo"], "the photo decoder copied in did not decode the photo")

    def read_card_as_browser(self):
        """The installed program started as a browser starts a native-messaging host."""
        request = b'"readidbase"'
        with tempfile.TemporaryDirectory() as work:
            done = subprocess.run(
                wine.RUNNER + [self.installed("VornIdReader.exe")],
                input=struct.pack("<I", len(request)) + request, capture_output=True,
                cwd=work, timeout=120)
        out = done.stdout
        self.assertGreaterEqual(len(out), 4, "no reply frame")
        (length,) = struct.unpack("<I", out[:4])
        reply = json.loads(out[4:4 + length].decode("utf-8"))
        self.assertEqual(reply["result"], 0, reply["errmsg"])
        self.assertEqual(reply["ID"], self.source.card_id("resident_long_term.ini"))

    def assert_registered(self, chrome_ids, firefox_ids):
        chrome_manifest = WINDOWS_FOLDER + "com.vorn.idreader.json"
        firefox_manifest = WINDOWS_FOLDER + "com.vorn.idreader.firefox.json"
        for key in HOST_KEYS:
            expected = firefox_manifest if "Mozilla" in key else chrome_manifest
            self.assertEqual(registry_values(key), {"(Default)": expected}, key)
        chrome = json.loads(self.read_installed("com.vorn.idreader.json"))
        firefox = json.loads(self.read_installed("com.vorn.idreader.firefox.json"))
        for manifest in (chrome, firefox):
            self.assertEqual(manifest["name"], "com.vorn.idreader")
            self.assertEqual(manifest["path"], WINDOWS_FOLDER + "VornIdReader.exe")
            self.assertEqual(manifest["type"], "stdio")
        self.assertEqual(chrome["allowed_origins"],
                         ["chrome-extension://%s/" % i for i in chrome_ids])
        self.assertEqual(firefox["allowed_extensions"], firefox_ids)
        events = registry_values(EVENT_SOURCE_KEY)
        self.assertEqual(events["EventMessageFile"], WINDOWS_FOLDER + "VornIdReader.exe")
        self.assertEqual(events["TypesSupported"], "0x7")

    def assert_nothing_left(self):
        self.assertIsNone(wine.service_state(), "service left behind")
        self.assertFalse(os.path.exists(self.folder), "files left: %s" % (
            os.listdir(self.folder) if os.path.isdir(self.folder) else ""))
        for key in HOST_KEYS + [EVENT_SOURCE_KEY, SAVED_IDS_KEY]:
            self.assertIsNone(registry_values(key), "key left: " + key)

    def test_a_bad_setting_fails_the_install_and_leaves_nothing(self):
        code, _, _ = timed(["msiexec", "/i", windows_path(PACKAGE), "/qn", "PORT=http"])
        self.assertNotEqual(code, 0)
        self.assert_nothing_left()

    def test_b_install_upgrade_and_remove(self):
        port = free_port()
        code, _, took = timed([
            "msiexec", "/i", windows_path(PACKAGE), "/qn", "PORT=%d" % port, "LOG=1",
            "ALLOWED_ORIGINS=" + ORIGINS, "LIBRARYDIR=" + windows_path(self.libraries),
            "CHROME_EXTENSION_IDS=" + CHROME_ID, "FIREFOX_ADDON_IDS=" + FIREFOX_ID])
        print("install: %.1f s" % took, file=sys.stderr)
        self.assertEqual(code, 0)
        config = self.read_installed("config.ini")
        self.assertIn("port=%d" % port, config)
        self.assertIn("log=1", config)
        self.assertIn("[Security]", config)
        self.assertIn("allowed_origins=" + ORIGINS, config)
        self.assertEqual(wine.service_state(), 4, "RUNNING")
        service = registry_values(r"HKLM\SYSTEM\CurrentControlSet\Services\VornIdReader")
        self.assertEqual(service["DisplayName"], "VornIdReaderService")
        self.assertEqual(service["Start"], "0x2")
        self.assertEqual(service["ObjectName"], "LocalSystem")
        self.assertIn('"Description"="%s"' % SERVICE_DESCRIPTION,
                      registry_text(r"HKLM\SYSTEM\CurrentControlSet\Services\VornIdReader"))
        self.read_card_over_websocket(port)
        # LOG=1 made the folder the service traces into; the removal takes the traces along.
        self.assertTrue(os.listdir(self.installed("QD_LOG")), "no trace written")
        self.assert_registered([CHROME_ID], [FIREFOX_ID])
        self.read_card_as_browser()

        # The administrator moves the service to another port; the upgrade, given no
        # properties, keeps that and the extensions it was given before.
        edited_port = free_port()
        edited = config.replace("port=%d" % port, "port=%d" % edited_port) + "; edited\n"
        with open(self.installed("config.ini"), "w", encoding="utf-8") as f:
            f.write(edited)
        code, _, took = timed(["msiexec", "/i", windows_path(NEXT_PACKAGE), "/qn"])
        print("upgrade: %.1f s" % took, file=sys.stderr)
        self.assertEqual(code, 0)
        self.assertEqual(self.read_installed("config.ini"), edited)
        self.assertEqual(wine.service_state(), 4, "RUNNING after the upgrade")
        self.read_card_over_websocket(edited_port)
        self.assertFalse(listening(port))
        self.assert_registered([CHROME_ID], [FIREFOX_ID])
        _, text = wine.run(["reg", "query",
                            r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall", "/s"])
        products = [line for line in text.splitlines()
                    if line.split()[:3] == ["DisplayName", "REG_SZ", "VornIdReader"]]
        self.assertEqual(len(products), 1, "the older package is not replaced")
        self.assertIn(os.path.basename(NEXT_PACKAGE).split("-")[1], text)

        self.take_cards_away()
        code, _, took = timed(["msiexec", "/x", windows_path(NEXT_PACKAGE), "/qn"])
        print("removal: %.1f s" % took, file=sys.stderr)
        self.assertEqual(code, 0)
        self.assertFalse(listening(edited_port))
        self.assert_nothing_left()


if __name__ == "__main__":
    cut = sys.argv.index("--")
    wine.RUNNER[:] = sys.argv[cut + 1:]
    PACKAGE, NEXT_PACKAGE = sys.argv[cut - 2:cut]
    sys.argv = sys.argv[:cut - 2]
    unittest.main(verbosity=2)
