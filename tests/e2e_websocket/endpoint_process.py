"""The built program serving its WebSocket endpoint for a test: on Linux as systemd starts
it (under a notify socket of the test's own) or in the foreground with "-run"; the Windows
build with "-run" under Wine, through the runner given on the command line."""

import os
import signal
import subprocess
import tempfile
import time

from notify_socket import NotifySocket
from program_folder import ProgramFolder, free_port

SERVING_MARK = b"Serving ws://"
# The first program of a fresh Wine prefix takes a while to start.
START_TIMEOUT = 90.0
STOP_TIMEOUT = 30.0


class Endpoint:
    """One program folder and the program serving from it."""

    def __init__(self, runner=(), foreground=None, card="resident_long_term.ini"):
        self.runner = list(runner)
        self.folder = ProgramFolder()
        self.folder.lay_card(card)
        self.port = free_port()
        self.folder.write_config(self.port)
        # Under Wine there is no systemd: the endpoint runs in the foreground there.
        self.foreground = bool(self.runner) if foreground is None else foreground
        self.notify = None
        self.process = None
        self.output = tempfile.TemporaryFile()

    def start(self):
        command = self.runner + [self.folder.program]
        environment = dict(os.environ)
        environment.pop("NOTIFY_SOCKET", None)
        if self.foreground:
            command.append("-run")
        else:
            self.notify = NotifySocket()
            environment["NOTIFY_SOCKET"] = self.notify.path
        # Output through a file, not a pipe: Wine's helper processes inherit the handles and
        # a pipe would not end before they do.
        self.process = subprocess.Popen(command, cwd=self.folder.path, env=environment,
                                        stdin=subprocess.DEVNULL, stdout=self.output,
                                        stderr=subprocess.STDOUT)
        if self.foreground:
            deadline = time.monotonic() + START_TIMEOUT
            while SERVING_MARK not in self.text().encode():
                if self.process.poll() is not None or time.monotonic() > deadline:
                    raise AssertionError("endpoint did not start: %r" % self.text())
                time.sleep(0.2)
        elif not self.notify.wait_for("READY=1", START_TIMEOUT):
            raise AssertionError("no READY=1 among %r" % self.notify.messages)

    def text(self):
        """Everything the program has written so far."""
        self.output.seek(0)
        return self.output.read().decode("utf-8", "replace").replace("\r\n", "\n")

    def stop(self, sig=signal.SIGTERM):
        """Sends the signal and returns the seconds until the program ended."""
        started = time.monotonic()
        self.process.send_signal(sig)
        self.process.wait(timeout=STOP_TIMEOUT)
        return time.monotonic() - started

    def close(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if self.notify is not None:
            self.notify.close()
        self.output.close()
        self.folder.remove()
