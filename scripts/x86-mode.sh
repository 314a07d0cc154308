#!/usr/bin/env bash
# Says how this machine runs 32-bit x86 programs, which decides how the x86 build is tested:
#
#   x86-mode.sh            prints "native", "emulated" or "none"
#   x86-mode.sh --register registers qemu-i386-static for 32-bit x86 programs (as root)
#
# "emulated" means a binfmt_misc handler takes every 32-bit x86 program, whether or not the
# kernel could run it itself: handlers come before the kernel's own ELF loader. Otherwise a
# tiny 32-bit program is started once; some kernels and sandboxes refuse it ("Exec format
# error"), and then nothing 32-bit runs here ("none").
set -euo pipefail

binfmt_dir=/proc/sys/fs/binfmt_misc
handler_name=vorn-qemu-i386
interpreter=/usr/bin/qemu-i386-static
# The ELF header of a 32-bit little-endian x86 program: its class, data, version, then
# e_type ignored (executable or shared object) and e_machine 3 (EM_386).
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# An enabled handler whose magic matches 32-bit x86 ELF programs, whoever registered it.
emulated() {
    local entry
    for entry in "$binfmt_dir"/*; do
        [[ -f $entry && $(basename "$entry") != register && $(basename "$entry") != status ]] ||
            continue
        head -n 1 "$entry" 2>/dev/null | grep -qx enabled || continue
        grep -Eq '^magic 7f454c460101[0-9a-f]{20}[0-9a-f]{4}0300' "$entry" && return 0
    done
    return 1
}

# A 32-bit x86 program of 93 bytes that only exits with 0.
runs_natively() {
    local probe
    probe=$(mktemp)
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08' >"$probe"
    printf '\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' >>"$probe"
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00' >>"$probe"
    printf '\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >>"$probe"
    chmod +x "$probe"
    local status=0
    "$probe" 2>/dev/null || status=1
    rm -f "$probe"
    return $status
}

# Flag F opens the interpreter now, so it serves containers and chroots without it too.
# Running it again changes nothing; a handler of another name that is already there is kept.
register() {
    emulated && return 0
    [[ -x $interpreter ]] || { echo "x86-mode.sh: $interpreter is missing" >&2; return 1; }
    if [[ ! -e $binfmt_dir/register ]]; then
        mount -t binfmt_misc binfmt_misc "$binfmt_dir"
    fi
    if [[ -e $binfmt_dir/$handler_name ]]; then
        echo 1 >"$binfmt_dir/$handler_name"
    else
        printf ':%s:M::%s:%s:%s:F\n' "$handler_name" "$magic" "$mask" "$interpreter" \
            >"$binfmt_dir/register"
    fi
    emulated
}

case ${1:-} in
    --register) register ;;
    "")
        if emulated; then
            echo emulated
        elif runs_natively; then
            echo native
        else
            echo none
        fi
        ;;
    *) echo "x86-mode.sh: unknown argument $1" >&2; exit 2 ;;
esac
