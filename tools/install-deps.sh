#!/usr/bin/env bash
# Installs on Debian 12 what one purpose needs, and nothing when it is all there; safe to run
# again, and it needs root only when something is missing.
#   tools/install-deps.sh [test]      all that make test builds and runs (make deps)
#   tools/install-deps.sh demo        what make demo runs on this host, no more (make deps-demo)
#   tools/install-deps.sh PACKAGE...  those Debian packages (the emulated guest's tools)
set -euo pipefail

# The demo: Wine with the 32-bit loader, which is also what tells the host's kind (wine.sh);
# then the one MinGW for the build this host runs, in the thread model the exe is built with
# (the posix one only builds the contract tests), and Wine's 64-bit part where that build is
# the x86-64 twin (or WINDOWS=winxp64 asks for a 64-bit prefix). Xvfb for the program's boxes,
# ImageMagick's import and xwininfo for their screenshots, pycdlib for DISC=image.iso.
DEMO=(cmake make wine wine32:i386 xvfb xauth imagemagick x11-utils python3-pycdlib)
# make test: both MinGW builds and both Wine parts; the unit tests' compiler and GoogleTest,
# clang for the fuzzers, the Japanese locale for code page 932, chattr for the marker tests,
# the image makers of the disc tests, shellcheck, and the exe checks' PE reader and
# disassembler.
TEST=(cmake g++ make libgtest-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
      wine wine32:i386 wine64 xvfb xauth imagemagick x11-utils locales
      clang-14 libclang-rt-14-dev e2fsprogs xorriso genisoimage shellcheck
      python3-pycdlib python3-pefile python3-capstone)

updated=0
# install PACKAGE...: those not installed yet, as root; the package lists read once a run.
install() {
    local p missing=()
    for p in "$@"; do
        [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" == installed ] ||
            missing+=("$p")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    root_for "${missing[*]}"
    echo "install-deps: installing ${missing[*]}"
    if [[ " ${missing[*]}" == *:i386* ]]; then
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    fi
    [ $updated -eq 1 ] || { apt-get update -q; updated=1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}
root_for() {
    [ "$(id -u)" -eq 0 ] && return 0
    echo "install-deps: missing: $1" >&2
    echo "install-deps: run 'sudo tools/install-deps.sh ${purpose:-$*}' (or make as root) to install them." >&2
    exit 1
}

purpose=${1:-test}
case $purpose in
demo)
    install "${DEMO[@]}"
    # Only now can the host be asked which build it runs.
    if (source "$(dirname "${BASH_SOURCE[0]}")/lib/wine.sh" >/dev/null 2>&1 && hda_host_runs_32bit); then
        more=(g++-mingw-w64-i686-win32)
        [ "${WINDOWS:-}" != winxp64 ] || more+=(wine64)
    else
        more=(g++-mingw-w64-x86-64-win32 wine64)
    fi
    install "${more[@]}"
    ;;
test)
    install "${TEST[@]}"
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
        root_for "the ja_JP.UTF-8 locale"
        echo "install-deps: generating the ja_JP.UTF-8 locale"
        grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo "ja_JP.UTF-8 UTF-8" >>/etc/locale.gen
        locale-gen >/dev/null
    fi
    ;;
*)
    purpose=""
    install "$@"
    ;;
esac
