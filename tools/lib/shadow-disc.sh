# shellcheck shell=bash disable=SC2034 # the SHADOW_* results are read by the scripts that source this
# Runs hdasetup.exe under Wine on a shadow of a driver disc (laid by tools/py/shadow.py: the
# program and, at exactly the paths it builds, stand-ins for every program it may start), with
# its boxes photographed and answered. Sourced by the demo, the benchmark and the e2e tests.
# Set SHADOW_WORK_DIR first (prefixes, logs, screenshots); the build is wine.sh's choice.

# shellcheck source=wine.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

# shadow_setup WINDOWS_PRESET SHADOW: the Windows version, the shadow as D:, one
# HD-audio function of a known HDMI codec, and no marker left from an earlier run.
shadow_setup() {
    hda_map_drive D "$2"
    hda_reg_file shadow_setup_reg "$1"
    rm -rf "$WINEPREFIX/drive_c/$HDA_MARKER_NAME"
}
shadow_codec_function() { hda_function "${HDA_CODECS[1]}"; }
shadow_setup_reg() {
    hda_version_reg "$1"
    echo
    hda_functions_reg "$(shadow_codec_function)"
}

# shadow_watch_boxes SCREENSHOT_PREFIX PID: while PID runs, photographs each box of the
# program and then has the answerer stand-in read and dismiss it. SHADOW_LOG.shots lists
# the PNG files, SHADOW_LOG.seen when each box was first seen (ns).
shadow_watch_boxes() {
    local prefix=$1 pid=$2 n=0 caption id handled=" "
    while kill -0 "$pid" 2>/dev/null; do
        id=""
        for caption in "${HDA_BOX_CAPTIONS[@]}"; do
            id=$(xwininfo -name "$caption" 2>/dev/null |
                awk '/Window id:/ { id = $4 } /Map State: IsViewable/ { print id }' || true)
            # An answered box can stay mapped for a moment: never take it twice.
            [[ "$handled" == *" $id "* ]] && id=""
            [ -n "$id" ] && break
        done
        [ -n "$id" ] || { sleep 0.1; continue; }
        date +%s%N >>"$SHADOW_LOG.seen"
        sleep 0.3 # the box's text is drawn a moment after the window appears
        n=$((n + 1))
        handled+="$id "
        import -window "$id" "$prefix-$n-$caption.png" 2>/dev/null &&
            echo "$prefix-$n-$caption.png" >>"$SHADOW_LOG.shots"
        hda_run "$SHADOW_LOG" 30 "$(hda_standin answerer)" 1 5000 || true
    done
}

shadow_can_photograph() { command -v import >/dev/null && command -v xwininfo >/dev/null; }

# shadow_run WINDOWS_PATH [OPTIONS...]: runs the program from C:\ with the stand-ins
# logging to SHADOW_LOG; every line is stamped with the wall-clock time it appeared
# (SHADOW_LOG.times). Boxes are photographed when possible and always answered. Sets
# SHADOW_EXIT, SHADOW_START_NS and SHADOW_END_NS.
shadow_run() {
    local program=$1
    shift
    SHADOW_LOG=$SHADOW_WORK_DIR/run.log
    : >"$SHADOW_LOG" && : >"$SHADOW_LOG.times" && : >"$SHADOW_LOG.shots" && : >"$SHADOW_LOG.seen"
    rm -f "$SHADOW_WORK_DIR"/box-*.png
    SHADOW_START_NS=$(date +%s%N)
    HDA_PACKAGE_MS=${HDA_PACKAGE_MS:-2000} HDA_HELPER_MS=${HDA_HELPER_MS:-3000} \
        hda_run "$SHADOW_LOG" 120 "$program" "$@" &
    local pid=$!
    tail -n +1 -s 0.05 -F --pid="$pid" "$SHADOW_LOG" 2>/dev/null |
        while IFS= read -r line; do printf '%s\t%s\n' "$(date +%s%N)" "$line"; done \
            >"$SHADOW_LOG.times" &
    local stamper=$! watcher="" answerer=""
    if shadow_can_photograph; then
        shadow_watch_boxes "$SHADOW_WORK_DIR/box" "$pid" &
        watcher=$!
    else
        hda_run_exec "$SHADOW_LOG" 300 "$(hda_standin answerer)" 2 300000 &
        answerer=$!
    fi
    SHADOW_EXIT=0
    wait "$pid" || SHADOW_EXIT=$?
    SHADOW_END_NS=$(date +%s%N)
    [ -z "$watcher" ] || wait "$watcher" 2>/dev/null || true
    [ -z "$answerer" ] || kill "$answerer" 2>/dev/null || true
    wait "$stamper" 2>/dev/null || true
    wineserver -w
}

# shadow_event_ns EVENT: when the first line of that event appeared (ns), empty if none.
shadow_event_ns() { awk -F'\t' -v e="$1" '$2 == e { print $1; exit }' "$SHADOW_LOG.times"; }
shadow_seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f s", (b - a) / 1e9 }'; }

# hda_py SCRIPT ARGS...: one of tools/py's programs, under Debian's interpreter (the first
# python3 on the PATH may be another one, without Debian's pycdlib and pefile), its messages
# in the caller's name.
hda_py() {
    local script=$1
    shift
    HDA_CALLER=$HDA_CALLER /usr/bin/python3 "$HDA_REPO/tools/py/$script" "$@"
}
