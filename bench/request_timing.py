#!/usr/bin/env python3
"""Whole-process timings of one card read, beyond the driver's fixed 100 ms wait.

    bench/request_timing.py BUILD_DIR [--runs N] [--card FILE] [-- RUNNER...]

native messaging: the program started with one request frame on standard input, from the
  start of the process until its reply frame has been read; the floor is the same program
  started with standard input already at its end, so that it starts and ends answering
  nothing.
websocket: one "readcard" message to the running service over an open connection, from
  sending it until the whole reply has arrived; the floor is the connection and its opening
  handshake with the same service, timed just before.

Each figure is the median of N runs (default 21) minus the 100 ms that the driver waits
before it looks for the card, printed with its ratio to the floor of the same run, and the
processor time the program used (its own process: under Wine, the Wine process that runs
it, for the service only; the native-messaging run counts the whole Wine start-up). RUNNER
runs a Windows build under Wine, for example "scripts/wine-run.sh --prefix
build/windows-x64/wineprefix".
"""

import argparse
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_support import (NATIVE_REQUEST, READER_WAIT_MS, held_prefix, ProgramFolder,  # noqa
                           RunningService, WebSocketClient, median, milliseconds_since,
                           native_frame, processor_ms, read_native_reply, split_runner)

TIMEOUT = 60


def native_messaging_ms(command, folder, request):
    """Wall and processor milliseconds of one run of the program."""
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=folder, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if request:
        process.stdin.write(native_frame(request))
        process.stdin.flush()
    process.stdin.close()
    reply = read_native_reply(process.stdout) if request else process.stdout.read()
    took = milliseconds_since(start)
    process.stdout.close()
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    if request and (reply is None or json.loads(reply)["result"] != 0):
        raise RuntimeError("the native-messaging request failed: %r" % reply[:200])
    return took, (usage.ru_utime + usage.ru_stime) * 1000.0


def report(name, figures, floors, runs):
    """Prints the wall-clock figure beyond the wait and the processor time, each against its
    floor. On a busy machine the processor time is the steadier of the two."""
    wall = median([f[0] for f in figures]) - READER_WAIT_MS
    wall_floor = median([f[0] for f in floors])
    cpu = median([f[1] for f in figures])
    cpu_floor = median([f[1] for f in floors])
    line = ("%s (median of %d): %.1f ms beyond the %d ms wait, floor %.1f ms, ratio %.2f; "
            "processor %.1f ms" % (name, runs, wall, READER_WAIT_MS, wall_floor,
                                   wall / wall_floor, cpu))
    if cpu_floor > 0:
        line += ", floor %.1f ms, ratio %.2f" % (cpu_floor, cpu / cpu_floor)
    print(line, flush=True)


def bench_native_messaging(runner, runs, card):
    folder = ProgramFolder()
    try:
        if card:
            folder.lay_card(card)
        command = runner + [folder.program]
        native_messaging_ms(command, folder.path, NATIVE_REQUEST)  # warm the file cache
        figures, floors = [], []
        for _ in range(runs):
            figures.append(native_messaging_ms(command, folder.path, NATIVE_REQUEST))
            floors.append(native_messaging_ms(command, folder.path, None))
        report("native messaging", figures, floors, runs)
    finally:
        folder.remove()


def bench_websocket(runner, runs, card):
    service = RunningService(runner)
    try:
        if card:
            service.folder.lay_card(card)
        pid = service.pid()
        used = processor_ms(pid)
        figures, floors = [], []
        # One connection at a time: each run opens its own, which also serves older servers
        # that take one client after the other.
        with service.client() as client:
            client.send_frame("readcard")
            client.receive_message()  # the first request of a process starts its libraries
        for _ in range(runs):
            start = time.perf_counter()
            with WebSocketClient(service.port, timeout=TIMEOUT) as client:
                client.handshake()
                floors.append((milliseconds_since(start), 0.0))
                start = time.perf_counter()
                client.send_frame("readcard")
                reply = json.loads(client.receive_message())
                figures.append((milliseconds_since(start), 0.0))
            if reply["result"] != 0:
                raise RuntimeError("the WebSocket request failed: %s" % reply["errmsg"])
        # The system counts a process's time in ticks of 10 ms: the mean over all runs.
        per_request = (processor_ms(pid) - used) / runs
        figures = [(wall, per_request) for wall, _ in figures]
        report("websocket", figures, floors, runs)
    finally:
        service.close()


def main():
    arguments = sys.argv[1:]
    arguments, runner = split_runner(arguments)
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--card", help="sample card file name, such as resident_dated.ini")
    parser.add_argument("--only", choices=["native", "websocket"])
    options = parser.parse_args(arguments)
    os.environ["VORN_BUILD_DIR"] = os.path.abspath(options.build_dir)
    prefix = held_prefix(runner)
    try:
        if options.only in (None, "native"):
            bench_native_messaging(runner, options.runs, options.card)
        if options.only in (None, "websocket"):
            bench_websocket(runner, options.runs, options.card)
    finally:
        prefix.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
