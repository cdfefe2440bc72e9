# shellcheck shell=bash
# The Wine runner's decisions, checked without starting Wine: which build runs with which loader
# (a stand-in `wine` records any call: where no 32-bit program runs, the wrapper would pick the
# 32-bit loader, which the kernel refuses), and when a prefix counts as made.
set -euo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
FAKE=$(mktemp -d)
trap 'rm -rf "$FAKE"' EXIT
printf '#!/bin/sh\necho called >>"%s/calls"\nexit ${FAKE_STATUS:-126}\n' "$FAKE" >"$FAKE/wine"
chmod +x "$FAKE/wine"
source "$REPO/tests/e2e/harness.sh"

# decide OVERRIDE [LOADER]: what the runner chose as it was sourced, as "BUILD_DIR|COMMAND|
# TWIN LINE", then what it says when Wine is first needed (nothing, once it has chosen).
decide() {
    env -u HDA_TWIN_SAID -u HDA_WIN32_DIR -u HDA_WIN64_DIR PATH="$FAKE:$PATH" \
        HDA_HOST_RUNS_32BIT="$1" HDA_WINE32_LOADER="${2:-/usr/lib/wine/wine}" \
        HDA_WINE64_LOADER="${3:-/usr/lib/wine/wine64}" bash -c '
        source "$0/tools/lib/wine.sh" >"$1/said" 2>&1
        printf "%s|%s|%s" "${HDA_BUILD_DIR#$0/}" "${HDA_WINE[*]}" "$(cat "$1/said")"
        hda_wine --version >/dev/null' "$REPO" "$FAKE" 2>&1
}

TWIN="build/win64|/usr/lib/wine/wine64|[probe] this host runs no 32-bit programs: testing the x86-64 build of the same sources"
check "no 32-bit programs: the twin, the 64-bit loader, said once" "$TWIN" "$(HDA_CALLER=probe decide no)"
check "the wrapper was never called there" "" "$(cat "$FAKE/calls" 2>/dev/null)"
check "32-bit programs: the real exe through the wrapper, nothing said" "build/win32|wine|" \
    "$(HDA_CALLER=probe decide yes)"
check "an unknown override stops with what to use" 2 \
    "$(HDA_HOST_RUNS_32BIT=maybe bash -c 'source "$0/tools/lib/wine.sh"' "$REPO" >/dev/null 2>&1; echo $?)"
check "no Wine: nothing chosen or said of the host, and where Wine is needed, what to do" \
    "||probe: Wine is not installed: run make deps, or make demo, which installs it" \
    "$(HDA_CALLER=probe decide "" "$FAKE/absent" "$FAKE/absent")"
check "Wine without its 32-bit part: the twin, said" "$TWIN" "$(HDA_CALLER=probe decide "" "$FAKE/absent")"
check "Wine that refuses 32-bit programs: the twin, said" "$TWIN" "$(HDA_CALLER=probe decide "" "$FAKE/wine")"
check "Wine that runs them: the real exe, nothing said" "build/win32|wine|" \
    "$(HDA_CALLER=probe FAKE_STATUS=0 decide "" "$FAKE/wine")"
probe=no
/usr/lib/wine/wine --version >/dev/null 2>&1 && probe=yes
check "unset, the probe asks the 32-bit loader" "$probe" \
    "$(env -u HDA_HOST_RUNS_32BIT bash -c 'source "$0/tools/lib/wine.sh" >/dev/null; [ -z "$HDA_TWIN" ] && echo yes || echo no' "$REPO")"

# A first start that gives up on the prefix's boot (Wine's 5 minutes), the boot going on and any
# start failing until it ends: the prefix is made all the same, marked after the boot's end.
printf '#!/bin/sh\n[ "$1" != wineboot ] || { mkdir -p "$WINEPREFIX"; touch "$WINEPREFIX/booting"; (sleep 1; touch "$WINEPREFIX/booted"; rm "$WINEPREFIX/booting") & exit 53; }\n[ ! -f "$WINEPREFIX/booting" ]\n' >"$FAKE/wine"
printf '#!/bin/sh\n[ "$1" != -w ] || while [ -f "$WINEPREFIX/booting" ]; do sleep 0.1; done\n' >"$FAKE/wineserver" && chmod +x "$FAKE/wineserver"
check "a first start that gave up on the boot: the prefix made, marked after the boot" ".hda-ready booted" \
    "$(PATH="$FAKE:$PATH" HDA_HOST_RUNS_32BIT=yes bash -c 'source "$0/tools/lib/wine.sh" && hda_prefix "$1" slow win32 2>/dev/null && ls -A "$WINEPREFIX" | paste -sd " "' "$REPO" "$FAKE")"
finish
