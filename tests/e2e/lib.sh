# Shared by the end-to-end scripts: Wine prefixes, a sample driver disc made of stand-ins,
# running the real hdasetup.exe, and a small check-and-count harness.
# A script sources this first; it then runs under its own Xvfb display.

set -euo pipefail

if [ -z "${HDA_UNDER_XVFB:-}" ]; then
    export HDA_UNDER_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WIN32_DIR=${HDA_WIN32_DIR:-$REPO/build/win32}
WINE_DIR=${HDA_WINE_DIR:-$REPO/build/wine}
SCRATCH=$WINE_DIR/scratch/$(basename "$0" .sh)
export WINEDEBUG=-all
unset WINEARCH

for f in hdasetup.exe standins/standin_package.exe standins/standin_helper.exe \
         standins/standin_answerer.exe standins/standin_attrib.exe; do
    [ -f "$WIN32_DIR/$f" ] || { echo "missing $WIN32_DIR/$f: run 'make' first" >&2; exit 1; }
done

PASSED=0
FAILED=0
SCENARIO=""

scenario() {
    SCENARIO=$1
    echo "--- $SCENARIO"
}

pass() { PASSED=$((PASSED + 1)); echo "ok:   $SCENARIO: $1"; }
fail() { FAILED=$((FAILED + 1)); echo "FAIL: $SCENARIO: $1"; }

# check DESCRIPTION EXPECTED ACTUAL
check() {
    if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}

# check_true DESCRIPTION COMMAND...
check_true() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

finish() {
    stop_wine
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
}

# use_prefix NAME win32|win64: a prefix under build/wine, made once and reused.
use_prefix() {
    SHADOW_WORK_DIR=$WINE_DIR shadow_prefix "$1" "$2"
}

stop_wine() {
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
}

# winpath UNIX_PATH: the same path as Wine's Z: drive shows it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# set_version PRESET: one of Wine's named versions (win2k, winxp, win2003, winxp64...).
set_version() {
    wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
}

# set_exact_version "5.1" BUILD "SERVICE PACK TEXT": the record Wine builds from the
# registry when no named version is set.
set_exact_version() {
    local major=${1%%.*} minor=${1##*.}
    wine reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1 || true
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
    wine reg add "$key" /v CurrentVersion /d "$1" /f >/dev/null 2>&1
    wine reg add "$key" /v CurrentBuildNumber /d "$2" /f >/dev/null 2>&1
    wine reg add "$key" /v CSDVersion /d "$3" /f >/dev/null 2>&1
    wine reg add "$key" /v CurrentMajorVersionNumber /t REG_DWORD /d "$major" /f >/dev/null 2>&1
    wine reg add "$key" /v CurrentMinorVersionNumber /t REG_DWORD /d "$minor" /f >/dev/null 2>&1
}

HDA_KEY='HKLM\SYSTEM\CurrentControlSet\Enum\HDAUDIO'

# set_functions [SUBKEY...]: the HD-audio functions Windows has enumerated, in order.
set_functions() {
    wine reg delete "$HDA_KEY" /f >/dev/null 2>&1 || true
    wine reg add "$HDA_KEY" /f >/dev/null 2>&1
    local k
    for k in "$@"; do
        wine reg add "$HDA_KEY\\$k" /f >/dev/null 2>&1
    done
}

no_hda_key() { wine reg delete "$HDA_KEY" /f >/dev/null 2>&1 || true; }

# lay_disc DIR [PROGRAM_FOLDER]: a driver disc of stand-ins, with hdasetup.exe in
# PROGRAM_FOLDER (Drivers/Audio unless told) and the helper two levels above it.
SHADOW_WIN32_DIR=$WIN32_DIR
source "$REPO/tools/lib/shadow-disc.sh"
lay_disc() {
    shadow_lay "$1" "${2:-Drivers/Audio}"
}

# map_drive LETTER DIR: DIR becomes LETTER:\ in the prefix.
map_drive() {
    ln -sfn "$2" "$WINEPREFIX/dosdevices/${1,,}:"
}

LOG=""
EXIT_CODE=""
ELAPSED=""

# run_program WINDOWS_PATH [OPTIONS...]: runs the program from C:\, the stand-ins logging
# to a fresh $LOG; sets EXIT_CODE and ELAPSED (seconds, as text with 1 decimal).
run_program() {
    local program=$1
    shift
    mkdir -p "$SCRATCH"
    LOG=$SCRATCH/log.txt
    : > "$LOG"
    local start end
    start=$(date +%s%N)
    set +e
    # A program that never ends (a box nobody answers) fails the test instead of hanging it.
    (cd "$WINEPREFIX/drive_c" && HDA_LOG=$(winpath "$LOG") timeout "${HDA_RUN_TIMEOUT:-120}" wine "$program" "$@")
    EXIT_CODE=$?
    set -e
    end=$(date +%s%N)
    ELAPSED=$(awk "BEGIN { printf \"%.1f\", ($end - $start) / 1e9 }")
}

# logged EVENT: the text of each line of $LOG with that event, one per line.
logged() { awk -F'\t' -v e="$1" '$1 == e { print $3 }' "$LOG" | tr -d '\r'; }
logged_tick() { awk -F'\t' -v e="$1" '$1 == e { print $2; exit }' "$LOG"; }
count_logged() { awk -F'\t' -v e="$1" '$1 == e { n++ } END { print n + 0 }' "$LOG"; }

# boxes: each box the answerer saw, as "caption|text", one per line.
boxes() { awk -F'\t' '$1 == "box" { print $3 "|" $4 }' "$LOG" | tr -d '\r'; }

# set_attributes HEX UNIX_PATH: Windows attributes, set by a Win32 program.
set_attributes() {
    wine "$(winpath "$WIN32_DIR/standins/standin_attrib.exe")" "$1" "$(winpath "$2")"
}

# start_answerer COUNT: reads and dismisses COUNT message boxes in the background.
start_answerer() {
    (cd "$WINEPREFIX/drive_c" && HDA_LOG=$(winpath "$LOG") \
        wine "$(winpath "$WIN32_DIR/standins/standin_answerer.exe")" "$1" 60000) &
    ANSWERER_PID=$!
}
