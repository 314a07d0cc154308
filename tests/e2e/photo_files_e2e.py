#!/usr/bin/env python3
"""End-to-end test of where the photo decoder's files go: the program reads the card from a
read-only folder as an ordinary user, leaves nothing in any temporary folder, never writes
through a link planted in its current directory, and two programs reading at once from the
same current directory never swap their photos.

    photo_files_e2e.py --build-dir DIR --work-dir DIR [--reads N] [--only NAME]
                       [--hold-prefix] [-- RUNNER...]

RUNNER runs the Windows program under Wine (see native_messaging_e2e.py); there the
temporary folder lies inside the Wine prefix, which is searched for anything left behind.
"""

import argparse
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import expected_reply  # noqa: E402
import native_messaging_e2e as nm  # noqa: E402

# The names the program's temporary files and folders have had: the fixed bitmap and record
# names of the decoder, and the private folders made for each request.
LEFTOVER_MARKS = ("_qd_sdt_temp", "VornIdReader-")
UNPRIVILEGED_USER = "nobody"
RESIDENT = "resident_long_term.ini"
OTHER_CARD = "permit_taiwan.ini"


class Context:
    def __init__(self, args):
        self.platform = nm.Platform(os.path.abspath(args.build_dir))
        self.runner = args.runner
        self.work_dir = os.path.abspath(args.work_dir)
        self.reads = args.reads
        os.makedirs(self.work_dir, exist_ok=True)
        self.cards_dir = os.path.join(self.platform.build_dir, "cards")
        self.windows = self.platform.program.endswith(".exe")
        # Wine's first drawing of a session loads fonts and libraries for many seconds.
        self.timeout = nm.RUN_TIMEOUT_SECONDS * (3 if self.runner else 1)

    def folder(self, card=RESIDENT, decoder=""):
        """A new program folder with the decoder and the card on the reader."""
        folder = tempfile.mkdtemp(prefix="vorn-photo-", dir=self.work_dir)
        scenario = nm.Scenario("", None, reader="card = cards/%s\n" % card, decoder=decoder)
        nm.prepare(folder, self.platform, scenario)
        return folder

    def read(self, folder, cwd=None, env=None, user=None):
        """Runs the program once; its reply body, or raises with what went wrong."""
        command = self.runner + [os.path.join(folder, self.platform.program)]
        if user is not None:
            command = ["setpriv", "--reuid=" + user, "--regid=" + user_group(user),
                       "--clear-groups", "--"] + command
        for _ in range(1 + (nm.WINE_SILENT_RETRIES if self.runner else 0)):
            completed = subprocess.run(command, input=nm.frame(nm.REQUEST), cwd=cwd or folder,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                       env=env, timeout=self.timeout)
            if completed.stdout or completed.returncode != 0:
                break
        if completed.returncode != 0 or len(completed.stdout) < 4:
            raise AssertionError("exit code %d, %d bytes out, standard error %r" % (
                completed.returncode, len(completed.stdout), completed.stderr[-300:]))
        return completed.stdout[4:]

    def expect_full_reply(self, body, card=RESIDENT):
        """Checks the reply of a successful read with its three pictures; returns the photo."""
        blanked, problems = nm.blank_pictures(body)
        expected = expected_reply.card_reply(os.path.join(self.cards_dir, card))
        if blanked != expected:
            problems.append(nm.describe_difference(expected, blanked))
        if problems:
            raise AssertionError("\n    ".join(problems))
        return photo_of(body)

    def leftovers(self, *folders):
        """Files and folders of the program's temporary names below the folders."""
        found = []
        for top in folders:
            for root, directories, files in os.walk(top):
                found += [os.path.join(root, name) for name in directories + files
                          if name.startswith(LEFTOVER_MARKS)]
        return found

    def wine_temporary_root(self):
        """Under Wine the temporary folder is inside the prefix, below drive_c/users."""
        for index, argument in enumerate(self.runner[:-1]):
            if argument == "--prefix":
                return os.path.join(self.runner[index + 1], "drive_c", "users")
        return os.path.join(os.environ.get("WINEPREFIX", ""), "drive_c", "users")


def user_group(user):
    return str(pwd.getpwnam(user).pw_gid)


def photo_of(body):
    marker = b'"photo" : "'
    start = body.index(marker) + len(marker)
    return body[start:body.index(b'"', start)]


def empty_folder(context, name):
    path = tempfile.mkdtemp(prefix=name, dir=context.work_dir)
    return path


def make_read_only(top):
    for root, directories, files in os.walk(top):
        for name in files:
            path = os.path.join(root, name)
            os.chmod(path, os.stat(path).st_mode & ~0o222 | 0o444)
        for name in directories:
            os.chmod(os.path.join(root, name), 0o555)
    os.chmod(top, 0o555)


def make_writable(top):
    os.chmod(top, 0o755)
    for root, directories, files in os.walk(top):
        for name in directories:
            os.chmod(os.path.join(root, name), 0o755)
        for name in files:
            path = os.path.join(root, name)
            os.chmod(path, os.stat(path).st_mode | 0o200)


def scenario_read_only_folder(context):
    """An ordinary user reads from a read-only copy of the program folder, in that folder."""
    folder = context.folder()
    temporary = empty_folder(context, "vorn-tmp-")
    env = dict(os.environ, TMPDIR=temporary)
    user = None
    if os.geteuid() == 0:
        # Root writes anywhere; the user a browser runs as does not.
        user = UNPRIVILEGED_USER
        os.chown(temporary, pwd.getpwnam(user).pw_uid, int(user_group(user)))
        os.chmod(context.work_dir, 0o755)
    os.chmod(folder, 0o755)
    make_read_only(folder)
    try:
        body = context.read(folder, env=env, user=user)
        context.expect_full_reply(body)
        left = os.listdir(temporary) + context.leftovers(folder)
        if left:
            raise AssertionError("left behind: %r" % left)
    finally:
        make_writable(folder)
    return "as %s" % (user or "the current user")


def scenario_nothing_left(context):
    """A read, a failing photo decode and a decoder writing garbage leave TMPDIR empty."""
    temporary = empty_folder(context, "vorn-tmp-")
    env = dict(os.environ, TMPDIR=temporary)
    cases = [("", None), ("result = -5\n", nm.PHOTO_DECODE_FAILED),
             ("output = garbage\n", nm.PHOTO_DECODE_FAILED),
             ("result = -5\nfail_from_call = 2\n", nm.FRONT_PICTURE_FAILED)]
    for decoder, failure in cases:
        folder = context.folder(decoder=decoder)
        body = context.read(folder, env=env)
        if failure is None:
            context.expect_full_reply(body)
        elif failure.encode() not in body:
            raise AssertionError("no %r in the reply to %r" % (failure, decoder))
        left = os.listdir(temporary) + context.leftovers(folder)
        if left:
            raise AssertionError("after %r left behind: %r" % (decoder, left))
    return "%d reads" % len(cases)


def scenario_wine_nothing_left(context):
    """Under Wine: reads and a failing decode leave nothing in the prefix's folders."""
    cases = ["", "result = -5\n", "output = garbage\n"]
    users = context.wine_temporary_root()
    for decoder in cases:
        folder = context.folder(decoder=decoder)
        body = context.read(folder)
        if not decoder:
            context.expect_full_reply(body)
        left = context.leftovers(users, folder)
        if left:
            raise AssertionError("after %r left behind: %r" % (decoder, left))
    return "%d reads, searched %s" % (len(cases), users)


def scenario_unusable_temporary_folder(context):
    """Without a temporary folder the read still answers, with the photo failure."""
    folder = context.folder()
    env = dict(os.environ, TMPDIR=os.path.join(folder, "does-not-exist"))
    body = context.read(folder, env=env)
    expected = expected_reply.reply_text(-1, nm.PHOTO_DECODE_FAILED)
    if body != expected:
        raise AssertionError(nm.describe_difference(expected, body))
    return ""


def scenario_planted_links(context):
    """Links of the decoder's old file names in the current directory are left alone."""
    folder = context.folder()
    victims = {}
    for name in ("_qd_sdt_temp.wlt", "_qd_sdt_temp.bmp"):
        victim = os.path.join(context.work_dir, "victim-" + name)
        with open(victim, "w") as handle:
            handle.write("precious")
        os.symlink(victim, os.path.join(folder, name))
        victims[name] = victim
    context.expect_full_reply(context.read(folder))
    for name, victim in victims.items():
        with open(victim, "rb") as handle:
            if handle.read() != b"precious":
                raise AssertionError("the program wrote through the link " + name)
        if not os.path.islink(os.path.join(folder, name)):
            raise AssertionError("the link %s was replaced" % name)
        os.remove(victim)
    return ""


def scenario_two_programs_at_once(context):
    """Two programs with different cards read at the same time from one current directory."""
    cards = [RESIDENT, OTHER_CARD]
    folders = [context.folder(card) for card in cards]
    shared_cwd = empty_folder(context, "vorn-cwd-")
    references = [context.expect_full_reply(context.read(f), card)
                  for f, card in zip(folders, cards)]
    if references[0] == references[1]:
        raise AssertionError("the two cards have the same photo; the test would prove nothing")
    problems = []
    lock = threading.Lock()

    def reader(index):
        for attempt in range(context.reads // 2):
            try:
                photo = context.expect_full_reply(
                    context.read(folders[index], cwd=shared_cwd), cards[index])
                if photo != references[index]:
                    problem = "read %d of %s carried another photo" % (attempt, cards[index])
                else:
                    continue
            except (AssertionError, subprocess.TimeoutExpired) as error:
                problem = "read %d of %s: %s" % (attempt, cards[index], error)
            with lock:
                problems.append(problem)

    threads = [threading.Thread(target=reader, args=(i,)) for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    if problems:
        raise AssertionError("%d of %d reads wrong, first: %s" % (
            len(problems), context.reads, problems[0]))
    return "%d reads" % context.reads


LINUX_SCENARIOS = [scenario_read_only_folder, scenario_nothing_left,
                   scenario_unusable_temporary_folder, scenario_planted_links,
                   scenario_two_programs_at_once]
WINE_SCENARIOS = [scenario_wine_nothing_left]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--reads", type=int, default=200,
                        help="reads of the two programs at once, together")
    parser.add_argument("--only", help="run only scenarios whose name contains this text")
    parser.add_argument("--hold-prefix", action="store_true",
                        help="keep a command prompt running through the runner meanwhile")
    parser.add_argument("runner", nargs="*", help="command put in front of the program")
    args = parser.parse_args()
    context = Context(args)
    scenarios = WINE_SCENARIOS if context.windows else LINUX_SCENARIOS
    holder = nm.PrefixHolder(args.runner) if args.hold_prefix and args.runner else None
    passed = failed = 0
    try:
        for scenario in scenarios:
            name = scenario.__name__[len("scenario_"):]
            if args.only and args.only not in name:
                continue
            started = time.monotonic()
            try:
                note = scenario(context)
                passed += 1
                print("ok   %s (%s%.1f s)" % (name, note + ", " if note else "",
                                             time.monotonic() - started), flush=True)
            except (AssertionError, subprocess.TimeoutExpired, OSError) as error:
                failed += 1
                print("FAIL %s (%.1f s)\n    %s" % (name, time.monotonic() - started, error),
                      flush=True)
    finally:
        if holder is not None:
            holder.close()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
