#!/usr/bin/env python3
"""What watching the reader costs and gains, on the simulated reader with a chip read as slow
as a real one (read_delay = 500 ms):

1. card laid down (the rename of the reader's description) to onCard in Node through the
   client library, with the service's pushes and by reading again and again (the service made
   to look older); floor: one "readcard" on an open connection with the card lying there;
2. chip reads (SDT_ReadBaseFPMsg in the driver's call log) while one card lies on the reader
   for HOLD seconds with a watcher, pushed and read again and again; floor: the one card laid;
3. the service's processor time while a connection watches an empty reader for IDLE seconds,
   as a share of one core; floor: the same time with nobody watching;
4. a "readcard" from another connection while one watches, against the same without the
   watch; the extra is set beside one find call of the driver (SDT_StartFindIDCard, the look
   the watch makes), timed in this process.

Each figure is the median of N runs (default 21).

    bench/card_watch_timing.py BUILD_DIR [--runs N] [--hold S] [--idle S]

Run `npm ci && npm run build` in clients/js first; Node 18 or later.
"""

import argparse
import ctypes
import json
import os
import random
import select
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_support import RunningService, median, milliseconds_since, processor_ms  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
LIBRARY = os.path.join(HERE, "..", "clients", "js", "dist", "index.js")
NODE_WATCH = os.path.join(HERE, "card_watch_node.mjs")
READ_DELAY_MS = 500
CARD = "resident_dated.ini"
CALL_LOG = "calls.log"
CHIP_READ = "SDT_ReadBaseFPMsg"
# The library reads every 1.5 s where the service cannot watch: a card is laid at any moment
# of that pause.
POLL_INTERVAL_S = 1.5
EVENT_TIMEOUT_S = 30.0


def lay(service, card):
    """Lays the card (None: takes it away) by renaming a whole description over the old one;
    returns the wall-clock moment of the rename in milliseconds since 1970."""
    text = "[Reader]\nread_delay = %d\ncall_log = %s\n" % (READ_DELAY_MS, CALL_LOG)
    if card:
        text += "card = cards/%s\n" % card
    service.folder.write("simulator.ini.new", text)
    os.replace(os.path.join(service.folder.path, "simulator.ini.new"),
               os.path.join(service.folder.path, "simulator.ini"))
    return time.time() * 1000.0


def chip_reads(service):
    path = os.path.join(service.folder.path, CALL_LOG)
    if not os.path.exists(path):
        return 0
    with open(path, encoding="ascii") as log:
        return sum(1 for line in log if line.split()[1:2] == [CHIP_READ])


class NodeWatch:
    """The library watching in a Node process of its own."""

    def __init__(self, port, mode):
        probe = subprocess.run(
            ["node", "-e", "process.exit(typeof WebSocket === 'function' ? 0 : 1)"],
            capture_output=True).returncode
        # Node's own WebSocket is behind a flag before Node 22.
        flags = [] if probe == 0 else ["--experimental-websocket"]
        self.process = subprocess.Popen(
            ["node"] + flags + [NODE_WATCH, LIBRARY, "ws://127.0.0.1:%d" % port, mode],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def next(self, kind):
        """The next event of that kind ("card" or "removed"); errors are reported and skipped."""
        deadline = time.monotonic() + EVENT_TIMEOUT_S
        while True:
            left = deadline - time.monotonic()
            ready, _, _ = select.select([self.process.stdout], [], [], max(left, 0))
            if not ready:
                raise RuntimeError("no %s event within %d s" % (kind, EVENT_TIMEOUT_S))
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError("the Node watch ended")
            event = json.loads(line)
            if kind in event:
                return event
            print("  (the watch reported %s)" % event, flush=True)

    def close(self):
        self.process.stdin.close()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def read_ms(client):
    start = time.perf_counter()
    client.send_frame("readcard")
    reply = json.loads(client.receive_message())
    took = milliseconds_since(start)
    if reply["result"] != 0:
        raise RuntimeError("the read failed: %s" % reply["errmsg"])
    return took


def reads_ms(service, runs):
    client = service.client()
    try:
        read_ms(client)
        figures = []
        for _ in range(runs):
            # A moment of the watch's look cycle chosen at random.
            time.sleep(random.uniform(0, 0.25))
            figures.append(read_ms(client))
        return figures
    finally:
        client.close()


def laid_to_card_ms(service, mode, runs):
    """Card laid down to onCard, each run from an empty reader the watch has seen empty."""
    lay(service, None)
    watch = NodeWatch(service.port, mode)
    try:
        time.sleep(1.0)
        figures = []
        for _ in range(runs):
            time.sleep(random.uniform(0, POLL_INTERVAL_S))
            laid = lay(service, CARD)
            figures.append(watch.next("card")["at"] - laid)
            lay(service, None)
            watch.next("removed")
        return figures
    finally:
        watch.close()
        lay(service, None)


def reads_while_lying(service, mode, hold_s):
    lay(service, None)
    watch = NodeWatch(service.port, mode)
    try:
        time.sleep(1.0)
        before = chip_reads(service)
        lay(service, CARD)
        watch.next("card")
        time.sleep(hold_s)
        return chip_reads(service) - before
    finally:
        watch.close()
        lay(service, None)


def idle_core_share(service, seconds, watching):
    """The service's processor time over that many seconds, as a share of one core."""
    lay(service, None)
    client = service.client()
    try:
        if watching:
            client.send_frame("watch")
            if json.loads(client.receive_message()).get("event") != "watching":
                raise RuntimeError("the service did not take the watch")
        pid = service.pid()
        used = processor_ms(pid)
        start = time.perf_counter()
        time.sleep(seconds)
        return (processor_ms(pid) - used) / milliseconds_since(start)
    finally:
        client.close()


def find_call_ms(service, runs):
    """One SDT_StartFindIDCard of the simulated driver, called here as the service calls it."""
    driver = ctypes.CDLL(os.path.join(service.folder.path, "libsdtapi.so"))
    find = driver.SDT_StartFindIDCard
    find.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
    manage = ctypes.create_string_buffer(16)
    figures = []
    for _ in range(runs):
        start = time.perf_counter()
        find(1001, manage, 1)
        figures.append(milliseconds_since(start))
    return median(figures)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--hold", type=float, default=60.0)
    parser.add_argument("--idle", type=float, default=30.0)
    arguments = parser.parse_args()
    if shutil.which("node") is None or not os.path.exists(LIBRARY):
        sys.exit("needs Node and the built library (npm ci && npm run build in clients/js)")
    os.environ["VORN_BUILD_DIR"] = os.path.abspath(arguments.build_dir)
    service = RunningService([])
    try:
        lay(service, CARD)
        floor = median(reads_ms(service, arguments.runs))
        print("read on an open connection, card lying there (floor), median of %d: %.0f ms"
              % (arguments.runs, floor), flush=True)
        for mode, name in (("push", "pushed"), ("poll", "read again and again")):
            took = median(laid_to_card_ms(service, mode, arguments.runs))
            print("1. card laid down to onCard, %s (median of %d): %.0f ms, %.0f ms beyond "
                  "the read, ratio %.2f to the read" % (name, arguments.runs, took, took - floor,
                                                        took / floor), flush=True)
        for mode, name in (("push", "pushed"), ("poll", "read again and again")):
            reads = reads_while_lying(service, mode, arguments.hold)
            print("2. chip reads while one card lies %.0f s with a watcher, %s: %d "
                  "(floor: 1 card laid)" % (arguments.hold, name, reads), flush=True)
        alone = idle_core_share(service, arguments.idle, False)
        watched = idle_core_share(service, arguments.idle, True)
        # The kernel counts processor time in ticks (10 ms on most systems).
        print("3. service's processor time over %.0f s of an empty reader: watched %.3f%% of "
              "one core, nobody watching (floor) %.3f%%, %s"
              % (arguments.idle, watched * 100, alone * 100,
                 "ratio %.2f" % (watched / alone) if alone else "floor under one tick"),
              flush=True)
        lay(service, CARD)
        without = median(reads_ms(service, arguments.runs))
        watcher = service.client()
        try:
            watcher.send_frame("watch")
            watcher.receive_message()
            watcher.receive_message()  # the card lying there
            with_watch = median(reads_ms(service, arguments.runs))
        finally:
            watcher.close()
        find = find_call_ms(service, arguments.runs)
        print("4. readcard from another connection (median of %d): %.0f ms while one watches, "
              "%.0f ms without (floor), extra %.1f ms, ratio %.2f; one find call %.2f ms"
              % (arguments.runs, with_watch, without, with_watch - without,
                 with_watch / without, find), flush=True)
    finally:
        service.close()


if __name__ == "__main__":
    main()
