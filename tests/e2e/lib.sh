# Shared by the end-to-end scripts: a small check-and-count harness over the project's Wine
# runner (tools/lib), which runs the real hdasetup.exe on a sample driver disc made of
# stand-ins. A script sources this first; it then runs under its own Xvfb display.

set -euo pipefail

HDA_CALLER=$(basename "$0" .sh)
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/shadow-disc.sh"
hda_under_xvfb "$0" "$@"

REPO=$HDA_REPO
WINE_DIR=${HDA_WINE_DIR:-$REPO/build/wine}
SCRATCH=$WINE_DIR/scratch/$HDA_CALLER
hda_need_build hdasetup.exe standins/standin_package.exe standins/standin_helper.exe \
    standins/standin_answerer.exe standins/standin_attrib.exe standins/standin_hold.exe \
    standins/osversion.exe

PASSED=0
FAILED=0
SCENARIO=""

# HDA_TIME_SLACK: a factor for the upper time bounds of the checks, on a slower machine (the
# emulated guest of `make test-x86` sets it). Only those bounds move: lower bounds and the
# order of events are checked as they are.
TIME_SLACK=${HDA_TIME_SLACK:-1}
awk -v k="$TIME_SLACK" 'BEGIN { exit !(k + 0 >= 1) }' ||
    hda_die "HDA_TIME_SLACK=$TIME_SLACK: give a factor of 1 or more"
[ "$TIME_SLACK" == 1 ] ||
    echo "timing: upper time bounds x$TIME_SLACK (HDA_TIME_SLACK: a slower machine); lower bounds and the order of events as usual"

# at_most SECONDS: the upper bound of a time check on this machine.
at_most() { awk -v s="$1" -v k="$TIME_SLACK" 'BEGIN { print s * k }'; }

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
    hda_stop_wine
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
}

# needs_32bit_programs: scenarios of a 32-bit program on 64-bit Windows (WOW64) cannot run
# on the x86-64 twin; on such a host the script ends as skipped (CTest's SKIP_RETURN_CODE).
needs_32bit_programs() {
    if ! hda_host_runs_32bit; then
        echo "skipped: this host runs no 32-bit programs, and a 32-bit program under WOW64 needs them"
        exit 77
    fi
}

# use_prefix NAME win32|win64: a prefix under build/wine, made once and reused.
use_prefix() { hda_prefix "$WINE_DIR" "$1" "$2"; }

# lay_disc DIR [PROGRAM_FOLDER]: a driver disc of stand-ins, with hdasetup.exe in
# PROGRAM_FOLDER (Drivers/Audio unless told) and the helper two levels above it.
lay_disc() { shadow_lay "$1" "${2:-Drivers/Audio}"; }

LOG=""
EXIT_CODE=""
ELAPSED=""

# run_program WINDOWS_PATH [OPTIONS...]: runs the program from C:\, the stand-ins logging
# to a fresh $LOG; sets EXIT_CODE and ELAPSED (seconds, as text with 1 decimal). A program
# that never ends (a box nobody answers) fails the test instead of hanging it.
run_program() {
    mkdir -p "$SCRATCH"
    LOG=$SCRATCH/log.txt
    : >"$LOG"
    local start end
    start=$(date +%s%N)
    set +e
    hda_run "$LOG" "${HDA_RUN_TIMEOUT:-120}" "$@"
    EXIT_CODE=$?
    set -e
    end=$(date +%s%N)
    ELAPSED=$(awk "BEGIN { printf \"%.1f\", ($end - $start) / 1e9 }")
}

# What the stand-ins logged in the last run: the text of each line of an event,
# how many there were, and each box the answerer saw as "caption|text".
logged() { hda_log "$LOG" "$1" || true; }
count_logged() { hda_log_count "$LOG" "$1"; }
boxes() { awk -F'\t' '$1 == "box" { print $3 "|" $4 }' "$LOG" | tr -d '\r'; }

# set_attributes HEX UNIX_PATH: Windows attributes, set by a Win32 program.
set_attributes() { hda_wine "$(hda_standin attrib)" "$1" "$(hda_winpath "$2")"; }

# start_answerer COUNT: reads and dismisses COUNT message boxes in the background.
start_answerer() {
    hda_run_exec "$LOG" 90 "$(hda_standin answerer)" "$1" 60000 &
    ANSWERER_PID=$!
}
