"""What the whole-process benchmarks share: a copy of the built program with the simulated
reader, medians, and a running service (Linux under a notify socket of our own, Windows as a
service under Wine's service manager)."""

import os
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e_websocket"))
from notify_socket import NotifySocket  # noqa: E402
from program_folder import ProgramFolder, free_port  # noqa: E402
from wine_prefix import HeldSession  # noqa: E402
from ws_client import WebSocketClient  # noqa: E402

# The driver waits this long before it looks for the card, whatever the program does.
READER_WAIT_MS = 100.0
START_TIMEOUT = 60.0
NATIVE_REQUEST = b'"readidbase"'


def median(values):
    return statistics.median(values)


def milliseconds_since(start):
    return (time.perf_counter() - start) * 1000.0


def native_frame(body):
    return struct.pack("<I", len(body)) + body


def read_native_reply(stream):
    """One length-prefixed reply frame from a pipe; None when the pipe ends first."""
    header = stream.read(4)
    if len(header) < 4:
        return None
    (length,) = struct.unpack("<I", header)
    body = stream.read(length)
    return body if len(body) == length else None


def runner_of(arguments):
    """The words after "--" on the command line: what runs a Windows program (Wine)."""
    if "--" not in arguments:
        return []
    # The programs run in folders of their own: paths given relative to here must still hold.
    return [os.path.abspath(word) if os.path.exists(word) else word
            for word in arguments[arguments.index("--") + 1:]]


def split_runner(arguments):
    """The benchmark's own arguments, and the runner given after "--"."""
    runner = runner_of(arguments)
    if "--" in arguments:
        arguments = arguments[:arguments.index("--")]
    return arguments, runner


def held_prefix(runner):
    """Keeps a Wine prefix's server, and the service under it, up while a benchmark runs;
    natively it does nothing."""
    return HeldSession(runner)


def run_quietly(command, timeout=120):
    with tempfile.TemporaryFile() as output:
        subprocess.run(command, stdin=subprocess.DEVNULL, stdout=output,
                       stderr=subprocess.DEVNULL, timeout=timeout)


def wait_until_listening(port, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2):
                return True
        except OSError:
            time.sleep(0.2)
    return False


class RunningService:
    """The program serving its WebSocket endpoint from a folder of its own, and the process
    id whose memory is measured."""

    def __init__(self, runner, libraries=None):
        """LIBRARIES: a folder whose driver and decoder libraries replace the build's own in
        the program's folder (None: the build's stand-ins)."""
        self.runner = runner
        self.folder = ProgramFolder()
        if libraries is not None:
            for name in os.listdir(libraries):
                shutil.copy2(os.path.join(libraries, name), self.folder.path)
        self.port = free_port()
        self.folder.write_config(self.port)
        self.process = None
        self.notify = None
        if runner:
            run_quietly(runner + [self.folder.program, "-remove"])
            run_quietly(runner + [self.folder.program, "-install"])
        else:
            self.notify = NotifySocket()
            environment = dict(os.environ, NOTIFY_SOCKET=self.notify.path)
            self.process = subprocess.Popen([self.folder.program], cwd=self.folder.path,
                                            env=environment, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
        if not wait_until_listening(self.port, START_TIMEOUT):
            self.close()
            raise RuntimeError("the service does not listen on port %d" % self.port)

    def pid(self):
        if self.process is not None:
            return self.process.pid
        # Under Wine the service is a process of the prefix whose command line names the
        # program in this benchmark's own folder.
        names = (self.folder.path.lower().encode(),
                 ("z:" + self.folder.path.replace("/", "\\")).lower().encode())
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    command_line = f.read().lower()
            except OSError:
                continue
            if any(name in command_line for name in names) and b"-install" not in command_line:
                return int(entry)
        return None

    def client(self):
        client = WebSocketClient(self.port, timeout=60)
        client.handshake()
        return client

    def close(self):
        if self.runner:
            run_quietly(self.runner + [self.folder.program, "-remove"])
        elif self.process is not None:
            self.process.terminate()
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.notify is not None:
            self.notify.close()
        self.folder.remove()


def processor_ms(pid):
    """User and system time the process has used so far, in milliseconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])
    return ticks * 1000.0 / os.sysconf("SC_CLK_TCK")


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return None
