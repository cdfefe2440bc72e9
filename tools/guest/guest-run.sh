#!/bin/bash
# Runs inside the emulated guest, started by its init from the run disk (/mnt/run): makes
# the Wine prefixes the jobs need on the prefix disk (/var/hda, kept between runs), then
# runs each job of jobs.sh from the repo's files on the run disk, leaving its output and
# exit status in out/ for the host. Lines starting "hda-guest: " are the host's progress
# lines; everything else stays in the console log.
set -u
RUN=/mnt/run OUT=/mnt/run/out REPO=/mnt/run/repo
mkdir -p "$OUT"
hda_say() { echo "hda-guest: $*"; }
source "$REPO/tools/lib/run-job.sh"

export HOME=/root LANG=C.UTF-8 TERM=dumb
export HDA_WIN32_DIR=$REPO/build/win32 HDA_WINE_DIR=/var/hda/wine HDA_DISC_CHECK_DIR=/var/hda/wine
mkdir -p "$HDA_WINE_DIR"
hostname hdasetup-guest 2>/dev/null

# The point of the guest: its kernel runs 32-bit programs, Wine's 32-bit loader among them.
if ! wine_version=$(/usr/lib/wine/wine --version 2>&1); then
    hda_say "error: the guest's 32-bit Wine loader does not run: $wine_version"
    exit 1
fi
ABOUT="the emulated x86-64 guest: Debian $(cat /etc/debian_version), Linux $(uname -r), $wine_version"
hda_say "booted in $(cut -d' ' -f1 /proc/uptime) s: $ABOUT, $(nproc) CPUs, 32-bit programs run"

# guest_prefix NAME ARCH: the prefix the scripts' use_prefix finds ready, made under an X
# display of its own as the scripts make theirs; should making it fail, the jobs try again.
guest_prefix() {
    [ -f "$HDA_WINE_DIR/prefix-$1/.hda-ready" ] && return 0
    hda_say "making the Wine prefix $1 ($2; once, kept on the prefix disk; minutes under emulation)"
    HDA_CALLER=guest run_job "$OUT" "prefix-$1" "the Wine prefix $1" bash -c \
        'source "$0/tools/lib/wine.sh" && hda_start_xvfb && hda_prefix "$1" "$2" "$3"' \
        "$REPO" "$HDA_WINE_DIR" "$1" "$2"
}

# guest_job NAME COMMAND...: runs the command in the repo; out/NAME.log and out/NAME.rc.
guest_job() {
    local name=$1
    shift
    hda_say "$name: running"
    (cd "$REPO" && run_job "$OUT" "$name" "ran in $ABOUT
on $REPO/build/win32/hdasetup.exe, sha256 $(sha256sum "$REPO/build/win32/hdasetup.exe" | cut -d' ' -f1)" "$@")
}

# shellcheck source=/dev/null
source "$RUN/jobs.sh"
touch "$OUT/done"
sync
hda_say "all jobs done; powering off"
