#!/usr/bin/env python3
"""Captures the replies the tests of the client library are fed with: the built program is run
as a browser runs a native-messaging host, on the simulated reader, once for every sample card
and once for every way a read can fail, and each reply is written to replies/NAME.json.

    python3 clients/js/test/capture_replies.py build/linux

Run it again after a change of the reply or of the sample cards, and commit the result.
"""

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


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    platform = Platform(os.path.abspath(sys.argv[1]))
    cards = sorted(n[:-4] for n in os.listdir(os.path.join(platform.build_dir, "cards"))
                   if n.endswith(".ini"))
    runs = [("card-" + card, dict(reader="card = cards/%s.ini\n" % card)) for card in cards]
    runs.append(("card-%s-pictures" % CARD_WITH_PICTURES, dict(reader=ON_READER, decoder="")))
    runs += [("failure-" + name, settings) for name, settings in FAILURES]
    shutil.rmtree(REPLIES, ignore_errors=True)
    os.makedirs(REPLIES)
    for name, settings in runs:
        body = reply_of(platform, name, settings)
        with open(os.path.join(REPLIES, name + ".json"), "wb") as handle:
            handle.write(body)
        print("%-40s %7d bytes" % (name, len(body)))


if __name__ == "__main__":
    main()
