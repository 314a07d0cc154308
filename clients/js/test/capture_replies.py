#!/usr/bin/env python3
"""Captures the replies the tests of the client library are fed with: the built program is run
as a browser runs a native-messaging host, on the simulated reader, once for every sample card
and once for every way a read can fail, and each reply is written to replies/NAME.json.

    python3 clients/js/test/capture_replies.py build/linux

Run it again after a change of the reply or of the sample cards, and commit the result.

    python3 clients/js/test/capture_replies.py build/linux --check

captures into a scratch folder instead, with the pictures of every sample card, and runs the
library's reply and schema tests on what the program answers now (the library must be built).
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.join(REPOSITORY, "tests", "e2e"))
from native_messaging_e2e import REQUEST, Platform, Scenario, frame, prepare  # noqa: E402

REPLIES = os.path.join(HERE, "replies")
# One card keeps its pictures; the others are read without the photo decoder, which keeps the
# files small and is itself a reply the library must understand (a card without pictures).
CARD_WITH_PICTURES = "resident_long_term"
ON_READER = "card = cards/%s.ini\n" % CARD_WITH_PICTURES
DECODER_FAILS = "result = -5\n"

FAILURES = [
    ("no-card", dict(reader="")),
    ("find-refused", dict(reader=ON_READER + "find = -7\n")),
    ("select-refused", dict(reader=ON_READER + "select = 0x41\n")),
    ("read-failed", dict(reader=ON_READER + "read_fp = 0x42\n")),
    ("driver-missing", dict(reader=ON_READER, driver=False)),
    ("photo-failed", dict(reader=ON_READER, decoder=DECODER_FAILS)),
    ("front-failed", dict(reader=ON_READER, decoder=DECODER_FAILS + "fail_from_call = 2\n")),
    ("back-failed", dict(reader=ON_READER, decoder=DECODER_FAILS + "fail_from_call = 3\n")),
]


def reply_of(platform, name, settings):
    folder = tempfile.mkdtemp(prefix="vorn-js-replies-")
    try:
        prepare(folder, platform, Scenario(name, None, **settings))
        completed = subprocess.run([os.path.join(folder, platform.program)],
                                   input=frame(REQUEST), cwd=folder, capture_output=True,
                                   timeout=60, check=False)
        output = completed.stdout
        if len(output) < 4 or struct.unpack("<I", output[:4])[0] != len(output) - 4:
            raise RuntimeError("%s: no reply frame (exit %d): %r" % (
                name, completed.returncode, completed.stderr[-300:]))
        return output[4:]
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def capture(platform, folder, pictured_cards):
    cards = sorted(n[:-4] for n in os.listdir(os.path.join(platform.build_dir, "cards"))
                   if n.endswith(".ini"))
    runs = [("card-" + card, dict(reader="card = cards/%s.ini\n" % card)) for card in cards]
    runs += [("card-%s-pictures" % card, dict(reader="card = cards/%s.ini\n" % card, decoder=""))
             for card in cards if pictured_cards is None or card in pictured_cards]
    runs += [("failure-" + name, settings) for name, settings in FAILURES]
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, settings in runs:
        body = reply_of(platform, name, settings)
        with open(os.path.join(folder, name + ".json"), "wb") as handle:
            handle.write(body)
        print("%-40s %7d bytes" % (name, len(body)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir")
    parser.add_argument("--check", action="store_true",
                        help="test the library on fresh replies instead of writing replies/")
    args = parser.parse_args()
    platform = Platform(os.path.abspath(args.build_dir))
    if not args.check:
        capture(platform, REPLIES, [CARD_WITH_PICTURES])
        return
    scratch = tempfile.mkdtemp(prefix="vorn-js-live-replies-")
    try:
        capture(platform, scratch, None)
        tests = [os.path.join(HERE, name) for name in ("replies.test.mjs", "schema.test.mjs")]
        completed = subprocess.run(["node", "--test"] + tests, cwd=os.path.dirname(HERE),
                                   env=dict(os.environ, VORN_REPLIES_DIR=scratch), check=False)
        sys.exit(completed.returncode)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
