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
    """Wine's server ends every process of the prefix, services included, a few seconds after
    the last ordinary program of the prefix has ended, and the next program starts the
    services again: a service a test installed would end between two of its commands and
    come back on a new start. The server is held up, persistent, from here until close,
    which ends it with every process of the prefix. RUNNER is the tests' wine-run.sh
    command; without one (natively) this does nothing."""

    def __init__(self, runner):
        self.runner = runner
        if runner:
            subprocess.run(runner + ["--hold"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                           timeout=120)

    def close(self):
        if not self.runner:
            return
        subprocess.run(self.runner + ["--kill"], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.runner = None
