# shellcheck shell=bash
# The emulated x86-64 guest, for what a host that runs no 32-bit programs cannot run (the real
# 32-bit exe, WOW64): Debian's Wine in qemu-system-x86_64, software emulation. Sourced by
# tools/test-x86 and tools/disc-check. Three disks: the root image, built once by
# tools/guest/build-image.sh, cached under a hash of that script (HDA_GUEST_CACHE, else
# ~/.cache/hdasetup-guest) and opened with snapshot=on, so no run changes it; a prefix disk
# under build/x86guest keeping the guest's Wine prefixes; and a run disk, made afresh with
# mke2fs -d, carrying scripts and build in and results out (read back with debugfs).

# shellcheck source=wine.sh
[ -n "${HDA_REPO:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

GUEST_SCRIPT=$HDA_REPO/tools/guest/build-image.sh
GUEST_CACHE=${HDA_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/hdasetup-guest}
GUEST_QEMU=${HDA_GUEST_QEMU:-qemu-system-x86_64}
GUEST_WORK=${HDA_GUEST_WORK:-$HDA_REPO/build/x86guest}
GUEST_WIN32_DIR=${HDA_WIN32_DIR:-$HDA_REPO/build/win32}
# Upper time bounds in the scenarios are multiplied by this there (see tests/e2e/lib.sh):
# each Wine start costs 10 to 15 s more under emulation, so a run that returns at once on
# the host (bound 3 s) took 12.9 s there, and one that waits 5 s took 22 s.
GUEST_TIME_SLACK=${HDA_GUEST_TIME_SLACK:-10}

guest_key() { sha256sum "$GUEST_SCRIPT" | cut -c1-16; }
GUEST_DIR=$GUEST_CACHE/$(guest_key)

guest_seconds() { echo $(($(date +%s) - $1)); }

# guest_tools: qemu (and, when the guest is still to be built, debootstrap) installed when
# missing, as root; otherwise what to install and how.
guest_tools() {
    local -a missing=()
    command -v "$GUEST_QEMU" >/dev/null || missing+=(qemu-system-x86)
    [ -f "$GUEST_DIR/root.img" ] || command -v debootstrap >/dev/null ||
        [ -x /usr/sbin/debootstrap ] || missing+=(debootstrap)
    command -v debugfs >/dev/null || [ -x /usr/sbin/debugfs ] || missing+=(e2fsprogs)
    [ ${#missing[@]} -eq 0 ] || "$HDA_REPO/tools/install-deps.sh" "${missing[@]}" >&2 ||
        hda_die "the emulated guest needs ${missing[*]}: qemu-system-x86 runs it, debootstrap builds it"
}

# guest_mirror: the Debian archive the guest is built from: HDA_GUEST_MIRROR, else the one
# this host's apt uses, else Debian's own.
guest_mirror() {
    local m=${HDA_GUEST_MIRROR:-}
    [ -z "$m" ] && [ -f /etc/apt/sources.list.d/debian.sources ] &&
        m=$(awk '/^URIs:/ && $2 !~ /security/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
    [ -z "$m" ] && [ -f /etc/apt/sources.list ] &&
        m=$(awk '$1 == "deb" && $0 !~ /security/ { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' /etc/apt/sources.list)
    echo "${m:-http://deb.debian.org/debian}"
}

# guest_image: the cached guest, built first when this version of the build script has none.
guest_image() {
    mkdir -p "$GUEST_WORK"
    if [ -f "$GUEST_DIR/root.img" ]; then
        hda_say "the guest: reusing $GUEST_DIR ($(head -n 1 "$GUEST_DIR/guest.txt"))"
        return 0
    fi
    [ "$(id -u)" -eq 0 ] ||
        hda_die "the emulated guest is not built yet ($GUEST_DIR), and building it needs root once (debootstrap, chroot): run 'sudo make test-x86'"
    guest_lock "$GUEST_CACHE/.lock" "another run is building the guest"
    if [ ! -f "$GUEST_DIR/root.img" ]; then
        local mirror start
        mirror=$(guest_mirror)
        if command -v wget >/dev/null &&
            ! wget -q -T 20 -t 2 --spider "$mirror/dists/bookworm/Release"; then
            hda_die "the Debian package archive $mirror cannot be reached (no $mirror/dists/bookworm/Release), so the guest cannot be built: check the network, or set HDA_GUEST_MIRROR to a Debian mirror this host reaches"
        fi
        start=$(date +%s)
        hda_say "building the guest (once for this version of tools/guest/build-image.sh; about 6 minutes, longer on a busy machine) in $GUEST_DIR"
        bash "$GUEST_SCRIPT" "$GUEST_DIR" "$mirror" || exit 2
        hda_say "the guest is built ($(guest_seconds "$start") s): $(head -n 1 "$GUEST_DIR/guest.txt")"
        local other
        for other in "$GUEST_CACHE"/*/; do
            [ "${other%/}" == "$GUEST_DIR" ] && continue
            [ -f "$other/root.img" ] &&
                hda_say "note: $other holds a guest of another version of the build script ($(du -sh "$other" | cut -f1)); remove it when no clone needs it"
        done
    fi
    guest_unlock
}

# guest_lock FILE WHY: FILE's lock, held on descriptor 9 until guest_unlock; while another run
# holds it, says WHY and waits.
guest_lock() {
    mkdir -p "$(dirname "$1")"
    exec 9>"$1"
    flock -n 9 || { hda_say "$2; waiting for it"; flock 9; }
}
guest_unlock() { flock -u 9; exec 9>&-; }

# guest_manifest: "SOURCE<TAB>PATH IN THE GUEST'S REPO" for each file a run carries in: the
# scripts, and the 32-bit build with its stand-ins and the disc facts it wrote.
guest_manifest() {
    local f
    for f in "$HDA_REPO"/tests/e2e/*.sh "$HDA_REPO"/tools/lib/*.sh "$HDA_REPO"/tools/py/*.py \
        "$HDA_REPO"/tools/guest/guest-run.sh; do
        [ "$f" == "$HDA_REPO/tools/lib/guest.sh" ] && continue # the host's side only
        printf '%s\t%s\n' "$f" "${f#"$HDA_REPO"/}"
    done
    for f in "$GUEST_WIN32_DIR"/hdasetup.exe "$GUEST_WIN32_DIR"/disc-facts.* \
        "$GUEST_WIN32_DIR"/standins/*; do
        printf '%s\t%s\n' "$f" "build/win32/${f#"$GUEST_WIN32_DIR"/}"
    done
}

# guest_stamp: one hash over what a run carries in, so results are never taken for those of
# another build or other scripts.
guest_stamp() {
    local src dest
    guest_manifest | while IFS=$'\t' read -r src dest; do
        printf '%s  %s\n' "$(sha256sum <"$src" | cut -d' ' -f1)" "$dest"
    done | sha256sum | cut -d' ' -f1
}

# guest_need_build: the 32-bit build that the guest runs.
guest_need_build() { hda_need_build "$GUEST_WIN32_DIR"; }

# guest_run RESULTS_DIR < JOBS: the guest, installed and built first when missing, boots
# with the repo's files (and what the folder GUEST_CARRY holds, if set, in out/) and runs the
# jobs read from standard input (calls of guest_prefix and guest_job, see
# tools/guest/guest-run.sh); what they left in out/ goes to RESULTS_DIR. Prints the guest's
# progress lines as they come. Fails when it did not run every job.
guest_run() {
    local run=$GUEST_WORK/run results=$1 src dest start
    guest_tools
    guest_image
    guest_lock "$GUEST_WORK/.lock" "another run of this clone uses its guest disks"
    rm -rf "$run"
    mkdir -p "$run/repo" "$run/out"
    guest_manifest | while IFS=$'\t' read -r src dest; do
        mkdir -p "$run/repo/$(dirname "$dest")"
        cp "$src" "$run/repo/$dest"
    done
    cp "$HDA_REPO/tools/guest/guest-run.sh" "$run/guest-run.sh"
    [ -z "${GUEST_CARRY:-}" ] || cp -r "$GUEST_CARRY/." "$run/out/"
    {
        echo "export HDA_TIME_SLACK=$GUEST_TIME_SLACK"
        cat
    } >"$run/jobs.sh"

    # The guest's Wine prefixes belong to its version of Wine: a new guest, a new disk.
    local prefixes=$GUEST_WORK/prefixes-${GUEST_DIR##*/}.img
    if [ ! -f "$prefixes" ]; then
        rm -f "$GUEST_WORK"/prefixes-*.img
        mke2fs -q -t ext4 -L hda-prefixes "$prefixes" 8G >/dev/null ||
            hda_die "mke2fs could not make the prefix disk $prefixes"
    fi
    rm -f "$GUEST_WORK/run.img"
    mke2fs -q -t ext4 -L hda-run -d "$run" "$GUEST_WORK/run.img" 512M >/dev/null ||
        hda_die "mke2fs could not make the run disk from $run"

    local console=$GUEST_WORK/console.log limit=${HDA_GUEST_TIMEOUT:-3600}
    hda_say "booting the guest (qemu-system-x86_64, software emulation, 2 CPUs; its console in ${console#"$HDA_REPO"/})"
    start=$(date +%s)
    # shellcheck disable=SC2054 # the commas are qemu's, inside single arguments
    local -a qemu=("$GUEST_QEMU" -accel tcg,thread=multi -cpu Nehalem -smp 2
        -m "${HDA_GUEST_MEMORY:-4096}" -nodefaults -display none -monitor none -serial stdio
        -no-reboot -kernel "$GUEST_DIR/vmlinuz" -initrd "$GUEST_DIR/initrd.img"
        -append "root=/dev/vda rw console=ttyS0 init=/sbin/hda-init quiet panic=1"
        -drive "file=$GUEST_DIR/root.img,format=raw,if=virtio,snapshot=on"
        -drive "file=$prefixes,format=raw,if=virtio"
        -drive "file=$GUEST_WORK/run.img,format=raw,if=virtio")
    set +e
    : >"$console"
    # Line by line, as the guest writes them: a filter such as tr would hold them back.
    timeout "$limit" "${qemu[@]}" </dev/null 2>&1 |
        while IFS= read -r line; do
            line=${line%$'\r'}
            printf '%s\n' "$line" >>"$console"
            case $line in "hda-guest: "*) hda_say "${line#hda-guest: }" ;; esac
        done
    local status=${PIPESTATUS[0]}
    set -e
    if [ "$status" -eq 124 ]; then
        hda_say "the guest was stopped after $limit s (HDA_GUEST_TIMEOUT)"
    elif [ "$status" -ne 0 ]; then
        hda_say "qemu ended with status $status:"
        grep -v '^hda-guest: ' "$console" | tail -n 5 | sed 's/^/    /'
    fi
    mkdir -p "$results"
    local dump=$GUEST_WORK/dump
    rm -rf "$dump"
    mkdir -p "$dump"
    debugfs -R "rdump /out $dump" "$GUEST_WORK/run.img" >/dev/null 2>&1 || true
    cp -r "$dump/out/." "$results/" 2>/dev/null || true
    rm -rf "$dump"
    guest_unlock
    if [ ! -f "$results/done" ]; then
        hda_say "the guest did not finish its jobs ($(guest_seconds "$start") s): see $console"
        return 1
    fi
    hda_say "the guest has finished ($(guest_seconds "$start") s from boot to power-off)"
}
