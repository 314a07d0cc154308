#!/usr/bin/env python3
"""Checks that two builds answer every sample card with the same native-messaging reply,
byte for byte (the JPEG pictures included): a speed change must change no reply.

    bench/compare_replies.py BUILD_DIR_BEFORE BUILD_DIR_AFTER [-- RUNNER...]
"""

import hashlib
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_support import (NATIVE_REQUEST, held_prefix, ProgramFolder, native_frame,  # noqa
                           split_runner)

TIMEOUT = 60


def replies(build_dir, runner):
    """Each sample card's reply from the build, by card file name."""
    os.environ["VORN_BUILD_DIR"] = os.path.abspath(build_dir)
    folder = ProgramFolder()
    try:
        answers = {}
        for card in folder.sample_cards():
            folder.lay_card(card)
            done = subprocess.run(runner + [folder.program], cwd=folder.path,
                                  input=native_frame(NATIVE_REQUEST), capture_output=True,
                                  timeout=TIMEOUT)
            answers[card] = done.stdout
        return answers
    finally:
        folder.remove()


def main():
    arguments = sys.argv[1:]
    arguments, runner = split_runner(arguments)
    if len(arguments) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    prefix = held_prefix(runner)
    try:
        before = replies(arguments[0], runner)
        after = replies(arguments[1], runner)
    finally:
        prefix.close()
    differences = 0
    for card in sorted(before):
        same = before[card] == after.get(card)
        differences += 0 if same else 1
        print("%-32s %7d bytes  %s  %s" % (card, len(before[card]),
                                            hashlib.sha256(before[card]).hexdigest()[:16],
                                            "same" if same else "DIFFERENT"))
    print("%d of %d replies differ" % (differences, len(before)))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
