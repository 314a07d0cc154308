#!/usr/bin/env python3
"""Resident memory of the running service across many WebSocket requests.

    bench/service_memory.py BUILD_DIR [--requests N] [-- RUNNER...]

Starts the program of BUILD_DIR as a service (Linux: as systemd would, with a notify socket
of its own; Windows: installed under Wine's service manager through RUNNER, for example
"scripts/wine-run.sh --prefix build/windows-x64/wineprefix"), reads the simulated card N times
(default 1000) over one connection, and prints the resident memory after the first request,
every tenth of the way, and at the end, with the largest figure against the 40 MB bound.
Under Wine the figure is that of the Wine process that runs the program.
"""

import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_support import held_prefix, RunningService, resident_kib, runner_of  # noqa: E402

BOUND_MIB = 40.0


def main():
    arguments = sys.argv[1:]
    runner = runner_of(arguments)
    if "--" in arguments:
        arguments = arguments[:arguments.index("--")]
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--requests", type=int, default=1000)
    options = parser.parse_args(arguments)
    os.environ["VORN_BUILD_DIR"] = os.path.abspath(options.build_dir)

    prefix = held_prefix(runner)
    service = None
    try:
        service = RunningService(runner)
        pid = service.pid()
        if pid is None:
            print("service_memory: the service's process was not found", file=sys.stderr)
            return 1
        print("resident memory of process %d before the first request: %.1f MiB"
              % (pid, resident_kib(pid) / 1024.0))
        largest = 0
        step = max(1, options.requests // 10)
        with service.client() as client:
            for request in range(1, options.requests + 1):
                client.send_frame("readcard")
                reply = json.loads(client.receive_message())
                if reply["result"] != 0:
                    print("service_memory: request %d failed: %s" % (request, reply["errmsg"]),
                          file=sys.stderr)
                    return 1
                kib = resident_kib(pid)
                largest = max(largest, kib)
                if request == 1 or request % step == 0:
                    print("after %5d requests: %6.1f MiB" % (request, kib / 1024.0), flush=True)
        print("largest: %.1f MiB over %d requests (bound %.0f MiB): %s"
              % (largest / 1024.0, options.requests, BOUND_MIB,
                 "within" if largest / 1024.0 < BOUND_MIB else "ABOVE"))
        return 0
    finally:
        if service is not None:
            service.close()
        prefix.close()


if __name__ == "__main__":
    sys.exit(main())
