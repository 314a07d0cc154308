#!/usr/bin/env python3
"""A stand-in for systemctl that the installer tests put in its place.

Every call is appended to the file named by FAKE_SYSTEMCTL_LOG, one line of arguments each.
"is-active" prints the next line of FAKE_SYSTEMCTL_STATES (the last one repeats) and exits
with 0 for "active", 3 otherwise, as systemctl does. A command named in FAKE_SYSTEMCTL_FAIL
exits with 1, after printing FAKE_SYSTEMCTL_COMPLAINT on standard error when it is set.
"""

import os
import sys


def next_state(path):
    with open(path, encoding="utf-8") as f:
        states = [line.strip() for line in f if line.strip()]
    if len(states) > 1:
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(states[1:]) + "\n")
    return states[0] if states else "inactive"


def main():
    arguments = sys.argv[1:]
    with open(os.environ["FAKE_SYSTEMCTL_LOG"], "a", encoding="utf-8") as log:
        log.write(" ".join(arguments) + "\n")
    command = arguments[0] if arguments else ""
    if command in os.environ.get("FAKE_SYSTEMCTL_FAIL", "").split():
        complaint = os.environ.get("FAKE_SYSTEMCTL_COMPLAINT")
        if complaint:
            print(complaint, file=sys.stderr)
        return 1
    if command == "is-active":
        state = next_state(os.environ["FAKE_SYSTEMCTL_STATES"])
        print(state)
        return 0 if state == "active" else 3
    return 0


if __name__ == "__main__":
    sys.exit(main())
