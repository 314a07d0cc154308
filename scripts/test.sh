#!/usr/bin/env bash
# Builds all three builds and runs their tests, as CI does:
#
#   linux        configure, build, ctest natively (the Debian package included, as root)
#   linux-asan   the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   windows-x64  configure, build, ctest with every test program under Wine
#   windows-x86  configure, build, ctest under 32-bit Wine, beside the x64 tests, where the
#                machine runs 32-bit programs itself; where they run only under qemu-i386
#                (scripts/x86-mode.sh) the x86 smoke test is a command of its own, too long
#                for this run: ctest --preset windows-x86-smoke (see README.md)
#   clients/js   the JavaScript client library: built with npm, its tests run with Node
#
# Every set is built and tested even when an earlier one failed, so one run reports all
# failures; the script exits non-zero when anything failed and names what.
set -uo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root" || exit 1

jobs=${VORN_JOBS:-$(nproc)}
wine_prefix="$repo_root/build/windows-x64/wineprefix"
wine_prefix_x86="$repo_root/build/windows-x86/wineprefix"
wine_run="$repo_root/scripts/wine-run.sh"

bash scripts/setup.sh || { echo "test.sh: setup failed" >&2; exit 1; }

started=$SECONDS
failed=()

step() {
    local name=$1
    shift
    printf '\n==== %s\n' "$name"
    local begin=$SECONDS
    if "$@"; then
        printf '==== %s: ok (%ds)\n' "$name" $((SECONDS - begin))
        return 0
    fi
    printf '==== %s: FAILED (%ds)\n' "$name" $((SECONDS - begin))
    failed+=("$name")
    return 1
}

configure_and_build() {
    cmake --preset "$1" && cmake --build --preset "$1" --parallel "$jobs"
}

# Whatever happens, no Wine process of this run outlives it.
trap '"$wine_run" --prefix "$wine_prefix" --kill; "$wine_run" --prefix "$wine_prefix_x86" --kill
    "$wine_run" --prefix "$repo_root/build/windows-x64/msi-wineprefix" --kill' EXIT

# Creating the Wine prefixes is mostly waiting (about 20 s each on a fresh machine), so it
# runs while the builds compile rather than before the Windows tests.
"$wine_run" --prefix "$wine_prefix" --init &
wine_init_pid=$!
x86_mode=$(bash scripts/x86-mode.sh)
wine32_present=false
if [[ $x86_mode == native &&
    $(dpkg-query -W -f='${db:Status-Status}' wine32:i386 2>/dev/null) == installed ]]; then
    wine32_present=true
    "$wine_run" --prefix "$wine_prefix_x86" --arch win32 --init &
    wine_init_x86_pid=$!
fi
# A 64-bit prefix runs its 32-bit parts under the emulator too, and takes minutes to make
# there: the package test's own prefix is made now, not within the test's time limit.
if [[ $x86_mode == emulated ]]; then
    "$wine_run" --prefix "$repo_root/build/windows-x64/msi-wineprefix" --init &
fi
not_run=()

# No folder includes a folder above it; the sources alone tell, before anything is built.
step "folder includes" sh scripts/folder-includes.sh

# First, because the browser tests of the linux set load the library's built module.
build_and_test_js_client() {
    (cd clients/js && npm run build && npm test)
}
step "clients/js: build and tests" build_and_test_js_client

if step "linux: build" configure_and_build linux; then
    step "linux: tests" ctest --preset linux
fi

# The same tests once more with AddressSanitizer and UndefinedBehaviorSanitizer, so that a
# byte read or written outside a buffer fails the run. The browser test only repeats what
# the plain run showed and is left out here, and so are the browser tests of the client library.
if step "linux-asan: build" configure_and_build linux-asan; then
    step "linux-asan: tests" ctest --preset linux-asan --exclude-regex '^e2e_(browser|js_client)$'
fi

x64_built=false
step "windows-x64: build" configure_and_build windows-x64 && x64_built=true

x86_built=false
step "windows-x86: build" configure_and_build windows-x86 && x86_built=true

wine_ready=false
step "Wine prefix" wait "$wine_init_pid" && wine_ready=true
wine_x86_ready=false
if [[ $wine32_present == true ]]; then
    step "32-bit Wine prefix" wait "$wine_init_x86_pid" && wine_x86_ready=true
fi

# Wine spends most of its time starting programs, not computing, so the x86 tests run beside
# the x64 tests in their own prefix; their output is shown once both have ended.
x86_log="$repo_root/build/windows-x86/ctest-under-wine.log"
x86_pid=
x86_name="windows-x86: tests under 32-bit Wine"
if [[ $x86_built == true && $wine_x86_ready == true ]]; then
    printf '\n==== %s (started, beside the x64 tests)\n' "$x86_name"
    x86_started=$SECONDS
    ctest --preset windows-x86 >"$x86_log" 2>&1 &
    x86_pid=$!
elif [[ $x86_built == true && $x86_mode == emulated ]]; then
    not_run+=("$x86_name (32-bit programs run only under qemu-i386 here: the smoke test is a command of its own, ctest --preset windows-x86-smoke)")
elif [[ $x86_built == true && $wine32_present == false ]]; then
    not_run+=("$x86_name (this machine runs no 32-bit programs)")
elif [[ $x86_built == true ]]; then
    failed+=("$x86_name (not run: no 32-bit Wine prefix)")
fi

if [[ $x64_built == true && $wine_ready == true ]]; then
    step "windows-x64: tests under Wine" ctest --preset windows-x64
elif [[ $x64_built == true ]]; then
    failed+=("windows-x64: tests under Wine (not run: no Wine prefix)")
fi

if [[ -n $x86_pid ]]; then
    show_x86_tests() {
        local status=0
        wait "$x86_pid" || status=$?
        cat "$x86_log"
        printf '(started %ds ago)\n' $((SECONDS - x86_started))
        return $status
    }
    step "$x86_name" show_x86_tests
fi

printf '\n==== finished in %ds\n' $((SECONDS - started))
if [[ ${#not_run[@]} -gt 0 ]]; then
    printf '==== NOT RUN on this machine:\n'
    printf '  %s\n' "${not_run[@]}"
fi
if [[ ${#failed[@]} -gt 0 ]]; then
    printf '==== failed:\n'
    printf '  %s\n' "${failed[@]}"
    exit 1
fi
printf '==== all builds and tests passed\n'
