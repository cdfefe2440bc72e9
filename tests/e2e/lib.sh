# shellcheck shell=bash
# Sourced first by the end-to-end scripts that run Wine, which then run under their own Xvfb
# display: the harness, and the Wine runner (tools/lib) with a sample disc of stand-ins. A
# script's line "# prefix: NAME win32|win64" names its prefix, for use_prefix and test-x86.
set -euo pipefail

HDA_CALLER=$(basename "$0" .sh)
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/shadow-disc.sh"
hda_start_xvfb

REPO=$HDA_REPO
WINE_DIR=${HDA_WINE_DIR:-$REPO/build/wine}
SCRATCH=$WINE_DIR/scratch/$HDA_CALLER
hda_need_build

# HDA_TIME_SLACK: a factor for the upper time bounds only, on a slower machine (the emulated
# guest sets it); lower bounds and the order of events are checked as they are.
TIME_SLACK=${HDA_TIME_SLACK:-1}
awk -v k="$TIME_SLACK" 'BEGIN { exit !(k + 0 >= 1) }' ||
    hda_die "HDA_TIME_SLACK=$TIME_SLACK: give a factor of 1 or more"
[ "$TIME_SLACK" == 1 ] ||
    echo "timing: upper time bounds x$TIME_SLACK (HDA_TIME_SLACK: a slower machine); lower bounds and the order of events as usual"

# at_most SECONDS: the upper bound of a time check on this machine.
at_most() { awk -v s="$1" -v k="$TIME_SLACK" 'BEGIN { print s * k }'; }

# needs_32bit_programs: WOW64 needs the 32-bit exe; without it the script ends as skipped.
needs_32bit_programs() {
    if ! hda_host_runs_32bit; then
        echo "skipped: this host runs no 32-bit programs, and a 32-bit program under WOW64 needs them"
        exit 77
    fi
}

# use_prefix: the script's prefix under build/wine, made once and reused.
use_prefix() {
    local -a declared
    read -r -a declared < <(awk '$1 == "#" && $2 == "prefix:" { print $3, $4; exit }' "$0")
    hda_prefix "$WINE_DIR" "${declared[@]}"
}

# lay_disc DIR [PROGRAM_FOLDER [BUILD]]: the sample disc of BUILD's stand-ins (the one this host
# runs unless told), hdasetup.exe in Drivers/Audio unless told.
lay_disc() { hda_py shadow.py "$1" --program "${2:-Drivers/Audio}" --build "${3:-$HDA_BUILD_DIR}" >/dev/null; }

# standard_disc [WINDOWS]: the script's prefix, the sample disc as D:, $PROGRAM on it.
standard_disc() {
    use_prefix
    DISC=$SCRATCH/disc
    lay_disc "$DISC"
    hda_map_drive D "$DISC"
    # shellcheck disable=SC2034 # for the scripts that source this file
    PROGRAM='D:\Drivers\Audio\hdasetup.exe'
    if [ $# -gt 0 ]; then hda_set_windows "$@"; fi
}

LOG="" EXIT_CODE="" ELAPSED=""

# run_program WINDOWS_PATH [OPTIONS...]: runs the program from C:\, the stand-ins logging to
# a fresh $LOG, and checks its exit code, 0 on every path; sets EXIT_CODE and ELAPSED (s). A
# program that never ends (a box nobody answers) fails the test instead of hanging it.
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
    # shellcheck disable=SC2034 # for the scripts that source this file
    ELAPSED=$(awk "BEGIN { printf \"%.1f\", ($end - $start) / 1e9 }")
    check "exit code" 0 "$EXIT_CODE"
}

# run_answered COUNT WINDOWS_PATH [OPTIONS...]: run_program with the answerer dismissing up to
# COUNT boxes, each logged; once the program has ended, no box is left for it.
run_answered() {
    local count=$1 answerer
    shift
    mkdir -p "$SCRATCH"
    hda_run_exec "$SCRATCH/log.txt" 90 "$(hda_standin answerer)" "$count" 60000 &
    answerer=$!
    run_program "$@"
    kill "$answerer" 2>/dev/null || true
    wait "$answerer" 2>/dev/null || true
}

# The last run's log: an event's texts, their count, and each box as "caption|text".
logged() { hda_log "$LOG" "$1" || true; }
count_logged() { hda_log_count "$LOG" "$1"; }
boxes() { awk -F'\t' '$1 == "box" { print $3 "|" $4 }' "$LOG" | tr -d '\r'; }

# set_attributes HEX UNIX_PATH: Windows attributes, set by a Win32 program.
set_attributes() { hda_wine "$(hda_standin attrib)" "$1" "$(hda_winpath "$2")"; }
