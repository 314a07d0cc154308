#!/usr/bin/env python3
"""End-to-end test of the native-messaging host against the simulated reader.

Every scenario gets a fresh folder holding a copy of the program, the driver library (or a
variant of it, or none), the sample cards and a description file, runs the program once with
one request frame on standard input, and compares the frame on standard output byte for byte
with the reply worked out from the card file. The photo decoder library is never put beside
the program, so a successful read replies with the card's text fields, empty pictures and
the message that the decoder could not be loaded: every byte of the reply is predictable.

    native_messaging_e2e.py --build-dir DIR [--only NAME] [--keep] [--work-dir DIR]
                            [--hold-prefix] [-- RUNNER...]

RUNNER is put in front of the program, for example `scripts/wine-run.sh --prefix DIR`, so
that the same scenarios run the Windows program under Wine. With --hold-prefix a command
prompt is kept running through RUNNER while the scenarios run: Wine turns a process that
asks for the service dispatcher into a system process and ends it as soon as no ordinary
process is left in the prefix, which would cut the program off before it replies.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import expected_reply  # noqa: E402

RUN_TIMEOUT_SECONDS = 30
REQUEST = b'"readidbase"'
DRIVER_LOAD_FAILED = "加载二代证设备库失败."
DECODER_LOAD_FAILED = "加载二代证解码库失败."


def frame(body):
    return struct.pack("<I", len(body)) + body


class Platform:
    """File names of one build: the program and the driver library."""

    def __init__(self, build_dir):
        self.build_dir = build_dir
        if os.path.exists(os.path.join(build_dir, "VornIdReader.exe")):
            self.program, self.driver = "VornIdReader.exe", "sdtapi.dll"
        else:
            self.program, self.driver = "VornIdReader", "libsdtapi.so"

    def driver_path(self, variant):
        if variant is None:
            return os.path.join(self.build_dir, self.driver)
        return os.path.join(self.build_dir, "simulator-variants", variant, self.driver)


class Scenario:
    """One run of the program: what lies beside it, what it is sent, what it must answer."""

    def __init__(self, name, expected, reader="", variant=None, driver=True, stdin=None,
                 config=None, check=None):
        self.name = name
        self.expected = expected  # reply bytes, or None when no frame may come back
        self.reader = reader  # body of section [Reader] of simulator.ini
        self.variant = variant
        self.driver = driver
        self.stdin = frame(REQUEST) if stdin is None else stdin
        self.config = config  # content of config.ini, if any
        self.check = check  # further check of the folder after the run; returns an error


def trace_file_check(folder):
    names = os.listdir(os.path.join(folder, "QD_LOG"))
    pattern = re.compile(r"^\[\d{4}-\d{2}-\d{2}\]SDT_LOG_1\.log$")
    logs = [n for n in names if pattern.match(n)]
    if len(logs) != 1:
        return "expected one trace file in QD_LOG, found %r" % names
    today = time.strftime("[%Y-%m-%d]")
    if not logs[0].startswith(today) and not os.environ.get("VORN_E2E_ANY_DATE"):
        return "trace file %s is not dated today %s" % (logs[0], today)
    with open(os.path.join(folder, "QD_LOG", logs[0]), "rb") as handle:
        head = handle.read(4)
    if head[:2] != b"\xff\xfe" or len(head) < 4:
        return "trace file does not start with the UTF-16LE byte order mark: %r" % head
    return None


def no_trace_file_check(folder):
    names = os.listdir(os.path.join(folder, "QD_LOG"))
    return "trace file written although logging is off: %r" % names if names else None


def scenarios(cards_dir):
    # The picture stages follow a successful read and find no decoder library.
    success_message = DECODER_LOAD_FAILED

    def card(name):
        return os.path.join(cards_dir, name)

    def card_reply(name, text_length=256):
        return expected_reply.card_reply(card(name), text_length, success_message)

    resident = "resident_long_term.ini"
    on_reader = "card = cards/%s\n" % resident
    found = []
    for name in sorted(os.listdir(cards_dir)):
        if name.endswith(".ini"):
            found.append(Scenario("card " + name[:-4], card_reply(name),
                                  reader="card = cards/%s\n" % name))
    return found + [
        Scenario("no card", expected_reply.reply_text(0x80, "寻卡失败(128).")),
        Scenario("card file missing",
                 expected_reply.reply_text(0x80, "寻卡失败(128)."),
                 reader="card = cards/nobody.ini\n"),
        Scenario("find refused with a chosen code",
                 expected_reply.reply_text(-7, "寻卡失败(-7)."),
                 reader=on_reader + "find = -7\n"),
        Scenario("select refused",
                 expected_reply.reply_text(0x41, "寻卡失败(65)."),
                 reader=on_reader + "select = 0x41\n"),
        # The plain read would succeed: a failing fingerprint read must not fall back to it.
        Scenario("fingerprint read fails",
                 expected_reply.reply_text(0x42, "读卡信息失败(66)."),
                 reader=on_reader + "read_fp = 0x42\n"),
        Scenario("fingerprint read unavailable, plain read succeeds", card_reply(resident),
                 reader=on_reader + "read_fp = 33\n"),
        Scenario("fingerprint read unavailable, plain read fails",
                 expected_reply.reply_text(0x43, "读卡信息失败(67)."),
                 reader=on_reader + "read_fp = 33\nread = 0x43\n"),
        Scenario("malformed description",
                 expected_reply.reply_text(0x41, "读卡信息失败(65)."),
                 reader=on_reader + "read = ninety\n"),
        Scenario("library without SDT_ReadBaseFPMsg", card_reply("permit_macau.ini"),
                 reader="card = cards/permit_macau.ini\n", variant="no-fingerprint"),
        Scenario("library with only the four called entry points",
                 card_reply("foreigner_usa.ini"), reader="card = cards/foreigner_usa.ini\n",
                 variant="minimal"),
        Scenario("no driver library", expected_reply.reply_text(-11, DRIVER_LOAD_FAILED),
                 reader=on_reader, driver=False),
        Scenario("short text record, resident", card_reply(resident, 200),
                 reader=on_reader + "text_length = 200\n"),
        Scenario("short text record, foreigner", card_reply("foreigner_canada.ini", 250),
                 reader="card = cards/foreigner_canada.ini\ntext_length = 250\n"),
        Scenario("empty text record", card_reply("resident_dated.ini", 0),
                 reader="card = cards/resident_dated.ini\ntext_length = 0\n"),
        Scenario("request without quotes", None, reader=on_reader,
                 stdin=frame(b"readidbase")),
        Scenario("request with a trailing newline", None, reader=on_reader,
                 stdin=frame(REQUEST + b"\n")),
        Scenario("negative frame length", None, reader=on_reader,
                 stdin=b"\xff\xff\xff\xff" + REQUEST),
        Scenario("empty standard input", None, reader=on_reader, stdin=b""),
        Scenario("trace log on", card_reply(resident), reader=on_reader,
                 config="[Bind]\nlog=1\n", check=trace_file_check),
        Scenario("trace log off", card_reply(resident), reader=on_reader,
                 config="[Bind]\nlog=0\n", check=no_trace_file_check),
    ]


def prepare(folder, platform, scenario):
    shutil.copy2(os.path.join(platform.build_dir, platform.program), folder)
    if scenario.driver:
        shutil.copy2(platform.driver_path(scenario.variant), folder)
    shutil.copytree(os.path.join(platform.build_dir, "cards"), os.path.join(folder, "cards"))
    with open(os.path.join(folder, "simulator.ini"), "w", encoding="utf-8") as handle:
        handle.write("[Reader]\n" + scenario.reader)
    if scenario.config is not None:
        with open(os.path.join(folder, "config.ini"), "w", encoding="utf-8") as handle:
            handle.write(scenario.config)
        os.mkdir(os.path.join(folder, "QD_LOG"))


def describe_difference(expected, actual):
    for index, (a, b) in enumerate(zip(expected, actual)):
        if a != b:
            start = max(0, index - 40)
            return "first difference at byte %d:\n  expected ...%r\n  actual   ...%r" % (
                index, expected[start:index + 40], actual[start:index + 40])
    return "lengths differ: expected %d bytes, got %d:\n  expected tail %r\n  actual tail %r" % (
        len(expected), len(actual), expected[-60:], actual[-60:])


def run(scenario, platform, runner, work_dir, keep):
    """Runs one scenario; returns None on success or a text saying what went wrong."""
    folder = tempfile.mkdtemp(prefix="vorn-e2e-", dir=work_dir)
    try:
        prepare(folder, platform, scenario)
        command = runner + [os.path.join(folder, platform.program)]
        try:
            completed = subprocess.run(command, input=scenario.stdin, cwd=folder,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                       timeout=RUN_TIMEOUT_SECONDS)
        except subprocess.TimeoutExpired:
            return "no exit within %d s (killed)" % RUN_TIMEOUT_SECONDS
        problems = []
        if completed.returncode != 0:
            problems.append("exit code %d" % completed.returncode)
        expected = b"" if scenario.expected is None else frame(scenario.expected)
        if completed.stdout != expected:
            # The frame's length prefix differs whenever the body does; show the body.
            skip = 4 if len(expected) >= 4 and len(completed.stdout) >= 4 else 0
            problems.append("standard output differs (frame length %d, expected %d); " % (
                len(completed.stdout) - skip, len(expected) - skip) +
                describe_difference(expected[skip:], completed.stdout[skip:]))
        if scenario.check is not None:
            problem = scenario.check(folder)
            if problem:
                problems.append(problem)
        if problems and completed.stderr:
            problems.append("standard error ends with %r" % completed.stderr[-500:])
        if problems and keep:
            problems.append("folder kept: " + folder)
        return "\n    ".join(problems) or None
    finally:
        if not keep:
            shutil.rmtree(folder, ignore_errors=True)


class PrefixHolder:
    """An idle command prompt under the runner, so the program is never alone in Wine."""

    READY_TIMEOUT_SECONDS = 180  # the first start creates the prefix, which takes a while

    def __init__(self, runner):
        self.process = subprocess.Popen(runner + ["cmd.exe"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        # The prompt answers once it runs; only then can the scenarios rely on it.
        self.process.stdin.write(b"echo prefix-held\r\n")
        self.process.stdin.flush()
        reader = threading.Thread(target=self._wait_for_answer, daemon=True)
        self.ready = threading.Event()
        reader.start()
        if not self.ready.wait(self.READY_TIMEOUT_SECONDS):
            self.close()
            raise RuntimeError("the command prompt under the runner did not start")

    def _wait_for_answer(self):
        # Whatever the prompt prints shows that it runs; reading on keeps its pipe from filling.
        for line in self.process.stdout:
            if b"prefix-held" in line:
                self.ready.set()
        self.process.stdout.close()

    def close(self):
        try:
            self.process.stdin.close()
            self.process.wait(timeout=30)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--only", help="run only scenarios whose name contains this text")
    parser.add_argument("--keep", action="store_true", help="keep the folders of the runs")
    parser.add_argument("--work-dir", help="where the scenario folders are made")
    parser.add_argument("--hold-prefix", action="store_true",
                        help="keep a command prompt running through the runner meanwhile")
    parser.add_argument("runner", nargs="*", help="command put in front of the program")
    args = parser.parse_args()

    platform = Platform(os.path.abspath(args.build_dir))
    if args.work_dir:
        os.makedirs(args.work_dir, exist_ok=True)
    cards_dir = os.path.join(platform.build_dir, "cards")
    holder = PrefixHolder(args.runner) if args.hold_prefix and args.runner else None
    passed = failed = 0
    try:
        for scenario in scenarios(cards_dir):
            if args.only and args.only not in scenario.name:
                continue
            started = time.monotonic()
            problem = run(scenario, platform, args.runner, args.work_dir, args.keep)
            seconds = time.monotonic() - started
            if problem:
                failed += 1
                print("FAIL %s (%.1f s)\n    %s" % (scenario.name, seconds, problem), flush=True)
            else:
                passed += 1
                print("ok   %s (%.1f s)" % (scenario.name, seconds), flush=True)
    finally:
        if holder is not None:
            holder.close()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
