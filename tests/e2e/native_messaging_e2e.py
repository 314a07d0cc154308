#!/usr/bin/env python3
"""End-to-end test of the native-messaging host against the simulated reader.

Every scenario gets a fresh folder holding a copy of the program, the driver library (or a
variant of it, or none), the sample cards and a description file, runs the program once with
one request frame on standard input, and compares the frame on standard output byte for byte
with the reply worked out from the card file. Most scenarios put no photo decoder library
beside the program, so a successful read replies with the card's text fields, empty pictures
and the message that the decoder could not be loaded: every byte of the reply is predictable.
The scenarios with the decoder cannot predict the JPEG bytes, which depend on the platform's
encoder; there the three pictures must be complete base64 JPEG files of the right sizes, and
the rest of the reply, with the pictures blanked, is compared byte for byte.

    native_messaging_e2e.py --build-dir DIR [--only NAME] [--keep] [--work-dir DIR]
                            [--hold-prefix] [-- RUNNER...]

RUNNER is put in front of the program, for example `scripts/wine-run.sh --prefix DIR`, so
that the same scenarios run the Windows program under Wine. With --hold-prefix a command
prompt is kept running through RUNNER while the scenarios run: Wine turns a process that
asks for the service dispatcher into a system process and ends it as soon as no ordinary
process is left in the prefix, which would cut the program off before it replies.
"""

import argparse
import base64
import binascii
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
# Cards of these tests only, laid beside the sample cards in every scenario's folder.
TEST_CARDS_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cards")
# A name with a character beyond U+FFFF, stored on the card as a surrogate pair.
RARE_CHARACTER_CARD = "resident_rare_character.ini"
REQUEST = b'"readidbase"'
DRIVER_LOAD_FAILED = "加载二代证设备库失败."
DECODER_LOAD_FAILED = "加载二代证解码库失败."
PHOTO_DECODE_FAILED = "照片解码失败."
FRONT_PICTURE_FAILED = "生成身份证正面合成图失败."
BACK_PICTURE_FAILED = "生成身份证背面合成图失败."
# Reply member -> (width, height) of the JPEG it carries after a full read.
PICTURE_SIZES = {"photo": (102, 126), "frontImg": (405, 255), "backImg": (405, 255)}


def frame(body):
    return struct.pack("<I", len(body)) + body


class Platform:
    """File names of one build: the program, the driver library and the photo decoder."""

    def __init__(self, build_dir):
        self.build_dir = build_dir
        if os.path.exists(os.path.join(build_dir, "VornIdReader.exe")):
            self.program, self.driver, self.decoder = (
                "VornIdReader.exe", "sdtapi.dll", "WltRS.dll")
        else:
            self.program, self.driver, self.decoder = (
                "VornIdReader", "libsdtapi.so", "libWltRS.so")

    def driver_path(self, variant):
        if variant is None:
            return os.path.join(self.build_dir, self.driver)
        return os.path.join(self.build_dir, "simulator-variants", variant, self.driver)


class Scenario:
    """One run of the program: what lies beside it, what it is sent, what it must answer."""

    def __init__(self, name, expected, reader="", variant=None, driver=True, stdin=None,
                 config=None, check=None, decoder=None, pictures=False, exit_code=0):
        self.name = name
        # Reply bytes, or None when no frame may come back; with pictures, the reply with the
        # three picture members blanked.
        self.expected = expected
        self.reader = reader  # body of section [Reader] of simulator.ini
        self.variant = variant
        self.driver = driver
        self.stdin = frame(REQUEST) if stdin is None else stdin
        self.config = config  # content of config.ini, if any
        self.check = check  # further check of the folder after the run; returns an error
        # Body of section [PhotoDecoder] of simulator.ini; None leaves the decoder out.
        self.decoder = decoder
        self.pictures = pictures  # the reply must carry the three pictures
        # A request that is not answered ends the program with 4; no request at all with 3.
        self.exit_code = exit_code


def jpeg_size(data):
    """(width, height) from the SOF0 or SOF2 segment of a complete JPEG file."""
    if data[:2] != b"\xff\xd8":
        raise ValueError("does not start with FF D8 but %r" % data[:2])
    if data[-2:] != b"\xff\xd9":
        raise ValueError("does not end with FF D9 but %r" % data[-2:])
    position = 2
    while True:
        if position >= len(data) or data[position] != 0xFF:
            raise ValueError("no marker at byte %d before a frame header" % position)
        while position < len(data) and data[position] == 0xFF:
            position += 1  # a marker may be preceded by any number of fill bytes
        if position >= len(data):
            raise ValueError("file ends inside a marker")
        marker = data[position]
        position += 1
        if marker == 0x01 or 0xD0 <= marker <= 0xD7:
            continue  # these markers carry no segment
        if marker in (0xD8, 0xD9, 0xDA):
            raise ValueError("marker FF %02X comes before any frame header" % marker)
        if position + 2 > len(data):
            raise ValueError("file ends inside the length of marker FF %02X" % marker)
        length = struct.unpack(">H", data[position:position + 2])[0]
        if length < 2 or position + length > len(data):
            raise ValueError("segment FF %02X of length %d does not fit the file" % (
                marker, length))
        if marker in (0xC0, 0xC2):
            if length < 8:
                raise ValueError("frame header of %d bytes is too short" % length)
            height, width = struct.unpack(">HH", data[position + 3:position + 7])
            return width, height
        if 0xC1 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            raise ValueError("frame header FF %02X is neither baseline nor progressive" % marker)
        position += length


def blank_pictures(body):
    """The reply with the three picture strings emptied, and what is wrong with the pictures.

    The members are found in the writer's text form so that the rest of the reply stays
    byte for byte what the program wrote.
    """
    problems = []
    for member, (width, height) in sorted(PICTURE_SIZES.items()):
        pattern = re.compile(rb'^(   "' + member.encode() + rb'" : )"([^"\\]*)"', re.M)
        found = pattern.findall(body)
        if len(found) != 1:
            problems.append("%d plain string members %s in the reply" % (len(found), member))
            continue
        body = pattern.sub(rb'\1""', body)
        try:
            picture = base64.b64decode(found[0][1], validate=True)
        except (binascii.Error, ValueError) as error:
            problems.append("%s is no base64 text: %s" % (member, error))
            continue
        try:
            size = jpeg_size(picture)
        except ValueError as error:
            problems.append("%s is no JPEG file of %d bytes: %s" % (member, len(picture), error))
            continue
        if size != (width, height):
            problems.append("%s is a JPEG of %dx%d, expected %dx%d" % (
                member, size[0], size[1], width, height))
    return body, problems


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
    cards = sorted(name for name in os.listdir(cards_dir) if name.endswith(".ini"))
    found = [Scenario("card " + name[:-4], card_reply(name), reader="card = cards/%s\n" % name)
             for name in cards]
    # With the decoder beside the program the same reads carry the pictures and no message.
    for name in cards:
        found.append(Scenario("card %s with pictures" % name[:-4],
                              expected_reply.card_reply(card(name)),
                              reader="card = cards/%s\n" % name, decoder="", pictures=True))
    rare = os.path.join(TEST_CARDS_DIR, RARE_CHARACTER_CARD)
    found += [
        Scenario("rare character in the name", expected_reply.card_reply(rare, 256,
                                                                         success_message),
                 reader="card = cards/%s\n" % RARE_CHARACTER_CARD),
        Scenario("rare character in the name with pictures", expected_reply.card_reply(rare),
                 reader="card = cards/%s\n" % RARE_CHARACTER_CARD, decoder="", pictures=True),
    ]
    # The decoder is called for the photo, the front and the back in that order, and counts
    # its calls from the load that every request makes afresh, so a failure can be aimed at
    # each stage; a failing stage shows only its own code and message.
    found += [
        Scenario("photo decoding fails", expected_reply.reply_text(-5, PHOTO_DECODE_FAILED),
                 reader=on_reader, decoder="result = -5\n"),
        Scenario("front picture fails", expected_reply.reply_text(-1, FRONT_PICTURE_FAILED),
                 reader=on_reader, decoder="result = -5\nfail_from_call = 2\n"),
        Scenario("back picture fails", expected_reply.reply_text(-1, BACK_PICTURE_FAILED),
                 reader="card = cards/permit_taiwan.ini\n",
                 decoder="result = -5\nfail_from_call = 3\n"),
    ]
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
                 stdin=frame(b"readidbase"), exit_code=NOT_ANSWERED),
        Scenario("request with a trailing newline", None, reader=on_reader,
                 stdin=frame(REQUEST + b"\n"), exit_code=NOT_ANSWERED),
        Scenario("negative frame length", None, reader=on_reader,
                 stdin=b"\xff\xff\xff\xff" + REQUEST, exit_code=NOT_ANSWERED),
        Scenario("empty standard input", None, reader=on_reader, stdin=b"",
                 exit_code=NOTHING_ASKED),
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
    for name in os.listdir(TEST_CARDS_DIR):
        shutil.copy2(os.path.join(TEST_CARDS_DIR, name), os.path.join(folder, "cards"))
    with open(os.path.join(folder, "simulator.ini"), "w", encoding="utf-8") as handle:
        handle.write("[Reader]\n" + scenario.reader)
        if scenario.decoder is not None:
            handle.write("\n[PhotoDecoder]\n" + scenario.decoder)
    if scenario.decoder is not None:
        shutil.copy2(os.path.join(platform.build_dir, platform.decoder), folder)
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


def check_output(scenario, stdout):
    """What is wrong with the program's standard output, and the reply's size in bytes."""
    expected = b"" if scenario.expected is None else frame(scenario.expected)
    problems = []
    actual = stdout
    size = None
    if scenario.pictures and len(stdout) >= 4:
        body = stdout[4:]
        size = len(body)
        if struct.unpack("<I", stdout[:4])[0] != size:
            problems.append("frame length %d but %d bytes follow" % (
                struct.unpack("<I", stdout[:4])[0], size))
        blanked, picture_problems = blank_pictures(body)
        problems += picture_problems
        # The prefix was checked against the body; the blanked body brings its own length.
        actual = frame(blanked)
    if actual != expected:
        # The frame's length prefix differs whenever the body does; show the body.
        skip = 4 if len(expected) >= 4 and len(actual) >= 4 else 0
        problems.append("standard output differs (frame length %d, expected %d); " % (
            len(actual) - skip, len(expected) - skip) +
            describe_difference(expected[skip:], actual[skip:]))
    return problems, size


WINE_SILENT_RETRIES = 2
# Exit codes of a start outside the service manager that answered nothing.
NOTHING_ASKED = 3
NOT_ANSWERED = 4


def run(scenario, platform, runner, work_dir, keep):
    """Runs one scenario; returns a text saying what went wrong (None on success) and a note
    for the report."""
    folder = tempfile.mkdtemp(prefix="vorn-e2e-", dir=work_dir)
    try:
        prepare(folder, platform, scenario)
        command = runner + [os.path.join(folder, platform.program)]
        # Wine may end a program that asked for the service dispatcher before it has read
        # its request, with exit code 0 and no output, even while another process holds the
        # prefix. Under a runner such a silent run is repeated when the scenario expects a
        # reply or a non-zero exit; natively it is a failure.
        answers = scenario.expected is not None or scenario.exit_code != 0
        attempts = 1 + (WINE_SILENT_RETRIES if runner and answers else 0)
        for _ in range(attempts):
            try:
                completed = subprocess.run(command, input=scenario.stdin, cwd=folder,
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                           timeout=RUN_TIMEOUT_SECONDS)
            except subprocess.TimeoutExpired:
                return "no exit within %d s (killed)" % RUN_TIMEOUT_SECONDS, ""
            if completed.stdout or completed.returncode != 0:
                break
        problems = []
        if completed.returncode != scenario.exit_code:
            problems.append("exit code %d, expected %d" % (completed.returncode,
                                                           scenario.exit_code))
        output_problems, size = check_output(scenario, completed.stdout)
        problems += output_problems
        if scenario.check is not None:
            problem = scenario.check(folder)
            if problem:
                problems.append(problem)
        if problems and completed.stderr:
            problems.append("standard error ends with %r" % completed.stderr[-500:])
        if problems and keep:
            problems.append("folder kept: " + folder)
        note = "" if size is None else "%d bytes, " % size
        return "\n    ".join(problems) or None, note
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
    parser.add_argument("--only", action="append",
                        help="run only scenarios whose name contains this text (repeatable)")
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
            if args.only and not any(text in scenario.name for text in args.only):
                continue
            started = time.monotonic()
            problem, note = run(scenario, platform, args.runner, args.work_dir, args.keep)
            seconds = time.monotonic() - started
            if problem:
                failed += 1
                print("FAIL %s (%s%.1f s)\n    %s" % (scenario.name, note, seconds, problem),
                      flush=True)
            else:
                passed += 1
                print("ok   %s (%s%.1f s)" % (scenario.name, note, seconds), flush=True)
    finally:
        if holder is not None:
            holder.close()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
