#!/usr/bin/env python3
"""Smoke test of the x86 Windows build where 32-bit Wine runs under an emulator.

Every start there costs about a minute of processor time, so three steps stand for the x86
suite: "-version", one native-messaging read of the sample resident card with
its pictures, compared with the x64 build's reply of the same card (every text member equal,
each picture decoded and equal within a few levels per colour channel), and "-selftest".

    x86_smoke_wine_e2e.py --build-dir DIR --x64-build-dir DIR --work-dir DIR -- RUNNER...

RUNNER starts a program of the x86 build's 32-bit prefix (scripts/wine-run.sh --arch win32).
The x64 program runs in a 64-bit prefix of its own under the work folder, kept for the next
run, so that the x64 tests beside this one are not disturbed.

Only the program is judged, by its exit code and its output: a crash of one of Wine's own
processes under the emulator (Wine's AeDebug starts "winedbg --auto", which prints the
backtrace and ends it) is reported and does not fail a step. Every step has a time limit.
"""

import argparse
import base64
import io
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from native_messaging_e2e import (  # noqa: E402
    REQUEST, Platform, PrefixHolder, Scenario, frame, prepare)

from PIL import Image, ImageChops  # noqa: E402

WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir,
                        "scripts", "wine-run.sh")
CARD = "resident_long_term.ini"
PICTURES = ("photo", "frontImg", "backImg")
# Levels per colour channel two JPEG encoders of the same pixels may differ by.
PICTURE_TOLERANCE = 16
# Under qemu-i386 on a 2-core machine a new 32-bit prefix took from 8.5 minutes (idle) to 23
# (busy). The first start in a prefix waits for its session's boot, which took 12.7 minutes
# at a load of 3 to 5; a later start about a minute, a read 2.5. The limits leave room for a
# busy machine.
PREFIX_TIMEOUT = 25 * 60
STEP_TIMEOUT = 20 * 60
# Wine may end a program that asked for the service dispatcher before it has read its
# request, with exit code 0 and no output; such a silent run is tried once more.
SILENT_RETRIES = 1
AEDEBUG_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"
WINE_CRASH_TEXT = b"Unhandled exception"


class StepFailed(Exception):
    pass


class Prefix:
    """A Wine prefix: the runner in front of its programs, set up to never wait on a crash."""

    def __init__(self, runner):
        self.runner = runner
        self.holder = None
        self.wine_crashes = 0

    def start(self):
        self.run_quietly(["--init"], PREFIX_TIMEOUT)
        self.ensure_crash_debugger()
        self.holder = SlowPrefixHolder(self.runner)

    def ensure_crash_debugger(self):
        """A crashing process starts "winedbg --auto", which prints and ends it: no dialog
        and no debugger left waiting. New prefixes have this; an older one is set here."""
        with open(os.path.join(self.path(), "system.reg"), encoding="utf-8",
                  errors="replace") as handle:
            registry = handle.read()
        section = registry.partition("[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion"
                                     "\\\\AeDebug]")[2].partition("\n[")[0]
        if '"Auto"="1"' in section and '"Debugger"="winedbg --auto' in section:
            return
        for name, value in (("Debugger", "winedbg --auto %ld %ld"), ("Auto", "1")):
            self.run_quietly(["reg", "add", AEDEBUG_KEY, "/v", name, "/d", value, "/f"],
                             STEP_TIMEOUT)

    def path(self):
        return self.runner[self.runner.index("--prefix") + 1]

    def run_quietly(self, arguments, timeout):
        subprocess.run(self.runner + arguments, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                       timeout=timeout)

    def run(self, arguments, stdin=b"", cwd=None):
        """Exit code, standard output and standard error of a program of the prefix. The
        outputs go through files: a crashed Wine process may keep a pipe open forever."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                code = subprocess.run(self.runner + arguments, input=stdin, stdout=out,
                                      stderr=err, cwd=cwd, timeout=STEP_TIMEOUT).returncode
            except subprocess.TimeoutExpired:
                raise StepFailed("no exit within %d s" % STEP_TIMEOUT)
            out.seek(0)
            err.seek(0)
            stdout, stderr = out.read(), err.read()
        self.wine_crashes += stderr.count(WINE_CRASH_TEXT)
        return code, stdout, stderr

    def stop(self):
        if self.holder is not None:
            self.holder.close()
            self.holder = None
        subprocess.run(self.runner + ["--kill"], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


class SlowPrefixHolder(PrefixHolder):
    """The command prompt that keeps the program company, given time to start emulated: as
    the first start in the prefix it waits for the session's boot, as long as a new prefix."""

    READY_TIMEOUT_SECONDS = PREFIX_TIMEOUT


def judged(code, stdout, stderr, expected_code=0):
    """The program's own verdict: its exit code, and what it said on standard error when
    that is wrong (a crash of the program itself shows there, through winedbg)."""
    if code != expected_code:
        raise StepFailed("exit code %d, expected %d; standard error ends with %r" % (
            code, expected_code, stderr[-800:]))
    return stdout


def version(prefix, program):
    code, stdout, stderr = prefix.run([program, "-version"])
    return judged(code, stdout, stderr).decode("utf-8", "replace").strip()


def read_card(prefix, folder, program):
    """The reply of one native-messaging read, as a dict; the frame is checked whole."""
    for _ in range(1 + SILENT_RETRIES):
        code, stdout, stderr = prefix.run([os.path.join(folder, program)],
                                          stdin=frame(REQUEST), cwd=folder)
        if stdout or code != 0:
            break
    stdout = judged(code, stdout, stderr)
    if len(stdout) < 4 or int.from_bytes(stdout[:4], "little") != len(stdout) - 4:
        raise StepFailed("not one whole frame: %r" % stdout[:80])
    return json.loads(stdout[4:].decode("utf-8"))


def picture(reply, member):
    text = reply.get(member) or ""
    try:
        image = Image.open(io.BytesIO(base64.b64decode(text, validate=True)))
        return image.convert("RGB")
    except (ValueError, OSError) as error:
        raise StepFailed("%s is no picture (%d characters): %s" % (member, len(text), error))


def compare_replies(x86, x64):
    """What differs between the two builds' replies, beyond the encoders' rounding."""
    problems = []
    if sorted(x86) != sorted(x64):
        problems.append("members %s, the x64 build's %s" % (sorted(x86), sorted(x64)))
    for member in sorted(set(x86) & set(x64) - set(PICTURES)):
        if x86[member] != x64[member]:
            problems.append("%s is %r, the x64 build's %r" % (member, x86[member], x64[member]))
    for member in PICTURES:
        ours, theirs = picture(x86, member), picture(x64, member)
        if ours.size != theirs.size:
            problems.append("%s is %dx%d, the x64 build's %dx%d" % (
                (member,) + ours.size + theirs.size))
            continue
        extremes = ImageChops.difference(ours, theirs).getextrema()
        worst = max(high for _, high in extremes)
        if worst > PICTURE_TOLERANCE:
            problems.append("%s differs by up to %d levels per channel from the x64 build's" % (
                member, worst))
    return problems


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def program_folder(build_dir, work_dir):
    """The program with the simulated reader, the resident card on it, and the decoder."""
    platform = Platform(os.path.abspath(build_dir))
    folder = tempfile.mkdtemp(prefix="vorn-smoke-", dir=work_dir)
    prepare(folder, platform, Scenario("smoke", None, reader="card = cards/%s\n" % CARD,
                                       decoder=""))
    # The self-test checks that the endpoint's port is free: one nobody uses.
    with open(os.path.join(folder, "config.ini"), "w", encoding="utf-8") as handle:
        handle.write("[Bind]\nip=127.0.0.1\nport=%d\n" % free_port())
    return folder, platform.program


def self_test(prefix, folder, program):
    code, stdout, stderr = prefix.run([os.path.join(folder, program), "-selftest"], cwd=folder)
    text = judged(code, stdout, stderr).decode("utf-8", "replace")
    if not any(line.startswith("[ OK ] card read:") for line in text.splitlines()):
        raise StepFailed("no successful card read in:\n" + text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--x64-build-dir", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("runner", nargs="+", help="starts a program of the 32-bit prefix")
    args = parser.parse_args()
    if not os.path.exists(os.path.join(args.x64_build_dir, "VornIdReader.exe")):
        print("FAIL no x64 program in %s to compare with: build windows-x64 first" %
              args.x64_build_dir)
        return 1
    # The x64 prefix stays for the next run: under the emulator a new one takes minutes too.
    os.makedirs(args.work_dir, exist_ok=True)
    x86 = Prefix(args.runner)
    x64 = Prefix([WINE_RUN, "--prefix", os.path.join(args.work_dir, "x64-prefix")])
    x86_folder, program = program_folder(args.build_dir, args.work_dir)
    x64_folder, _ = program_folder(args.x64_build_dir, args.work_dir)
    failed = []

    def step(name, function, *arguments):
        started = time.monotonic()
        try:
            result = function(*arguments)
        except (StepFailed, subprocess.SubprocessError, OSError, ValueError) as error:
            print("FAIL %s (%.0f s)\n    %s" % (name, time.monotonic() - started, error),
                  flush=True)
            failed.append(name)
            return False, None
        print("ok   %s (%.0f s)" % (name, time.monotonic() - started), flush=True)
        return True, result

    def reference():
        # Quick, and run first: its failure is not the x86 build's.
        x64.start()
        answers = (version(x64, os.path.join(x64_folder, program)),
                   read_card(x64, x64_folder, program))
        x64.stop()
        return answers

    def same_version(expected):
        said = version(x86, os.path.join(x86_folder, program))
        if said != expected:
            raise StepFailed("says %r, the x64 build %r" % (said, expected))

    def same_reply(expected):
        problems = compare_replies(read_card(x86, x86_folder, program), expected)
        if problems:
            raise StepFailed("the reply differs from the x64 build's:\n    " +
                             "\n    ".join(problems))

    try:
        ok, answers = step("x64 reference: -version and the read", reference)
        if ok and step("x86: prefix and session", x86.start)[0]:
            step("x86: -version", same_version, answers[0])
            step("x86: native-messaging read with pictures", same_reply, answers[1])
            step("x86: -selftest", self_test, x86, x86_folder, program)
    finally:
        x86.stop()
        x64.stop()
        for folder in (x86_folder, x64_folder):
            shutil.rmtree(folder, ignore_errors=True)
    if x86.wine_crashes:
        print("note: %d crash reports of Wine's own processes under the emulator; only the "
              "program's exit codes and output decide" % x86.wine_crashes)
    print("failed: " + ", ".join(failed) if failed else "all steps passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
