# shellcheck shell=bash
# A disc image (.iso) read the way Windows 2000 and XP read the pressed disc: they take UDF
# where a disc has it, else the Joliet names, else the ISO 9660 names without their version
# suffix; never Rock Ridge. A Linux mount shows the Rock Ridge names, so an image mastered
# without Joliet looks whole there while Windows sees only names cut to 8.3. The reader is
# libarchive's bsdtar, with Rock Ridge switched off; it reads no UDF, so an image with UDF
# is refused rather than checked under names Windows would not see. Sourced by shadow-disc.sh.

# image_file_system IMAGE: udf, joliet or iso9660, the file system Windows 2000 and XP would
# read, from the volume descriptors from sector 16 on; nothing when there is none.
image_file_system() {
    local sector desc iso="" joliet="" udf=""
    for ((sector = 16; sector < 80; sector++)); do
        desc=$(od -An -c -j $((sector * 2048)) -N 6 "$1" 2>/dev/null | tr -d ' \n')
        case $desc in
        001CD001) iso=1 ;;
        # A supplementary descriptor is Joliet's by its UCS-2 escape sequence.
        002CD001) [[ "$(od -An -c -j $((sector * 2048 + 88)) -N 3 "$1" 2>/dev/null | tr -d ' ')" == %/[@CE] ]] && joliet=1 ;;
        *NSR02 | *NSR03) udf=1 ;;
        *CD001 | *BEA01 | *TEA01 | *BOOT2 | *CDW02) ;;
        *) break ;;
        esac
    done
    if [ -n "$udf" ]; then echo udf; elif [ -n "$joliet" ]; then echo joliet; elif [ -n "$iso" ]; then echo iso9660; fi
}

# image_read IMAGE DIR: the image's files under the names Windows 2000 and XP would see, laid
# anew in DIR; IMAGE_FS says which file system that was. Stops with one line on an image it
# cannot read so.
image_read() {
    local fs err
    command -v bsdtar >/dev/null || hda_die "bsdtar, which reads disc images, is missing: run make deps"
    fs=$(image_file_system "$1")
    case $fs in
    udf) hda_die "$1 has a UDF file system, which Windows 2000 and XP read in place of its ISO 9660 names, and bsdtar cannot read UDF: check the folder it was made from" ;;
    joliet) IMAGE_FS="Joliet, the long names Windows 2000 and XP read; Rock Ridge they never read" ;;
    iso9660) IMAGE_FS="ISO 9660 without Joliet, the 8.3 names Windows 2000 and XP read; Rock Ridge, which Linux shows, they never read" ;;
    *) hda_die "$1 holds no ISO 9660 file system: not a CD or DVD image that Windows 2000 or XP reads" ;;
    esac
    rm -rf "$2" && mkdir -p "$2"
    err=$(bsdtar -x -f "$1" -C "$2" --options 'iso9660:!rockridge' 2>&1) ||
        hda_die "bsdtar could not read $1: $(tail -n 1 <<<"$err")"
}

# image_cut_forms DISC RELATIVE_PATH: for a file the image lacks, the names in its folder that
# ISO 9660 would cut its name to when mastered without Joliet (eight characters, the
# extension's first three, a numbered tail where cut names collide: KB888110.EXE for
# KB888111XPSP2.exe), in one line that says what to do; nothing when there are none.
image_cut_forms() {
    local folder name=${2##*/} base ext entry cut common found=""
    folder=$(shadow_find "$1" "$(dirname "$2")") || return 0
    base=${name%.*} ext=""
    [ "$base" == "$name" ] || ext=${name##*.}
    base=${base^^} ext=${ext^^}
    base=${base//[^A-Z0-9_]/_}
    [ ${#base} -gt 8 ] || return 0
    for entry in "$1/$folder"/*; do
        cut=${entry##*/}
        cut=${cut^^}
        [ "${cut#*.}" == "${ext:0:3}" ] || [ -z "$ext" ] || continue
        cut=${cut%%.*}
        [ ${#cut} -eq 8 ] || continue
        common=0
        while [ "${cut:common:1}" == "${base:common:1}" ]; do common=$((common + 1)); done
        [[ "${cut:common}" =~ ^[0-9]*$ ]] && found+=" ${entry##*/}"
    done
    [ -z "$found" ] || echo "the image holds only 8.3 names cut from it,$found; master it with Joliet, whose long names Windows 2000 and XP read"
}
