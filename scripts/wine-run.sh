#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, for the tests of the Windows build.
#
#   wine-run.sh [--prefix DIR] [--arch win32] PROGRAM [ARGUMENTS...]   run PROGRAM (a path or
#                                      a Wine command such as "sc" or "net"), return its code
#   wine-run.sh [--prefix DIR] [--arch win32] --init    only create the prefix
#   wine-run.sh [--prefix DIR] [--arch win32] --hold    keep the prefix's server up until --kill
#   wine-run.sh [--prefix DIR] --kill                   end every Wine process of the prefix
#
# Without --prefix, WINEPREFIX must be set. A prefix is made 64-bit unless --arch win32 asks
# for a 32-bit one (for the x86 build; Debian's wine32 runs it). The Windows toolchains make
# this script the emulator of every executable target, with the build folder's wineprefix, so
# ctest runs test programs through it; end-to-end tests can call it the same way.
set -euo pipefail

prefix=${WINEPREFIX:-}
if [[ ${1:-} == --prefix ]]; then
    [[ $# -ge 2 ]] || { echo "wine-run.sh: --prefix needs a folder" >&2; exit 2; }
    prefix=$2
    shift 2
fi
arch=win64
if [[ ${1:-} == --arch ]]; then
    [[ $# -ge 2 && ($2 == win32 || $2 == win64) ]] ||
        { echo "wine-run.sh: --arch takes win32 or win64" >&2; exit 2; }
    arch=$2
    shift 2
fi
if [[ -z $prefix ]]; then
    echo "wine-run.sh: give --prefix DIR or set WINEPREFIX" >&2
    exit 2
fi
[[ $# -ge 1 ]] || { echo "wine-run.sh: nothing to run" >&2; exit 2; }

WINEPREFIX=$(realpath -m "$prefix")
export WINEPREFIX
# Under qemu-i386 (scripts/x86-mode.sh) the 32-bit loader must find the top of the 4 GiB
# address space free, or it fails: "failed to map the shared user data: c0000018". Only the
# emulator reads this; a machine that runs 32-bit programs itself ignores it.
if [[ $arch == win32 ]]; then
    export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0xffff0000}
fi
# Wine's debug channels would bury the tests' own output; errors of the program still show.
export WINEDEBUG=${WINEDEBUG:--all}
# Without this, creating a prefix asks to download the .NET and HTML engines, which cannot
# be fetched here and which nothing of the system uses.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# Debian's "wine" command starts the 32-bit loader whenever 32-bit Wine is installed. A
# program of a 64-bit prefix started through it gets Wine's 32-bit tools (msiexec writes the
# 32-bit view of the registry) and runs behind a parent that keeps the signals sent to it, so
# a 64-bit prefix is given the 64-bit loader by name.
loader() {
    if [[ $arch == win64 && -x /usr/lib/wine/wine64 ]] &&
        ! grep -qs '^#arch=win32' "$WINEPREFIX/system.reg"; then
        echo /usr/lib/wine/wine64
    else
        echo wine
    fi
}

ready_mark="$WINEPREFIX/.vorn-prefix-ready"

# Creating a prefix takes about 20 s. Concurrent callers wait on a lock for the first one; a
# prefix whose creation was interrupted has no mark yet and is made again from scratch.
ensure_prefix() {
    [[ -f $ready_mark ]] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    local lock_fd
    exec {lock_fd}>"$WINEPREFIX.lock"
    flock "$lock_fd"
    if [[ ! -f $ready_mark ]]; then
        echo "wine-run.sh: creating the Wine prefix $WINEPREFIX" >&2
        rm -rf "$WINEPREFIX"
        # Under an emulator the boot outlasts Wine's own wait for it ("boot event wait timed
        # out"), and wineboot then returns a failure while the boot goes on; whether it ended
        # well shows once the prefix's processes have ended.
        WINEARCH=$arch "$(loader)" wineboot --init >/dev/null 2>&1 ||
            echo "wine-run.sh: wineboot gave up waiting; waiting for the boot itself" >&2
        # wineboot returns before the prefix's registry is written out; the server writes it
        # when it exits, so wait for that before anyone uses the prefix.
        wineserver -w
        if [[ ! -s $WINEPREFIX/system.reg || ! -d $WINEPREFIX/drive_c/windows/system32 ]]; then
            echo "wine-run.sh: creating the Wine prefix $WINEPREFIX failed" >&2
            exit 1
        fi
        touch "$ready_mark"
    fi
    exec {lock_fd}>&-
}

case $1 in
    --init)
        ensure_prefix
        ;;
    --hold)
        # Wine's server ends every process of the prefix, services included, a few seconds
        # after the last ordinary program has ended, and the next program starts the
        # services again: a test that expects a service to stay up holds the server with
        # this. A running server cannot be told to stay, so it is ended and started anew,
        # persistent; it returns once the new server is up.
        ensure_prefix
        wineserver -k >/dev/null 2>&1 || true
        wineserver -p
        ;;
    --kill)
        # Nothing to end when the prefix was never made or its server is not running.
        if [[ -d $WINEPREFIX ]]; then
            wineserver -k >/dev/null 2>&1 || true
        fi
        ;;
    *)
        ensure_prefix
        exec "$(loader)" "$@"
        ;;
esac
