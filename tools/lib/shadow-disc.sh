# shellcheck shell=bash
# Runs hdasetup.exe under Wine on a shadow of a driver disc: the program and, at exactly the
# paths it builds, stand-ins for every program it may start, so nothing from a real disc is
# ever executed or changed. Sourced by the demo, disc-check, the benchmark and the e2e tests.
# Set SHADOW_WORK_DIR first (prefixes, shadow disc, logs, screenshots); the build is wine.sh's
# choice, and SHADOW_EXE, when set, the hdasetup.exe laid instead (disc-check --exe disc).

# shellcheck source=wine.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine.sh"
# shellcheck source=disc-image.sh
source "$(dirname "${BASH_SOURCE[0]}")/disc-image.sh"

# shadow_folders PROGRAM_FOLDER: SHADOW_FOLDER, the folder relative to the disc root with a
# trailing slash ("" for the root), and SHADOW_BASE, where the program looks for the helper.
# The program cuts its own folder after the third backslash from the end, so D:\ and
# D:\Audio\ stay as they are and any deeper folder loses its last two levels.
shadow_folders() {
    local -a all=() parts=()
    local part i
    IFS=/ read -r -a all <<<"$1"
    for part in "${all[@]}"; do
        [ -n "$part" ] && [ "$part" != "." ] && parts+=("$part")
    done
    SHADOW_FOLDER="" SHADOW_BASE=""
    for i in "${!parts[@]}"; do
        SHADOW_FOLDER+="${parts[i]}/"
        [ "$i" -lt $((${#parts[@]} - 2)) ] && SHADOW_BASE+="${parts[i]}/"
    done
    [ ${#parts[@]} -eq 1 ] && SHADOW_BASE=$SHADOW_FOLDER
    return 0
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
        rel+=${rel:+/}${found##*/}
    done
    printf '%s' "$rel"
}

# shadow_disc_args DISC PROGRAM_FOLDER [IMAGE_DIR]: checks a disc and the program's folder on
# it as the demo and disc-check take them, and stops with what is wrong; sets SHADOW_DISC (the
# disc's real path) and SHADOW_PROGRAM (the folder as it is on the disc, relative, "" for the
# root). A DISC that is a file is an image, read into IMAGE_DIR as Windows would read it:
# SHADOW_DISC is then that folder, SHADOW_IMAGE the image's real path and IMAGE_FS its
# file system (SHADOW_IMAGE is "" for a folder).
shadow_disc_args() {
    SHADOW_IMAGE=""
    if [ -f "$1" ]; then
        image_read "$1" "$3"
        SHADOW_IMAGE=$(realpath "$1")
        set -- "$3" "$2"
    fi
    [ -d "$1" ] || hda_die "the disc folder '$1' does not exist (give the root folder of a driver disc, or its image)"
    SHADOW_DISC=$(cd "$1" && pwd -P)
    local target
    case $2 in
    /*) target=$(realpath -m "$2") ;;
    *) target=$(realpath -m "$SHADOW_DISC/$2") ;;
    esac
    [ "$target" == "$SHADOW_DISC" ] || [[ "$target" == "$SHADOW_DISC/"* ]] ||
        hda_die "the program folder '$2' is outside the disc '${SHADOW_IMAGE:-$SHADOW_DISC}' (give a folder on the disc, e.g. Drivers/Audio)"
    SHADOW_PROGRAM=${target#"$SHADOW_DISC"}
    SHADOW_PROGRAM=${SHADOW_PROGRAM#/}
    [ -z "$SHADOW_PROGRAM" ] || SHADOW_PROGRAM=$(shadow_find "$SHADOW_DISC" "$SHADOW_PROGRAM") ||
        hda_die "the program folder '$2': there is no such folder on the disc '${SHADOW_IMAGE:-$SHADOW_DISC}'"
}

# shadow_needed PROGRAM_FOLDER: each file the program may start or name, one
# "kind|path relative to the disc|its stand-in" a line.
shadow_needed() {
    shadow_folders "$1"
    local rel
    for rel in "${HDA_PACKAGES[@]}"; do echo "package|$SHADOW_FOLDER$(hda_unix "$rel")|standin_package.exe"; done
    for rel in "$HDA_HELPER_32" "$HDA_HELPER_64"; do echo "helper|$SHADOW_BASE$(hda_unix "$rel")|standin_helper.exe"; done
    for rel in "$HDA_INF_32" "$HDA_INF_64"; do echo "inf|$SHADOW_BASE$(hda_unix "$rel")|"; done
}

# shadow_lay SHADOW PROGRAM_FOLDER [DISC]: lays the shadow disc. Without DISC it is the
# sample disc: every program a stand-in and empty INF files. With DISC, a stand-in is put
# only where the disc has the program, and the disc's INF files are copied, so the run
# behaves as it would on the disc; SHADOW_ROWS lists each file as
# "kind|shadow path|disc path or MISSING".
shadow_lay() {
    local shadow=$1 disc=${3:-}
    shadow_folders "$2"
    local program=$SHADOW_FOLDER
    rm -rf "$shadow"
    mkdir -p "$shadow/$program"
    cp "${SHADOW_EXE:-$HDA_BUILD_DIR/hdasetup.exe}" "$shadow/${program}hdasetup.exe"
    SHADOW_ROWS=()
    local kind rel standin
    while IFS='|' read -r kind rel standin; do
        shadow_place "$kind" "$shadow" "$rel" "$disc" "$standin"
    done < <(shadow_needed "$2")
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
