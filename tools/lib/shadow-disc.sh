# Runs the project's hdasetup.exe under Wine on a shadow of a driver disc: a folder that holds
# the program and, at exactly the paths the program builds, stand-ins for every program it
# may start, so that nothing from a real disc is ever executed or changed. Sourced by the
# demo, disc-check, the benchmark and the end-to-end tests; bash only, under an X display.
#
# Before the functions are used, set SHADOW_WORK_DIR: where prefixes, the shadow disc, logs
# and screenshots go. The build comes from wine.sh's choice (HDA_BUILD_DIR); SHADOW_EXE, when
# set, is the hdasetup.exe laid in its place (disc-check --exe disc: the disc's own).

# shellcheck source=wine.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

# shadow_base PROGRAM_FOLDER: the folder, relative to the disc root and with a trailing
# slash (empty for the root), where the program looks for the helper. The program cuts
# its own folder after the third backslash from the end, so D:\ and D:\Audio\ stay as they
# are and any deeper folder loses its last two levels.
shadow_base() {
    local -a parts=() all=()
    local part
    IFS=/ read -r -a all <<<"$1"
    for part in "${all[@]}"; do
        [ -n "$part" ] && [ "$part" != "." ] && parts+=("$part")
    done
    local keep=${#parts[@]}
    [ "$keep" -ge 2 ] && keep=$((keep - 2))
    local base="" i
    for ((i = 0; i < keep; i++)); do base+="${parts[i]}/"; done
    printf '%s' "$base"
}

# shadow_folder PROGRAM_FOLDER: the same folder with a trailing slash, empty for the root.
shadow_folder() {
    local base
    base=$(printf '%s' "$1" | sed -e 's#^\(\./\)*##' -e 's#/\./#/#g' -e 's#/*$##')
    [ "$base" == "." ] && base=""
    [ -n "$base" ] && base+=/
    printf '%s' "$base"
}

# shadow_find DISC RELATIVE_PATH: the path as it exists on the disc, found the way
# Windows finds it (case does not matter: a disc image may well say CHIPSET\INSHELP).
shadow_find() {
    local current=$1 part found rel=""
    local -a all=()
    IFS=/ read -r -a all <<<"$2"
    for part in "${all[@]}"; do
        found=$(find "$current" -mindepth 1 -maxdepth 1 -iname "$part" -print -quit 2>/dev/null)
        [ -n "$found" ] || return 1
        current=$found
        rel+=${rel:+/}$(basename "$found")
    done
    printf '%s' "$rel"
}

# shadow_lay SHADOW PROGRAM_FOLDER [DISC]: lays the shadow disc. Without DISC it is the
# sample disc: every program a stand-in and empty INF files. With DISC, a stand-in is put
# only where the disc has the program, and the disc's INF files are copied, so the run
# behaves as it would on the disc; SHADOW_ROWS lists each file as
# "kind|shadow path|disc path or MISSING".
shadow_lay() {
    local shadow=$1 program disc=${3:-}
    program=$(shadow_folder "$2")
    local base
    base=$(shadow_base "$program")
    rm -rf "$shadow"
    mkdir -p "$shadow/$program"
    cp "${SHADOW_EXE:-$HDA_BUILD_DIR/hdasetup.exe}" "$shadow/${program}hdasetup.exe"
    SHADOW_ROWS=()
    local rel
    for rel in "${HDA_PACKAGES[@]}"; do
        shadow_place package "$shadow" "$program$(hda_unix "$rel")" "$disc" standin_package.exe
    done
    for rel in "$HDA_HELPER_32" "$HDA_HELPER_64"; do
        shadow_place helper "$shadow" "$base$(hda_unix "$rel")" "$disc" standin_helper.exe
    done
    for rel in "$HDA_INF_32" "$HDA_INF_64"; do
        shadow_place inf "$shadow" "$base$(hda_unix "$rel")" "$disc" ""
    done
}

shadow_place() {
    local kind=$1 shadow=$2 rel=$3 disc=$4 standin=$5 found=""
    if [ -n "$disc" ]; then
        if ! found=$(shadow_find "$disc" "$rel"); then
            SHADOW_ROWS+=("$kind|$rel|MISSING")
            return
        fi
    fi
    mkdir -p "$(dirname "$shadow/$rel")"
    if [ -n "$standin" ]; then
        cp "$HDA_BUILD_DIR/standins/$standin" "$shadow/$rel"
    elif [ -n "$found" ]; then
        cp -L "$disc/$found" "$shadow/$rel"
    else
        : >"$shadow/$rel"
    fi
    SHADOW_ROWS+=("$kind|$rel|${found:-sample}")
}

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
        if [ -z "$id" ]; then
            sleep 0.1
            continue
        fi
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
    : >"$SHADOW_LOG"
    : >"$SHADOW_LOG.times"
    : >"$SHADOW_LOG.shots"
    : >"$SHADOW_LOG.seen"
    rm -f "$SHADOW_WORK_DIR"/box-*.png
    SHADOW_START_NS=$(date +%s%N)
    HDA_PACKAGE_MS=${HDA_PACKAGE_MS:-2000} HDA_HELPER_MS=${HDA_HELPER_MS:-3000} \
        hda_run "$SHADOW_LOG" 120 "$program" "$@" &
    local pid=$!
    tail -n +1 -s 0.05 -F --pid="$pid" "$SHADOW_LOG" 2>/dev/null |
        while IFS= read -r line; do printf '%s\t%s\n' "$(date +%s%N)" "$line"; done \
            >"$SHADOW_LOG.times" &
    local stamper=$!
    local watcher="" answerer=""
    if shadow_can_photograph; then
        shadow_watch_boxes "$SHADOW_WORK_DIR/box" "$pid" &
        watcher=$!
    else
        hda_run_exec "$SHADOW_LOG" 300 "$(hda_standin answerer)" 2 300000 &
        answerer=$!
    fi
    set +e
    wait "$pid"
    SHADOW_EXIT=$?
    set -e
    SHADOW_END_NS=$(date +%s%N)
    [ -n "$watcher" ] && { wait "$watcher" 2>/dev/null || true; }
    [ -n "$answerer" ] && { kill "$answerer" 2>/dev/null || true; }
    wait "$stamper" 2>/dev/null || true
    wineserver -w
}

# shadow_event_ns EVENT: when the first line of that event appeared (ns), empty if none.
shadow_event_ns() {
    awk -F'\t' -v e="$1" '$2 == e { print $1; exit }' "$SHADOW_LOG.times"
}
shadow_seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f s", (b - a) / 1e9 }'; }
