#!/usr/bin/env bash
# Installs on Debian 12 what one purpose needs, and nothing when it is all there; safe to run
# again, and it needs root only when something is missing.
#   tools/install-deps.sh [test]      all that make test builds and runs (make deps)
#   tools/install-deps.sh demo        what make demo runs on this host, no more (make deps-demo)
#   tools/install-deps.sh PACKAGE...  those Debian packages (the emulated guest's tools)
set -euo pipefail

# The demo: Wine with the part this host runs, the one MinGW for the build it runs, in the
# thread model the exe is built with (the posix one only builds the contract tests), and Xvfb
# for the program's boxes; what else it runs, only when it will (below). Where the kernel
# refuses 32-bit programs, neither Wine's 32-bit part nor the i386 architecture, whose
# package lists alone cost seconds, is installed.
DEMO=(cmake make wine xvfb)
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

# runs_32bit: whether the kernel runs 32-bit x86 programs, asked before Wine is here (the Wine
# runner asks Wine's 32-bit loader, once it is installed): a 93-byte i386 program that only
# exits. A kernel that refuses it, or a folder that may not hold programs, leaves the x86-64
# twin, which runs on either kind of host.
runs_32bit() {
    case ${HDA_HOST_RUNS_32BIT:-} in yes) return 0 ;; no) return 1 ;; esac
    local probe status=0
    probe=$(mktemp)
    # The ELF header, one loadable segment of the whole file, then: mov eax, 1; xor ebx,
    # ebx; int 0x80 (exit 0).
    local elf='\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0'
    elf+='\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0'
    elf+='\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0'
    elf+='\xb8\x01\0\0\0\x31\xdb\xcd\x80'
    printf '%b' "$elf" >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    return $status
}

purpose=${1:-test}
case $purpose in
demo)
    if runs_32bit; then
        more=(wine32:i386 g++-mingw-w64-i686-win32)
        # WINDOWS=winxp64 asks for a 64-bit prefix.
        [ "${WINDOWS:-}" != winxp64 ] || more+=(wine64)
    else
        more=(wine64 g++-mingw-w64-x86-64-win32)
    fi
    # make demo's settings, from the environment: ImageMagick's import and xwininfo to
    # photograph boxes, which the program shows only with DEBUG in its arguments (in any
    # case); pefile to judge a disc's programs, pycdlib to read its image.
    ! grep -qi debug <<<"${ARGS:-}" || more+=(imagemagick x11-utils)
    [ -z "${DISC:-}" ] || more+=(python3-pefile)
    [ ! -f "${DISC:-}" ] || more+=(python3-pycdlib)
    # Missing ones are named in the advice, since the settings that chose them do not follow sudo.
    purpose="" install "${DEMO[@]}" "${more[@]}"
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
