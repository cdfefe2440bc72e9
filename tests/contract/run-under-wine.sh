#!/usr/bin/env bash
# Runs the host contract tests' Windows build under Wine and Xvfb, in a prefix of their own:
# they empty C:\hda-contract and the HD-audio registry key as they please. On a host that
# runs no 32-bit programs they run as the x86-64 build, in a 64-bit prefix.
# Arguments go to the test program (e.g. --gtest_filter='RegistryContract.*').
set -euo pipefail
HDA_CALLER=contract
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/wine.sh"
hda_start_xvfb
hda_need_build
[ -f "$HDA_BUILD_DIR/contract/contract_tests.exe" ] ||
    hda_die "$HDA_BUILD_DIR/contract/contract_tests.exe is missing: build it first with 'make' in $HDA_REPO"

hda_prefix "${HDA_WINE_DIR:-$HDA_REPO/build/wine}" contract win32
status=0
hda_wine "$(hda_winpath "$HDA_BUILD_DIR/contract/contract_tests.exe")" "$@" || status=$?
hda_stop_wine
exit $status
