#!/usr/bin/env bash
# `make demo`: hdasetup.exe's silent run under Wine on a sample driver disc, or on a shadow
# of your own disc, with a short report of what it saw, started, waited for and wrote.
#
#   make demo                                     sample disc, -S, Windows XP
#   make demo ARGS="-S DEBUG"                     answers the two debug boxes, saves PNGs
#   make demo DISC=/media/cdrom PROGRAM=Drivers/Audio   your disc, which is never run or changed
#   make demo DISC=disc.iso                       its image, read as that Windows reads it
#   make demo WINDOWS=win2k                       another of Wine's versions (winxp64: 64-bit)
# The same names work from the environment: ARGS=... tools/demo.sh
set -euo pipefail

# shellcheck disable=SC2034 # read by lib/shadow-disc.sh and lib/wine.sh
HDA_CALLER=demo
# shellcheck source=lib/shadow-disc.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/shadow-disc.sh"
REPO=$HDA_REPO
DEMO_DIR=$REPO/build/demo
ARGS=${ARGS:--S}
DISC=${DISC:-}
PROGRAM=${PROGRAM:-Drivers/Audio}
WINDOWS=${WINDOWS:-winxp}

case $WINDOWS in
win2k | winxp | win2003 | winxp64 | nt40 | win95 | win98 | winme | win7 | win10) ;;
*) hda_die "WINDOWS=$WINDOWS: use one of win2k winxp win2003 winxp64 nt40 win95 win98 winme win7 win10" ;;
esac
# Asked only once the host's kind is known: on a fresh machine, after the install step.
check_windows() {
    [ "$WINDOWS" == winxp64 ] && [ -n "$HDA_TWIN" ] &&
        hda_die "WINDOWS=winxp64 runs the 32-bit program under WOW64, and this host runs no 32-bit programs; choose another Windows"
    return 0
}
[ -n "$HDA_BUILD_CHOSEN" ] && check_windows

# make_step MAKE_ARGS...: one step of the build, its output in build/demo/build.log.
make_step() {
    if ! make -C "$REPO" --no-print-directory "$@" >>"$DEMO_DIR/build.log" 2>&1; then
        tail -n 20 "$DEMO_DIR/build.log" >&2
        hda_die "'make $*' failed; see $DEMO_DIR/build.log"
    fi
}

mkdir -p "$DEMO_DIR"
: >"$DEMO_DIR/build.log"
build=""
if [ -z "${HDA_WIN32_DIR:-}${HDA_WIN64_DIR:-}" ]; then
    hda_say "installing what the demo runs, if missing (make deps-demo; log in build/demo/build.log)"
    make_step deps-demo
    # Only what runs here: the unit and contract tests, and the other build, would
    # double a first demo's wait.
    hda_build_chosen
    build=win32
    [ -n "$HDA_TWIN" ] && build=win64
fi
hda_build_chosen
check_windows
# The disc and the program's folder on it, as the shadow will take them (an image read as the
# chosen Windows reads it), before anything is built: only once make deps-demo has installed
# what reads them (the exe reader for any disc, the image reader for an image).
[ -z "$DISC" ] || hda_py shadow.py "$DEMO_DIR/shadow" --check --build "$DEMO_DIR" --disc "$DISC" \
    --program "$PROGRAM" --windows "$WINDOWS" --work "$DEMO_DIR" || exit 2
hda_say "starting a virtual X display (Xvfb)"
hda_start_xvfb

# A first run makes its prefix while the build runs: each takes a good part of the wait.
builder=""
if [ -n "$build" ]; then
    hda_say "building ${build}'s hdasetup.exe and the stand-ins the demo runs (make demo-build; log in build/demo/build.log)"
    make_step demo-build DEMO_BUILD="$build" &
    builder=$!
    # Stopped early (the prefix failed), the demo still leaves no build running behind it.
    trap 'if [ -n "$builder" ]; then wait "$builder" 2>/dev/null || true; fi; hda_stop_xvfb' EXIT
fi
arch=win32 && [ "$WINDOWS" == "winxp64" ] && arch=win64
hda_prefix "$DEMO_DIR" "$WINDOWS-$arch" "$arch"
[ -z "$builder" ] || { wait "$builder" || exit 2; builder=""; }

hda_need_build "" HDA_DEMO_STANDINS
# shellcheck disable=SC2034 # read by lib/shadow-disc.sh and lib/wine.sh
SHADOW_WORK_DIR=$DEMO_DIR

SHADOW=$DEMO_DIR/disc
what="a sample driver disc under build/demo/disc: stand-ins for its programs and INF files"
[ -n "$DISC" ] && SHADOW=$DEMO_DIR/shadow &&
    what="a shadow of $DISC under build/demo/shadow: stand-ins for every program, the disc's INF files copied"
hda_say "laying $what"
# The program's path in the shadow, the disc as it was read, then each file the disc lacks.
hda_py shadow.py "$SHADOW" --build "$HDA_BUILD_DIR" --program "$PROGRAM" \
    ${DISC:+--disc "$DISC" --windows "$WINDOWS" --work "$DEMO_DIR"} >"$DEMO_DIR/laid.txt" || exit 2
{ read -r WIN_PROGRAM && read -r DISC_SHOWN && MISSING=$(cat); } <"$DEMO_DIR/laid.txt"

hda_say "Wine prefix ${WINEPREFIX#"$REPO"/}: Windows version '$WINDOWS', the disc as D:, one HD-audio function"
shadow_setup "$WINDOWS" "$SHADOW"
IFS=$'\t' read -r os_numbers os_text < <(hda_os_version)
read -r os_platform os_major os_minor os_build <<<"$os_numbers"

hda_say "running $WIN_PROGRAM $ARGS (the package takes ${HDA_PACKAGE_MS:-2000} ms, the helper's window stays ${HDA_HELPER_MS:-3000} ms)"
# ARGS is split into words as a shell would, and the program sees them joined by blanks.
# shellcheck disable=SC2086
shadow_run "$WIN_PROGRAM" $ARGS

# --- the report ---------------------------------------------------------------------------
row() { printf '  %-10s %s\n' "$1" "$2"; }
more() { printf '  %-10s %s\n' "" "$1"; }

echo
echo "hdasetup demo: what the program did"
row program "$WIN_PROGRAM $ARGS"
more "$HDA_BUILD_LABEL"
[ -n "$DISC" ] && more "D: is a shadow (build/demo/shadow) of $DISC_SHOWN; nothing on the disc was run or changed"
[ -n "$DISC" ] || more "D: is the sample disc (build/demo/disc)"

build=$os_build
[ "$os_platform" == 1 ] && build=$((os_build & 0xFFFF))
row Windows "the prefix reports platform $os_platform, version $os_major.$os_minor, build $build, service pack \"$os_text\" (Wine's '$WINDOWS')"
package=$(hda_log_first "$SHADOW_LOG" package-start || true)
h_start=$(shadow_event_ns helper-start) # also when no package started: a disc that lacks it
case $package in
*"$HDA_PACKAGE_SRVRTM"*) seen="Windows Server 2003 or XP x64 (5.2)" ;;
*"$HDA_PACKAGE_XPSP1"*) seen="Windows XP with Service Pack 1" ;;
*"$HDA_PACKAGE_XPSP2"*) seen="Windows XP without Service Pack 1" ;;
*"$HDA_PACKAGE_W2KSP4"*) seen="Windows 2000, or a version it does not classify" ;;
*) seen="" ;;
esac
[ -n "$seen" ] && more "the program took it for $seen, by the package it chose"

if [ -n "$package" ]; then
    row package "$package"
    p_start=$(shadow_event_ns package-start)
    p_end=$(shadow_event_ns package-end)
    if [ -n "$p_end" ]; then
        # The program goes on with a debug box, the helper, or the marker, whichever is first.
        next=$(printf '%s\n' "$(head -n 1 "$SHADOW_LOG.seen")" "$h_start" "$SHADOW_END_NS" |
            awk 'NF && (min == "" || $1 < min) { min = $1 } END { print min }')
        more "ran $(shadow_seconds "$p_start" "$p_end"); the program waited $(shadow_seconds "$p_start" "$next") for it and went on $(shadow_seconds "$p_end" "$next") after it ended"
    else
        more "still running when the program ended (an interactive run does not wait)"
    fi
else
    row package "none started (see the missing files below)"
fi

row "HD audio" "registered: HDAUDIO\\$(shadow_codec_function)"
helper=$(hda_log_first "$SHADOW_LOG" helper-start || true)
if [ -n "$helper" ]; then
    row helper "$helper"
    h_end=$(shadow_event_ns helper-end)
    more "window \"$(hda_log_first "$SHADOW_LOG" helper-window || true)\" open $(shadow_seconds "$h_start" "${h_end:-$SHADOW_END_NS}"); the program waited $(shadow_seconds "$h_start" "$SHADOW_END_NS") for it (it looks every 2 s)"
else
    row helper "none started"
fi

while IFS='|' read -r _ caption text; do
    row box "\"$caption\": $text"
done < <(awk -F'\t' '$1 == "box" { print $2 "|" $3 "|" $4 }' "$SHADOW_LOG" | tr -d '\r')
if [ -s "$SHADOW_LOG.shots" ]; then
    while read -r shot; do more "screenshot: ${shot#"$REPO"/}"; done <"$SHADOW_LOG.shots"
elif grep -q '^box' "$SHADOW_LOG" && shadow_can_photograph; then
    more "no screenshots: ImageMagick's 'import' could not photograph the boxes"
elif grep -q '^box' "$SHADOW_LOG"; then
    more "no screenshots: ImageMagick's 'import' or 'xwininfo' is missing (run 'sudo tools/install-deps.sh imagemagick x11-utils')"
fi

marker=$WINEPREFIX/drive_c/$HDA_MARKER_NAME
if [ -f "$marker" ]; then
    row marker "C:\\$HDA_MARKER_NAME, $(stat -c %s "$marker") bytes:"
    od -An -tx1 -w20 -v "$marker" | while read -r hex; do more "$hex"; done
    more "\"$(cat "$marker")\""
else
    row marker "C:\\$HDA_MARKER_NAME not written"
fi
row "exit code" "$SHADOW_EXIT, after $(shadow_seconds "$SHADOW_START_NS" "$SHADOW_END_NS")"

if [ -n "$DISC" ]; then
    echo
    [ -z "$MISSING" ] && echo "the disc has every file the program may start or name" ||
        printf '%s\n%s\n' "not on the disc (the program would name or start these; the shadow lacks them too):" "$MISSING"
fi
exit 0
