#!/usr/bin/env python3
"""Signing of the Windows build: with a throwaway self-signed certificate made here, the
signing script that the build calls signs the program and the installer package so that
osslsigncode verifies them against that certificate; without a certificate it changes
nothing, and a half-given one is an error rather than an unsigned build.

    signing_e2e.py SIGN_SCRIPT PROGRAM PACKAGE
"""

import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SIGN_SCRIPT = PROGRAM = PACKAGE = None
PASSWORD = "throwaway-password"
SIGN_VARIABLES = ("VORN_SIGN_CERT", "VORN_SIGN_KEY", "VORN_SIGN_PASSWORD", "VORN_SIGN_TIMESTAMP")


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Signing(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="vorn-signing-")
        cls.cert = os.path.join(cls.work, "cert.pem")
        cls.key = os.path.join(cls.work, "key.pem")
        cls.pfx = os.path.join(cls.work, "signer.pfx")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-sha256",
                        "-days", "2", "-subj", "/CN=VornIdReader throwaway signer",
                        "-addext", "extendedKeyUsage=codeSigning",
                        "-passout", "pass:" + PASSWORD, "-keyout", cls.key, "-out", cls.cert],
                       check=True, capture_output=True)
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", cls.key, "-in", cls.cert,
                        "-passin", "pass:" + PASSWORD, "-passout", "pass:" + PASSWORD,
                        "-out", cls.pfx], check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def copy(self, source):
        folder = tempfile.mkdtemp(dir=self.work)
        return shutil.copy2(source, folder)

    def sign(self, files, **variables):
        environment = {k: v for k, v in os.environ.items() if k not in SIGN_VARIABLES}
        environment.update(variables)
        return subprocess.run([SIGN_SCRIPT] + files, env=environment, capture_output=True,
                              text=True, timeout=120)

    def verify(self, path):
        done = subprocess.run(["osslsigncode", "verify", "-CAfile", self.cert, "-in", path],
                              capture_output=True, text=True, timeout=120)
        return done.returncode == 0 and "Signature verification: ok" in done.stdout, done.stdout

    def test_key_pair_signs_program_and_package(self):
        files = [self.copy(PROGRAM), self.copy(PACKAGE)]
        for path in files:
            self.assertFalse(self.verify(path)[0], "unsigned file passes verification")
        done = self.sign(files, VORN_SIGN_CERT=self.cert, VORN_SIGN_KEY=self.key,
                         VORN_SIGN_PASSWORD=PASSWORD)
        self.assertEqual(done.returncode, 0, done.stderr)
        for path in files:
            ok, report = self.verify(path)
            self.assertTrue(ok, report)
        # The password is read from a file, never put on a command line.
        self.assertNotIn(PASSWORD, done.stdout + done.stderr)

    def test_pfx_signs_the_package(self):
        package = self.copy(PACKAGE)
        done = self.sign([package], VORN_SIGN_CERT=self.pfx, VORN_SIGN_PASSWORD=PASSWORD)
        self.assertEqual(done.returncode, 0, done.stderr)
        ok, report = self.verify(package)
        self.assertTrue(ok, report)

    def test_without_a_certificate_nothing_changes(self):
        program = self.copy(PROGRAM)
        before = digest(program)
        self.assertEqual(self.sign([program]).returncode, 0)
        self.assertEqual(digest(program), before)

    def test_incomplete_or_wrong_credentials_fail_the_build(self):
        program = self.copy(PROGRAM)
        before = digest(program)
        for variables in ({"VORN_SIGN_CERT": self.cert},
                          {"VORN_SIGN_CERT": os.path.join(self.work, "missing.pem"),
                           "VORN_SIGN_KEY": self.key},
                          {"VORN_SIGN_CERT": self.cert, "VORN_SIGN_KEY": self.key,
                           "VORN_SIGN_PASSWORD": "wrong"}):
            done = self.sign([program], **variables)
            self.assertNotEqual(done.returncode, 0, variables)
            self.assertEqual(digest(program), before, variables)


if __name__ == "__main__":
    SIGN_SCRIPT, PROGRAM, PACKAGE = sys.argv[1:4]
    sys.argv = sys.argv[:1] + sys.argv[4:]
    unittest.main(verbosity=2)
