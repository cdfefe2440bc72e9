#!/usr/bin/env bash
# Builds hdasetup.exe twice from this source tree, in two folders of different names and
# depths, one after the other with different clock, time zone, locale and umask, and checks
# that both exes have the same SHA-256: what a disc maker relies on to match a disc's exe
# to a commit. Usage: check-reproducible.sh [TOOLCHAIN_FILE [WORK_DIR]]
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
toolchain=${1:-$REPO/cmake/mingw-i686.cmake}
work=${2:-$REPO/build/reproducible}
[ -f "$toolchain" ] || { echo "missing toolchain file $toolchain" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
# The tree as it is, uncommitted changes included, without its builds.
copy_sources() {
    mkdir -p "$1"
    tar -C "$REPO" --exclude=./build --exclude=./.git -cf - . | tar -C "$1" -xf -
}

# build SOURCE BINARY: only the exe, as the win32 preset builds it.
build() {
    cmake -S "$1" -B "$2" --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$2" --target hdasetup -j2 >/dev/null
}

copy_sources "$work/a/src"
(umask 022 && export TZ=UTC LC_ALL=C SOURCE_DATE_EPOCH=0 &&
    build "$work/a/src" "$work/a/src/build/win32")
copy_sources "$work/second-build-folder/hdasetup-sources"
(umask 077 && export TZ=Asia/Tokyo LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=1999999999 &&
    build "$work/second-build-folder/hdasetup-sources" "$work/second-build-folder/out")

one=$work/a/src/build/win32/hdasetup.exe
two=$work/second-build-folder/out/hdasetup.exe
sha256sum "$one" "$two"
if cmp -s "$one" "$two"; then
    echo "the same bytes"
    rm -rf "$work"
    exit 0
fi
echo "FAIL: the two builds differ ($(cmp -l "$one" "$two" | wc -l) bytes); first offsets:"
cmp -l "$one" "$two" | head -8
exit 1
