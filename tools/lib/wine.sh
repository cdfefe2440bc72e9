# shellcheck shell=bash
# The one Wine runner for tests and tools: an X display, which build this host can run and
# how to start Wine for it, prefixes, the Windows version and the HD-audio functions a
# prefix reports, running a program with a time limit, and reading the stand-ins' log.
# Sourced (bash); the sourcing script may set HDA_CALLER, the name its messages carry.
# Two kinds of host: one that runs 32-bit x86 programs runs the real 32-bit hdasetup.exe
# (build/win32) with Debian's wine wrapper, as on any Windows; one whose kernel refuses
# them ("Exec format error") runs the x86-64 twin of the same sources (build/win64) with
# the 64-bit loader in 64-bit prefixes. HDA_HOST_RUNS_32BIT=yes|no overrides the probe.

HDA_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
HDA_CALLER=${HDA_CALLER:-$(basename "$0" .sh)}
# The 32-bit loader is what the probe asks; e2e.probe points both at fakes.
HDA_WINE32_LOADER=${HDA_WINE32_LOADER:-/usr/lib/wine/wine}
HDA_WINE64_LOADER=${HDA_WINE64_LOADER:-/usr/lib/wine/wine64}
# shellcheck source=disc-facts.sh
source "$HDA_REPO/tools/lib/disc-facts.sh"

# What a script says of its progress, and its last word on a failure: both on standard error,
# so that whatever it writes to standard output (a table, a report) stays clean.
hda_say() { echo "[$HDA_CALLER] $*" >&2; }
hda_die() {
    echo "$HDA_CALLER: $*" >&2
    exit 2
}

# hda_start_xvfb: a virtual X display of this script's own, started once on a free display
# number (Xvfb picks it and says which with -displayfd), exported as DISPLAY and stopped when
# the script exits. Wine's window functions need a display, and a wineserver started
# without one stays without one. A script with an EXIT trap of its own calls hda_stop_xvfb
# from it. -noreset: Xvfb would otherwise reset whenever its last client leaves, as happens
# between two Wine sessions, cutting off a client that is connecting at that moment.
HDA_XVFB_PID=""
hda_start_xvfb() {
    [ -z "$HDA_XVFB_PID" ] || return 0
    command -v Xvfb >/dev/null || hda_die "Xvfb is not installed: run tools/install-deps.sh as root"
    local dir number=""
    dir=$(mktemp -d "${TMPDIR:-/tmp}/hda-xvfb-XXXXXX")
    mkfifo "$dir/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$dir/display" >"$dir/log" 2>&1 &
    HDA_XVFB_PID=$!
    trap hda_stop_xvfb EXIT
    # The read blocks until Xvfb has its display, or gets nothing when Xvfb ends first.
    read -r -t 30 number <"$dir/display" || true
    [ -n "$number" ] || {
        tail -n 3 "$dir/log" >&2
        rm -rf "$dir"
        hda_die "Xvfb did not start (above)"
    }
    rm -rf "$dir"
    export DISPLAY=:$number
}
hda_stop_xvfb() {
    [ -n "$HDA_XVFB_PID" ] || return 0
    kill "$HDA_XVFB_PID" 2>/dev/null || true
    wait "$HDA_XVFB_PID" 2>/dev/null || true
    HDA_XVFB_PID=""
}

# Said wherever the host's kind is needed and cannot be told: without Wine's 32-bit loader
# there is nothing to ask, and its absence says nothing about the host.
HDA_NO_WINE="Wine is not installed: run make deps, or make demo, which installs it"

# hda_host_known: whether the host's kind can be told now (an override, or Wine installed).
# Wine without its 32-bit part, as make deps-demo leaves it where the kernel refuses 32-bit
# programs, runs none either: the probe's answer is the same.
hda_host_known() {
    [ -n "${HDA_HOST_RUNS_32BIT:-}" ] || [ -e "$HDA_WINE32_LOADER" ] || [ -e "$HDA_WINE64_LOADER" ]
}

# hda_host_runs_32bit: whether this host runs 32-bit x86 programs, the 32-bit Wine loader
# among them; stops with what to do when Wine is not installed.
hda_host_runs_32bit() {
    case ${HDA_HOST_RUNS_32BIT:-} in
    yes) return 0 ;;
    no) return 1 ;;
    "")
        hda_host_known || hda_die "$HDA_NO_WINE"
        "$HDA_WINE32_LOADER" --version >/dev/null 2>&1
        ;;
    *) hda_die "HDA_HOST_RUNS_32BIT=$HDA_HOST_RUNS_32BIT: use yes, no, or leave it unset" ;;
    esac
}

# hda_choose_build: the decision, made once per script: HDA_BUILD_DIR (hdasetup.exe,
# standins/, contract/), HDA_WINE (the command that runs a Windows program) and
# HDA_BUILD_LABEL for reports.
hda_choose_build() {
    if hda_host_runs_32bit; then
        HDA_TWIN=""
        HDA_BUILD_DIR=${HDA_WIN32_DIR:-$HDA_REPO/build/win32}
        HDA_WINE=(wine)
        HDA_BUILD_LABEL="the 32-bit hdasetup.exe (${HDA_BUILD_DIR#"$HDA_REPO"/})"
    else
        HDA_TWIN="this host runs no 32-bit programs: testing the x86-64 build of the same sources"
        HDA_BUILD_DIR=${HDA_WIN64_DIR:-$HDA_REPO/build/win64}
        # Debian's wine wrapper would pick the 32-bit loader, which the kernel refuses.
        HDA_WINE=("$HDA_WINE64_LOADER")
        export WINELOADER=$HDA_WINE64_LOADER
        # shellcheck disable=SC2034 # for the scripts that source this file
        HDA_BUILD_LABEL="the x86-64 twin of hdasetup.exe (${HDA_BUILD_DIR#"$HDA_REPO"/}; this host runs no 32-bit programs)"
        if [ -z "${HDA_TWIN_SAID:-}" ]; then
            export HDA_TWIN_SAID=1
            hda_say "$HDA_TWIN"
        fi
    fi
    HDA_BUILD_CHOSEN=1
    # The disc's facts come with the build; before it is built they are not there yet.
    [ -f "$HDA_BUILD_DIR/disc-facts.sh" ] && hda_load_disc_facts "$HDA_BUILD_DIR/disc-facts.sh"
    return 0
}
hda_build_chosen() { [ -n "${HDA_BUILD_CHOSEN:-}" ] || hda_choose_build; }

# Decided as the script starts when the host can be told; a script that sources this before
# the install step (the demo) decides after it, and every other use below decides first.
HDA_BUILD_CHOSEN=""
hda_host_known && hda_choose_build
export WINEDEBUG=-all
unset WINEARCH

hda_wine() {
    hda_build_chosen
    "${HDA_WINE[@]}" "$@"
}

# hda_need_build [DIR [LIST]]: stops with what to do when a build lacks hdasetup.exe, its disc
# facts or one of the stand-ins that the facts' LIST names (HDA_STANDINS, all of them, unless
# told); without DIR (or with ""), the chosen build, and Wine too.
hda_need_build() {
    hda_build_chosen
    local dir=${1:-$HDA_BUILD_DIR} file
    [ -f "$dir/disc-facts.sh" ] ||
        hda_die "$dir/disc-facts.sh is missing: build it first with 'make' in $HDA_REPO"
    hda_load_disc_facts "$dir/disc-facts.sh"
    local -n standins=${2:-HDA_STANDINS}
    for file in hdasetup "${standins[@]/#/standins/standin_}"; do
        [ -f "$dir/$file.exe" ] ||
            hda_die "$dir/$file.exe is missing: build it first with 'make' in $HDA_REPO"
    done
    [ -n "${1:-}" ] || [ -x "${HDA_WINE[0]}" ] || command -v "${HDA_WINE[0]}" >/dev/null ||
        hda_die "$HDA_NO_WINE (${HDA_WINE[0]} is missing)"
}

hda_winpath() { printf 'Z:%s' "${1//\//\\}"; }
hda_standin() { hda_winpath "$HDA_BUILD_DIR/standins/standin_$1.exe"; }

# hda_wine_failed WHAT LOG: one message naming what failed, Wine's own last words and
# what to do, then the script stops.
hda_wine_failed() {
    local advice="Remove the prefix $WINEPREFIX to have it made again, and check that tools/install-deps.sh has installed Wine completely."
    [ -z "${DISPLAY:-}" ] && advice="There is no X display: install xvfb (tools/install-deps.sh)."
    grep -qi 'exec format error' "$2" 2>/dev/null &&
        advice="The kernel refuses 32-bit programs: unset HDA_HOST_RUNS_32BIT (or set it to no) so that the x86-64 build runs under $HDA_WINE64_LOADER."
    { [ -s "$2" ] && tail -n 5 "$2" | sed 's/^/    /'; } >&2
    hda_stop_wine
    hda_die "Wine could not $1. $advice"
}

# hda_prefix WORK_DIR NAME win32|win64: the Wine prefix WORK_DIR/prefix-NAME, made once and
# reused; exports WINEPREFIX. For the x86-64 twin every prefix is 64-bit, in a folder of
# its own, so the two kinds never share a prefix. A prefix counts as made only once its
# wineserver has ended and saved the registry (.hda-ready); one without that mark (its
# making killed or failed, the machine stopped) is made again.
hda_prefix() {
    local dir name=$2 arch=$3
    dir=$(realpath -m "$1") # Wine takes only an absolute WINEPREFIX
    hda_build_chosen
    [ -n "$HDA_TWIN" ] && arch=win64 name+=-x64
    export WINEPREFIX=$dir/prefix-$name
    # Whatever still runs in the prefix stops first: a server left from another X display
    # could show no boxes on this one, and the processes of an unfinished making would go on
    # writing into the folder while it is removed.
    hda_stop_wine
    if [ ! -f "$WINEPREFIX/.hda-ready" ]; then
        hda_say "making the Wine prefix $WINEPREFIX ($arch, once; about 10 s)"
        rm -rf "$WINEPREFIX" || hda_die "could not remove the unfinished prefix $WINEPREFIX"
        mkdir -p "$dir"
        local log=$dir/wineboot-$name.log
        # The first start in a new prefix waits at most 5 minutes for the prefix's first boot
        # (a limit inside Wine), then goes on without it, and fails ("could not load
        # kernel32.dll") when the boot has not yet installed that: the boot took longer in the
        # emulated guest on a busy machine. What counts is that the boot ends (the server ends
        # with it) and that a start after it works.
        WINEARCH=$arch WINEDLLOVERRIDES="mscoree,mshtml=" hda_wine wineboot -i >"$log" 2>&1 || true
        wineserver -w
        # Without a window manager, each answered box would linger for two seconds.
        hda_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1 ||
            hda_wine_failed "make the prefix $WINEPREFIX" "$log"
        wineserver -w
        touch "$WINEPREFIX/.hda-ready"
    fi
}

# hda_stop_wine: the prefix's wineserver and every process of it ended (-k asks them to go,
# -w waits until the server has).
hda_stop_wine() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

# hda_import_reg FILE: a REGEDIT4 file, lines without line ends, imported in one Wine
# start (each `reg` call would cost one).
# The first import into a fresh prefix failed once in a fresh clone's test run, with nothing
# said and not again in a row of retries: a second try, and its words kept for the message.
hda_import_reg() {
    sed -i 's/$/\r/' "$1"
    local log=$WINEPREFIX.regedit.log
    hda_wine regedit /S "$(hda_winpath "$1")" >"$log" 2>&1 ||
        { wineserver -w 2>/dev/null; hda_wine regedit /S "$(hda_winpath "$1")" >>"$log" 2>&1; } ||
        hda_wine_failed "import $1 with regedit" "$log"
}

# hda_version_reg PRESET | hda_version_reg MAJOR.MINOR BUILD TEXT: the registry lines that
# make Wine report a version: one of its named versions (win2k, winxp, win2003, winxp64,
# nt40, win98, win7...), or with no named version an exact record, which Wine then builds
# from HKLM's CurrentVersion key.
hda_version_reg() {
    echo '[HKEY_CURRENT_USER\Software\Wine]'
    if [ $# -eq 1 ]; then
        echo "\"Version\"=\"$1\""
        return
    fi
    echo '"Version"=-'
    echo
    echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion]'
    echo "\"CurrentVersion\"=\"$1\""
    echo "\"CurrentBuildNumber\"=\"$2\""
    echo "\"CSDVersion\"=\"$3\""
    printf '"CurrentMajorVersionNumber"=dword:%08x\n' "${1%%.*}"
    printf '"CurrentMinorVersionNumber"=dword:%08x\n' "${1##*.}"
}

# hda_functions_reg [SUBKEY...]: the lines that leave the HDAUDIO key holding exactly these
# functions, in order; with "--no-key" alone, no HDAUDIO key at all.
hda_functions_reg() {
    local key=HKEY_LOCAL_MACHINE\\$HDA_HDAUDIO_KEY k
    echo "[-$key]"
    [ "${1:-}" == --no-key ] && return
    echo
    echo "[$key]"
    for k in "$@"; do
        echo
        echo "[$key\\$k]"
    done
}

# hda_set_windows VERSION... and hda_set_functions SUBKEY...: each in one import.
hda_set_windows() { hda_reg_file hda_version_reg "$@"; }
hda_set_functions() { hda_reg_file hda_functions_reg "$@"; }
hda_reg_file() {
    local file
    file=$(mktemp "${TMPDIR:-/tmp}/hda-XXXXXX.reg")
    { echo REGEDIT4; echo; "$@"; } >"$file"
    hda_import_reg "$file"
    rm -f "$file"
}

# hda_map_drive LETTER DIR: DIR becomes LETTER:\ in the prefix.
hda_map_drive() { ln -sfn "$2" "$WINEPREFIX/dosdevices/${1,,}:"; }

# hda_run LOG SECONDS PROGRAM [ARGS...]: runs a Windows program from C:\ of the prefix,
# the stand-ins logging to LOG, ended after SECONDS; returns its exit code (124 when the
# time ran out). hda_run_exec does the same in place of the calling shell: started with
# "&", its $! is the program's own time limit, and killing that ends the program.
hda_run() { (hda_run_exec "$@"); }
hda_run_exec() {
    local log=$1 seconds=$2
    shift 2
    hda_build_chosen
    cd "$WINEPREFIX/drive_c" || exit 2
    HDA_LOG=$(hda_winpath "$log") exec timeout "$seconds" "${HDA_WINE[@]}" "$@"
}

# hda_os_version: "PLATFORM MAJOR MINOR BUILD<TAB>TEXT", the record GetVersionExA gives a
# program of this build in the prefix.
hda_os_version() {
    hda_wine "$(hda_standin osversion)" | tr -d '\r'
}

# The stand-ins' log: one line per event, "EVENT<TAB>TICK<TAB>TEXT[<TAB>MORE]".
# hda_log LOG EVENT [FIELD]: that field (3, the text, unless told) of each line of EVENT;
# fails when there is no such line, so a check or a figure never takes "" for a value.
hda_log() {
    awk -F'\t' -v e="$2" -v f="${3:-3}" '
        { gsub(/\r/, "") }
        $1 == e { print $f; n++ }
        END { exit !n }' "$1"
}
hda_log_first() { hda_log "$@" | head -n 1; }
hda_log_count() { awk -F'\t' -v e="$2" '$1 == e { n++ } END { print n + 0 }' "$1"; }
