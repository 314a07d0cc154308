#!/usr/bin/env bash
# Installs everything the three builds and their tests need, from Debian's packages, fetches
# the third-party sources that the Windows builds compile with mingw, and installs the
# JavaScript client library's development packages from npm's registry.
#
# jsoncpp's source package is called libjsoncpp; asking for the binary package libjsoncpp-dev
# lets apt find it whatever Debian names it.
#
# Safe to run any number of times: packages are only installed when dpkg says they are
# missing, the package lists are only refreshed when something has to be installed or
# fetched, and the sources are only fetched when they are not in .deps/ yet. A second run on
# a prepared machine takes well under a second.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps_dir="$repo_root/.deps"
jsoncpp_dir="$deps_dir/jsoncpp"

# Tools for configuring and building, for fetching and unpacking Debian source packages, and
# for checking the Linux package.
build_tools=(cmake ninja-build g++ pkg-config python3 dpkg-dev clang lintian)
# Libraries of the native build, and the GoogleTest sources the Windows build compiles.
native_libraries=(
    libjsoncpp-dev libgtest-dev
    libcairo2-dev libfreetype-dev libfontconfig-dev libjpeg62-turbo-dev libturbojpeg0-dev
    libstb-dev libbenchmark-dev
)
# The cross compilers (the -posix variants, whose runtime has std::thread and std::mutex),
# 64-bit Wine, which runs the x64 tests, and (below) 32-bit Wine from the i386 architecture,
# which runs the x86 tests.
windows_tools=(
    mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    wine wine64
)
# 32-bit Wine runs the x86 tests. Where the machine runs no 32-bit program, installing it
# would only put a loader that cannot start behind Debian's "wine" command, so there it comes
# with the emulator, qemu-i386-static, registered for every 32-bit x86 program. Setting
# VORN_X86_EMULATION=1 takes that path on a machine that runs them too, to try it; nothing of
# the native path is taken away.
x86_mode=$(bash "$repo_root/scripts/x86-mode.sh")
x86_emulate=false
if [[ $x86_mode == none || ${VORN_X86_EMULATION:-} == 1 ]]; then
    x86_emulate=true
    # The smoke test that stands for the x86 suite there decodes pictures with PIL.
    windows_tools+=(qemu-user-static python3-pil)
fi
windows_tools+=(wine32:i386)
# The browser the end-to-end tests drive headless: the demo page over the WebSocket and a
# test extension over native messaging.
browser_tools=(chromium)
# The Windows Installer packages (wixl; msitools to look inside them) and Authenticode
# signing of the Windows files, with openssl for the tests' throwaway certificate.
# systemd brings systemd-analyze, which rates the sandbox of the Linux units. In a container
# where systemd does not run, installing it starts nothing and leaves the init alone (it is
# systemd-sysv that would make it the init).
package_tools=(wixl msitools osslsigncode openssl systemd)
# Node and npm build and test the JavaScript client library of clients/js. A machine whose Node
# came from elsewhere has its own npm, which Debian's npm package would conflict with, so they
# are installed only when missing.
js_tools=()
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    js_tools=(nodejs npm)
fi
packages=("${build_tools[@]}" "${native_libraries[@]}" "${windows_tools[@]}" "${browser_tools[@]}"
    "${package_tools[@]}" ${js_tools[@]+"${js_tools[@]}"})
js_dir="$repo_root/clients/js"

say() { printf 'setup: %s\n' "$*"; }

# apt's own output is long; it goes to a log that is shown only when a step fails.
apt_log="$deps_dir/setup-apt.log"
quietly() {
    mkdir -p "$deps_dir"
    if ! "$@" >>"$apt_log" 2>&1; then
        say "failed: $*"
        tail -n 40 "$apt_log" >&2
        return 1
    fi
}

# CI runs as root; a developer may run this as a user with sudo.
as_root() {
    if [[ $(id -u) -eq 0 ]]; then
        "$@"
    else
        sudo "$@"
    fi
}

export DEBIAN_FRONTEND=noninteractive

# One dpkg-query for the whole list keeps the already-prepared case fast. Packages dpkg has
# never heard of are not printed at all, so anything not reported as installed is missing.
# Both the plain name and the one with its architecture are printed, so that "wine32:i386"
# is found as well as "wine".
missing_packages() {
    local installed
    installed=$(dpkg-query -W -f='${Package} ${binary:Package} ${db:Status-Status}\n' \
        "${packages[@]}" 2>/dev/null | awk '$3 == "installed" { print $1; print $2 }' || true)
    local package
    for package in "${packages[@]}"; do
        if ! grep -qxF "$package" <<<"$installed"; then
            printf '%s\n' "$package"
        fi
    done
}

jsoncpp_source_present() {
    compgen -G "$jsoncpp_dir/*jsoncpp-*/include/json/json.h" >/dev/null
}

# apt-get source needs deb-src entries. The machine describes its archives in deb822 form;
# adding deb-src to the Types of the Debian stanzas keeps the same mirrors and suites. A
# machine with a classic sources.list gets a file of deb-src lines made from its deb lines.
# Prints "changed" when it had to add anything, so the caller knows the lists are stale.
enable_source_packages() {
    local deb822=/etc/apt/sources.list.d/debian.sources
    local classic=/etc/apt/sources.list
    local extra=/etc/apt/sources.list.d/vorn-deb-src.list
    if [[ -f $deb822 ]]; then
        if grep -qE '^Types:[[:space:]]*deb[[:space:]]*$' "$deb822"; then
            as_root sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$deb822" &&
                echo changed
        fi
    elif [[ -f $classic && ! -f $extra ]] && ! grep -qE '^[[:space:]]*deb-src[[:space:]]' "$classic"; then
        sed -n -E 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$classic" | as_root tee "$extra" >/dev/null &&
            echo changed
    fi
}

# Unpacks into a scratch folder first and moves the result into place only when
# dpkg-source has finished, so an interrupted run never leaves a half-unpacked tree that a
# later run would take for a complete one.
fetch_jsoncpp_source() {
    local scratch="$deps_dir/.jsoncpp-download"
    rm -rf "$scratch"
    mkdir -p "$scratch"
    # Root downloads cannot be handed to apt's unprivileged sandbox user inside a work tree
    # that user may not enter; downloading as root directly avoids a warning per file.
    (cd "$scratch" && apt-get source -o APT::Sandbox::User=root libjsoncpp-dev) >>"$apt_log" 2>&1 || return 1
    compgen -G "$scratch/*jsoncpp-*/include/json/json.h" >/dev/null || return 1
    rm -rf "$jsoncpp_dir"
    mv "$scratch" "$jsoncpp_dir"
}

# The library's development packages, exactly as its lock file pins them, from npm's registry.
# A copy of the lock file in node_modules marks an install that is still current.
install_js_packages() {
    local stamp="$js_dir/node_modules/.vorn-installed-lock.json"
    if cmp -s "$js_dir/package-lock.json" "$stamp"; then
        return 0
    fi
    say "installing the JavaScript client's packages (npm ci)"
    if ! (cd "$js_dir" && npm ci --no-audit --no-fund) >>"$apt_log" 2>&1; then
        say "failed: npm ci in clients/js"
        tail -n 40 "$apt_log" >&2
        return 1
    fi
    cp "$js_dir/package-lock.json" "$stamp"
}

mapfile -t missing < <(missing_packages)
need_source=false
jsoncpp_source_present || need_source=true

# A registration lasts until the machine restarts, so it is checked on every run. Without it
# the other builds are still tested; the x86 tests are then reported as not run.
register_x86_emulation() {
    [[ $x86_emulate == true && $x86_mode != emulated ]] || return 0
    say "registering qemu-i386-static for 32-bit x86 programs"
    as_root bash "$repo_root/scripts/x86-mode.sh" --register >>"$apt_log" 2>&1 && return 0
    say "failed: the emulator could not be registered; 32-bit Wine is left out, the x86 tests cannot run"
    local kept=() package
    for package in ${missing[@]+"${missing[@]}"}; do
        [[ $package == wine32:i386 ]] || kept+=("$package")
    done
    missing=(${kept[@]+"${kept[@]}"})
}

if [[ ${#missing[@]} -eq 0 && $need_source == false ]]; then
    install_js_packages
    register_x86_emulation
    say "all packages present, jsoncpp source present"
    exit 0
fi

rm -f "$apt_log"
lists_stale=false
[[ ${#missing[@]} -gt 0 ]] && lists_stale=true
if [[ $need_source == true && -n $(enable_source_packages) ]]; then
    say "enabled Debian source packages"
    lists_stale=true
fi

# Packages of another architecture (32-bit Wine) install only once dpkg knows it.
foreign_architectures_needed() {
    local package
    for package in "${missing[@]}"; do
        if [[ $package == *:* ]] && ! dpkg --print-foreign-architectures | grep -qxF "${package#*:}"; then
            printf '%s\n' "${package#*:}"
        fi
    done | sort -u
}
for architecture in $(foreign_architectures_needed); do
    say "adding the $architecture architecture"
    quietly as_root dpkg --add-architecture "$architecture"
    lists_stale=true
done

if [[ $lists_stale == true ]]; then
    say "refreshing the package lists"
    quietly as_root apt-get update
fi

# The emulator goes first: the 32-bit packages' own scripts may start 32-bit programs.
if [[ $x86_emulate == true ]] && ! dpkg-query -W -f='${db:Status-Status}' qemu-user-static 2>/dev/null |
    grep -qx installed; then
    say "installing: qemu-user-static"
    quietly as_root apt-get install -y --no-install-recommends qemu-user-static
    mapfile -t missing < <(missing_packages)
fi
register_x86_emulation

if [[ ${#missing[@]} -gt 0 ]]; then
    say "installing: ${missing[*]}"
    quietly as_root apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [[ $need_source == true ]]; then
    say "fetching the jsoncpp source package into .deps/jsoncpp"
    if ! fetch_jsoncpp_source; then
        # deb-src may have been enabled by an earlier run whose lists were never refreshed.
        say "refreshing the package lists and trying again"
        quietly as_root apt-get update
        if ! fetch_jsoncpp_source; then
            say "could not fetch the jsoncpp source package"
            tail -n 40 "$apt_log" >&2
            exit 1
        fi
    fi
fi

install_js_packages
say "done"
