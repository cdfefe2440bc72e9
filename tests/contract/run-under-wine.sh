#!/usr/bin/env bash
# Runs the host contract tests' Windows build under Wine and Xvfb, in a 32-bit prefix of
# their own: they empty C:\hda-contract and the HD-audio registry key as they please.
# Arguments go to the test program (e.g. --gtest_filter='RegistryContract.*').
set -euo pipefail

if [ -z "${HDA_UNDER_XVFB:-}" ]; then
    export HDA_UNDER_XVFB=1
    exec xvfb-run -a -s "-screen 0 640x480x24" bash "$0" "$@"
fi

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WIN32_DIR=${HDA_WIN32_DIR:-$REPO/build/win32}
WINE_DIR=${HDA_WINE_DIR:-$REPO/build/wine}
EXE=$WIN32_DIR/contract/contract_tests.exe
[ -f "$EXE" ] || { echo "missing $EXE: run 'make' first" >&2; exit 1; }

export WINEDEBUG=-all
export WINEPREFIX=$WINE_DIR/prefix-contract
unset WINEARCH
if [ ! -f "$WINEPREFIX/.hda-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINE_DIR"
    echo "making Wine prefix contract (win32)..."
    WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.hda-ready"
fi
# A server left from another display could not make the tests' windows.
wineserver -k 2>/dev/null || true

status=0
wine "$EXE" "$@" || status=$?
wineserver -k 2>/dev/null || true
exit $status
