#!/usr/bin/env python3
"""Resident memory of the running service across many WebSocket requests, with each kind of
stand-in library.

    bench/service_memory.py BUILD_DIR [--requests N] [--stand-ins KIND] [-- RUNNER...]

Starts the program of BUILD_DIR as a service (Linux: as systemd would, with a notify socket
of its own; Windows: installed under Wine's service manager through RUNNER, for example
"scripts/wine-run.sh --prefix build/windows-x64/wineprefix"), reads the card N times
(default 1000) over one connection, and prints the resident memory after the first request,
every tenth of the way, and at the end, the largest figure against the 40 MB bound, and the
growth per request from request 100 on (the slope: the program must stay flat).

It does so twice unless KIND names one: with the project's stand-ins ("project", the
simulated reader and decoder) and with stand-ins that load no C++ runtime ("plain", of
BUILD_DIR/plain-stand-ins: one fixed card and a fixed photo). Memory that grows with the
first but not the second is kept by the stand-ins' own runtime, not by the program. Under
Wine the figure is that of the Wine process that runs the program.
"""

import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_support import held_prefix, RunningService, resident_kib, split_runner  # noqa: E402

BOUND_MIB = 40.0
# The slope is taken from here on: the first requests fill the program's caches and pools.
SLOPE_FROM = 100
PLAIN_STAND_INS = "plain-stand-ins"


def measure(runner, libraries, requests):
    """Prints the figures of one service; returns the exit code."""
    service = RunningService(runner, libraries)
    try:
        pid = service.pid()
        if pid is None:
            print("service_memory: the service's process was not found", file=sys.stderr)
            return 1
        print("resident memory of process %d before the first request: %.1f MiB"
              % (pid, resident_kib(pid) / 1024.0))
        largest = 0
        first = 1 if requests <= SLOPE_FROM else SLOPE_FROM
        at_first = None
        step = max(1, requests // 10)
        with service.client() as client:
            for request in range(1, requests + 1):
                client.send_frame("readcard")
                reply = json.loads(client.receive_message())
                if reply["result"] != 0:
                    print("service_memory: request %d failed: %s" % (request, reply["errmsg"]),
                          file=sys.stderr)
                    return 1
                kib = resident_kib(pid)
                largest = max(largest, kib)
                if request == first:
                    at_first = kib
                if request == 1 or request % step == 0 or request == requests:
                    print("after %5d requests: %6.1f MiB" % (request, kib / 1024.0), flush=True)
        print("largest: %.1f MiB over %d requests (bound %.0f MiB): %s"
              % (largest / 1024.0, requests, BOUND_MIB,
                 "within" if largest / 1024.0 < BOUND_MIB else "ABOVE"))
        if requests > first:
            print("slope from request %d to %d: %.2f KiB per request"
                  % (first, requests, (kib - at_first) / (requests - first)))
        return 0
    finally:
        service.close()


def main():
    arguments = sys.argv[1:]
    arguments, runner = split_runner(arguments)
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--requests", type=int, default=1000)
    parser.add_argument("--stand-ins", choices=("project", "plain", "both"), default="both")
    options = parser.parse_args(arguments)
    build = os.path.abspath(options.build_dir)
    os.environ["VORN_BUILD_DIR"] = build

    kinds = []
    if options.stand_ins in ("project", "both"):
        kinds.append(("the project's stand-ins", None))
    if options.stand_ins in ("plain", "both"):
        kinds.append(("stand-ins without a C++ runtime", os.path.join(build, PLAIN_STAND_INS)))
    prefix = held_prefix(runner)
    try:
        for title, libraries in kinds:
            print("== %s" % title, flush=True)
            code = measure(runner, libraries, options.requests)
            if code != 0:
                return code
        return 0
    finally:
        prefix.close()


if __name__ == "__main__":
    sys.exit(main())
