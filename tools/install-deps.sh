#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12, and nothing when it is all there:
# MinGW-w64 (i686, and x86-64 for the twin build), Wine with its 32-bit part, Xvfb, clang 14
# with libFuzzer, the Japanese locale for the code page 932 tests, and the disc-image tools. Safe to run again.
# With PACKAGE... given, those Debian packages instead (the emulated guest's tools).
set -euo pipefail

packages=(cmake g++ make libgtest-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
          wine wine32:i386 wine64 xvfb xauth locales e2fsprogs clang-14 libclang-rt-14-dev
          imagemagick x11-utils # the demo's screenshots of the program's boxes
          libarchive-tools xorriso) # disc images: bsdtar reads them, xorriso makes the tests' own
[ $# -eq 0 ] || packages=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
need_locale=0
[ $# -gt 0 ] || locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || need_locale=1

if [ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    [ $need_locale -eq 1 ] && missing+=("the ja_JP.UTF-8 locale")
    echo "install-deps: missing: ${missing[*]}" >&2
    echo "install-deps: run 'sudo tools/install-deps.sh' (or 'make test' as root) to install them." >&2
    exit 1
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ $need_locale -eq 1 ]; then
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo "ja_JP.UTF-8 UTF-8" >> /etc/locale.gen
    locale-gen >/dev/null
fi
