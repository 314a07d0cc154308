"""What the tests that drive the Windows build under Wine share: running a program of the
prefix, and keeping the prefix's session alive while the tests run."""

import subprocess
import tempfile


def run_in_prefix(runner, arguments, timeout):
    """Runs a program of the prefix and returns its exit code and standard output.

    The output goes through a file, not a pipe: the first program of a Wine session starts
    the session's own processes, which inherit its handles and outlive it, and a pipe would
    not end before they do."""
    with tempfile.TemporaryFile() as output:
        done = subprocess.run(runner + arguments, stdin=subprocess.DEVNULL, stdout=output,
                              stderr=subprocess.DEVNULL, timeout=timeout)
        output.seek(0)
        text = output.read().decode("utf-8", "replace").replace("\r\n", "\n")
    return done.returncode, text


class HeldSession:
    """Wine ends its service manager, and every service with it, a few seconds after the last
    ordinary program of the prefix has ended. A command interpreter waiting on input that
    never comes keeps the session alive until close. Without a runner (natively) it does
    nothing."""

    def __init__(self, runner):
        self.process = None
        if runner:
            self.process = subprocess.Popen(runner + ["cmd.exe"], stdin=subprocess.PIPE,
                                            stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)

    def close(self):
        if self.process is None:
            return
        self.process.stdin.close()
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process = None
