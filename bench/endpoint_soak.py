#!/usr/bin/env python3
"""Soak of the WebSocket endpoint: well-formed requests over a few connections, mixed with
hostile connections (idle, never reading, garbage, split, pipelined, control frames). Every well-formed
request must be answered correctly, the program's open descriptors must not grow, and a
sanitizer build must report nothing.

    python3 bench/endpoint_soak.py [--build build/linux-asan] [--requests 1000]
                                   [--connections 10] [--hostile 1000]

Linux only (descriptors are counted in /proc). Prints its figures and exits non-zero on the
first broken promise.
"""

import argparse
import concurrent.futures
import json
import os
import random
import signal
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "e2e_websocket"))
from endpoint_process import Endpoint  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402

CARD_ID = "11010119650312158X"
# Reads are strictly one at a time, so a client may wait for every read queued before its
# own; under a sanitizer on a busy machine a read takes a second or more.
TIMEOUT = 600.0
SANITIZER_MARKS = ("AddressSanitizer", "LeakSanitizer", "runtime error:")


def open_descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def check_reply(text):
    reply = json.loads(text)
    if reply["ID"] != CARD_ID or reply["result"] != 0:
        raise AssertionError("wrong reply: %r" % text[:200])


def connect(port):
    """A client whose every wait may last as long as the reads queued before it take."""
    client = WebSocketClient(port, timeout=TIMEOUT)
    client.handshake()
    client.sock.settimeout(TIMEOUT)
    return client


def well_formed(port, count):
    with connect(port) as client:
        for _ in range(count):
            client.send_frame("readcard")
            check_reply(client.receive_message())
    return count


def hostile(port, kind, rng):
    """One hostile connection; returns the well-formed replies it checked on the way."""
    if kind == "idle":
        with connect(port):
            time.sleep(rng.uniform(0.5, 2.0))
        return 0
    if kind == "never-reading":
        with WebSocketClient(port, timeout=TIMEOUT) as client:
            client.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            client.handshake()
            for _ in range(3):
                client.send_frame("readcard")
            time.sleep(rng.uniform(0.2, 1.0))
        return 0
    if kind == "garbage":
        with socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT) as sock:
            try:
                sock.sendall(os.urandom(rng.randint(1, 4000)))
            except OSError:
                pass  # the server may close first
        return 0
    if kind == "split":
        with WebSocketClient(port, timeout=TIMEOUT) as client:
            real_send = client.sock.sendall

            def in_pieces(data):
                at = 0
                while at < len(data):
                    step = rng.randint(1, 9)
                    real_send(data[at:at + step])
                    at += step

            client.send = in_pieces
            client.handshake()
            client.sock.settimeout(TIMEOUT)
            client.send_frame("readcard")
            check_reply(client.receive_message())
        return 1
    if kind == "control":
        # A ping before a request and a binary frame after it, in one write: the pong comes
        # first, then the reply, then the close frame the binary frame earns.
        with connect(port) as client:
            frames = []
            real_send = client.sock.sendall
            client.send = frames.append
            ping = os.urandom(rng.randint(0, 125))
            client.send_frame(ping, opcode=0x9)
            client.send_frame("readcard")
            client.send_frame(b"readcard", opcode=0x2)
            client.send = real_send
            real_send(b"".join(frames))
            if client.receive_frame() != (0x8A, ping):
                raise AssertionError("no pong with the ping's payload first")
            check_reply(client.receive_message())
            if client.receive_frame() != (0x88, b"\x03\xeb"):
                raise AssertionError("no close frame 1003 after a binary frame")
        return 1
    # Pipelined: three requests in one write.
    with connect(port) as client:
        frames = []
        real_send = client.sock.sendall
        client.send = frames.append
        for _ in range(3):
            client.send_frame("readcard")
        client.send = real_send
        real_send(b"".join(frames))
        for _ in range(3):
            check_reply(client.receive_message())
    return 3


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/linux-asan")
    parser.add_argument("--requests", type=int, default=1000)
    parser.add_argument("--connections", type=int, default=10)
    parser.add_argument("--hostile", type=int, default=1000)
    parser.add_argument("--crowd", type=int, default=20,
                        help="hostile connections open at the same time")
    parser.add_argument("--seed", type=int, default=7171)
    options = parser.parse_args()
    os.environ["VORN_BUILD_DIR"] = os.path.abspath(options.build)
    os.environ.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=0")

    rng = random.Random(options.seed)
    endpoint = Endpoint(foreground=True)
    endpoint.start()
    failures = []
    try:
        pid = endpoint.process.pid
        well_formed(endpoint.port, 1)  # warm up: libraries loaded, caches made
        before = open_descriptors(pid)
        started = time.monotonic()
        kinds = ["idle", "never-reading", "garbage", "split", "pipelined", "control"]
        answered = [0]
        lock = threading.Lock()

        def count(future):
            try:
                n = future.result()
                with lock:
                    answered[0] += n
            except Exception as error:  # noqa: BLE001 - every failure is reported below
                failures.append(repr(error))

        per_connection = options.requests // options.connections
        with concurrent.futures.ThreadPoolExecutor(options.connections) as steady, \
                concurrent.futures.ThreadPoolExecutor(options.crowd) as crowd:
            for _ in range(options.connections):
                steady.submit(well_formed, endpoint.port, per_connection).add_done_callback(count)
            for i in range(options.hostile):
                kind = kinds[i % len(kinds)]
                crowd.submit(hostile, endpoint.port, kind,
                             random.Random(rng.random())).add_done_callback(count)
        took = time.monotonic() - started
        # Connections of clients that left are closed as soon as the server notices.
        deadline = time.monotonic() + 30
        after = open_descriptors(pid)
        while after > before and time.monotonic() < deadline:
            time.sleep(0.5)
            after = open_descriptors(pid)
        print("well-formed replies checked: %d (%d over %d steady connections)"
              % (answered[0], per_connection * options.connections, options.connections))
        print("hostile connections: %d; failures: %d" % (options.hostile, len(failures)))
        print("open descriptors of the program: %d before, %d after" % (before, after))
        print("took %.1f s" % took)
        if after > before:
            failures.append("descriptors grew from %d to %d" % (before, after))
    finally:
        endpoint.process.send_signal(signal.SIGTERM)
        try:
            endpoint.process.wait(timeout=60)
        except Exception:  # noqa: BLE001
            endpoint.process.kill()
        output = endpoint.text()
        endpoint.close()
    reports = [mark for mark in SANITIZER_MARKS if mark in output]
    if reports:
        failures.append("sanitizer reported: %s" % ", ".join(reports))
        print(output[-4000:])
    for failure in failures[:20]:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
