#!/usr/bin/env bash
# Starts Windows programs under Wine and Xvfb for the Python tools, and leaves what happened
# in folders they read; it reads and writes no data of its own.
#   run-windows.sh build
#       the build this host runs, stopping with what to do when it or Wine is missing: four
#       lines, its folder, "yes" or "no" (whether the host runs 32-bit programs), the words
#       that name it, and Wine's version
#   run-windows.sh run PREFIXES NAME ARCH DRIVE_D SECONDS RUN...
#       in the Wine prefix PREFIXES/prefix-NAME (win32 or win64, made once), with the folder
#       DRIVE_D as D:, for each folder RUN: imports RUN/registry.reg, runs the command in
#       RUN/command (one word a line) from C:\ for at most SECONDS, the stand-ins logging to
#       RUN/log, and leaves its exit status in RUN/status (124: the time ran out) and the
#       marker it wrote, if any, as RUN/marker; then prints RUN, so that the caller can tell
#       how far it is
set -euo pipefail
# shellcheck source=wine.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

case ${1:-} in
build)
    hda_need_build
    runs_32bit=yes && [ -n "$HDA_TWIN" ] && runs_32bit=no
    printf '%s\n' "$HDA_BUILD_DIR" "$runs_32bit" "$HDA_BUILD_LABEL" "$(hda_wine --version)"
    ;;
run)
    [ $# -ge 6 ] || hda_die "run needs PREFIXES NAME ARCH DRIVE_D SECONDS RUN..."
    prefixes=$2 name=$3 arch=$4 drive=$5 seconds=$6
    shift 6
    hda_need_build
    hda_start_xvfb
    hda_prefix "$prefixes" "$name" "$arch"
    hda_map_drive D "$drive"
    marker=$WINEPREFIX/drive_c/$HDA_MARKER_NAME
    for run in "$@"; do
        hda_import_reg "$run/registry.reg"
        rm -rf "$marker" "$run/marker"
        mapfile -t command <"$run/command"
        status=0
        : >"$run/log"
        HDA_PACKAGE_MS=0 HDA_HELPER_MS=0 hda_run "$run/log" "$seconds" "${command[@]}" \
            >/dev/null 2>&1 || status=$?
        echo "$status" >"$run/status"
        if [ -f "$marker" ] && [ ! -L "$marker" ]; then cp "$marker" "$run/marker"; fi
        printf '%s\n' "$run"
    done
    hda_stop_wine
    ;;
*) hda_die "usage: run-windows.sh build | run PREFIXES NAME ARCH DRIVE_D SECONDS RUN..." ;;
esac
