# shellcheck shell=bash
# tools/disc-check on sample discs and their images: a complete disc passes, a disc that lacks
# one package fails with exactly that Windows marked, the head tells the project's build from
# a changed one, --exe disc runs the disc's own exe, an image is read with the names Windows
# reads, and bad inputs give clear errors. disc-check makes its prefixes where the other
# scripts keep theirs:
# prefix: win32 win32
# prefix: win64 win64
source "$(dirname "$0")/lib.sh"

CHECK=$REPO/tools/disc-check
export HDA_DISC_CHECK_DIR=$WINE_DIR # the same cached prefixes as the other scripts
mkdir -p "$SCRATCH"
rm -f "$WINE_DIR/runs.facts" # read back within this script only: each run of it runs the program
DISC=$SCRATCH/disc
OUT=$SCRATCH/table.txt

# run_check ARGS...: sets STATUS, OUT holds the table, ERR the messages.
run_check() {
    set +e
    "$CHECK" "$@" >"$OUT" 2>"$SCRATCH/err.txt"
    STATUS=$?
    set -e
    ERR=$(cat "$SCRATCH/err.txt")
}
rows() { grep -cE '^.\s+Windows .* (1095:1390|1095:1392|17E8:0047|none) ' "$OUT" || true; }
# XP x64 needs the 32-bit exe under WOW64: a host that runs no 32-bit programs leaves it out.
WINDOWS_RUN=8
hda_host_runs_32bit || WINDOWS_RUN=7
marked() { grep '^!' "$OUT" | awk -F'  +' '{ print $2 }' | sort -u | tr '\n' ',' ; }
image() { xorriso -as mkisofs "$@" -o "$SCRATCH/disc.iso" "$DISC" 2>/dev/null && IMAGE_SUM=$(sha256sum <"$SCRATCH/disc.iso"); }

scenario "bad inputs: status 2 and one line that says what is wrong"
mkdir -p "$DISC"
cp "${HDA_WIN64_DIR:-$REPO/build/win64}/hdasetup.exe" "$SCRATCH/HDASETUP.EXE" # the twin, not the product
for vrs in 16:BEA01 17:NSR02 18:TEA01; do # the volume recognition sequence of a UDF image
    printf '\0%s\1' "${vrs#*:}" | dd of="$SCRATCH/udf.iso" bs=2048 seek="${vrs%:*}" conv=notrunc status=none
done
while IFS='|' read -r what args said; do
    [ "$what" == "an x86-64 hdasetup.exe" ] && cp "$SCRATCH/HDASETUP.EXE" "$DISC/"
    # shellcheck disable=SC2086 # the arguments are words
    run_check $args
    check "$what" "2 1 1" "$STATUS $(wc -l <<<"$ERR") $(grep -c "$said" <<<"$ERR")"
done <<TABLE
missing disc|$SCRATCH/no-such-disc --program Drivers/Audio|does not exist
program outside the disc|$DISC --program ../elsewhere|outside the disc
absolute program folder|$DISC --program /abs/path|outside the disc
unknown format|$DISC --program . --format pdf|unknown format
an image with UDF|$SCRATCH/udf.iso --program .|cannot read UDF
a file that is no disc image|$SCRATCH/HDASETUP.EXE --program .|holds no ISO 9660 file system
no hdasetup.exe|$DISC --program .|has no hdasetup.exe
an x86-64 hdasetup.exe|$DISC --program .|is not a 32-bit Windows GUI program
TABLE
rm "$DISC/HDASETUP.EXE"
HDA_WIN32_DIR=$SCRATCH/no-build HDA_WIN64_DIR=$SCRATCH/no-build run_check "$DISC" --program .
check "missing build: status, says how to build" "2 1" "$STATUS $(grep -c "make" <<<"$ERR")"

scenario "a complete disc"
lay_disc "$DISC"
PRODUCT=${HDA_WIN32_DIR:-$REPO/build/win32}/hdasetup.exe
cp "$PRODUCT" "$DISC/Drivers/Audio/hdasetup.exe" # on either kind of host, the 32-bit product
disc_sums() { find "$DISC" -type f -exec sha256sum {} + | sort; }
SUMS=$(disc_sums)
run_check "$DISC" --program Drivers/Audio
check "status" 0 "$STATUS"
version=$(sed -n 's/^project(hdasetup VERSION \([0-9.]*\).*/\1/p' "$REPO/CMakeLists.txt")
check_true "the head reads the disc's version resource" \
    grep -q "^disc's hdasetup.exe .*, FileVersion $version, ProductVersion $version$" "$OUT"
check_true "the head: the same build" grep -qxE " +same build" "$OUT"
check "$WINDOWS_RUN Windows x 4 codec set-ups" $((WINDOWS_RUN * 4)) "$(rows)"
check "nothing marked" "" "$(marked)"
check "one progress line per Windows run" $WINDOWS_RUN "$(grep -c ': ok$' <<<"$ERR")"
check_true "XP SP1 starts its own package" grep -qF "${HDA_PACKAGE_XPSP1##*\\}$HDA_QUIET" \
    <<<"$(grep 'Windows XP SP1 ' "$OUT")"
if hda_host_runs_32bit; then
    check_true "XP x64 starts ins64.exe with the winxp64 INF" grep -qF "D:\\$HDA_HELPER_64 D:\\$HDA_INF_64" \
        <<<"$(grep 'Windows XP x64 ' "$OUT")"
else
    check_true "XP x64 shown as not run, for lack of 32-bit programs" \
        grep -q 'Windows XP x64 .*not run on this host (needs 32-bit programs)' "$OUT"
    check_true "its progress line says so" grep -q 'Windows XP x64: not run on this host' <<<"$ERR"
fi
check "the disc was not changed" "$SUMS" "$(disc_sums)"
FOLDER_ROWS=$(grep -E '^.\s+Windows' "$OUT")

scenario "its images, read as Windows 2000 and XP read them"
while IFS='|' read -r what options status marked same fs; do
    # shellcheck disable=SC2086 # the options are words
    image $options
    run_check "$SCRATCH/disc.iso" --program Drivers/Audio
    [ "$FOLDER_ROWS" == "$(grep -E '^.\s+Windows' "$OUT")" ] && same_rows=yes || same_rows=no
    check "$what: status, marked, the folder's rows, file system read, the image unchanged" \
        "$status $marked $same 1 $IMAGE_SUM" \
        "$STATUS $(marked) $same_rows $(grep -c "^disc image .*, read as $fs" "$OUT") $(sha256sum <"$SCRATCH/disc.iso")"
done <<TABLE
Joliet|-J -R|0||yes|Joliet, the long names
Joliet, without the XP SP1 package|-J -R -m KB888111XPSP1.exe|1|Windows XP SP1,|no|Joliet
TABLE

scenario "a disc without the XP SP1 package, its exe one byte off the build"
rm "$DISC/Drivers/Audio/$(hda_unix "$HDA_PACKAGE_XPSP1")"
# In the DOS stub's message: the exe still runs as the build does.
printf X | dd of="$DISC/Drivers/Audio/hdasetup.exe" bs=1 seek=80 conv=notrunc status=none
run_check "$DISC" --program Drivers/Audio --format markdown
check "status" 1 "$STATUS"
check_true "the head: differs" grep -q '^- differs' "$OUT"
check "only XP SP1 marked" "| Windows XP SP1 |" "$(grep '^| ! ' "$OUT" | cut -d'|' -f3 | sort -u | sed 's/^/|/; s/$/|/')"
check "its four rows" 4 "$(grep -c '^| ! | Windows XP SP1 .*MISSING' "$OUT")"
check_true "progress names it" grep -q "Windows XP SP1: would start a file the disc lacks" <<<"$ERR"

scenario "its image without Joliet (Rock Ridge only), read with its 8.3 names"
image -R
EXE=project
hda_host_runs_32bit && EXE=disc # on a host that runs its 32-bit exe, that exe runs here
run_check "$SCRATCH/disc.iso" --program Drivers/Audio --exe $EXE
check "status, every row marked, the image unchanged" "1 $((WINDOWS_RUN * 4)) $IMAGE_SUM" \
    "$STATUS $(grep -c '^!' "$OUT") $(sha256sum <"$SCRATCH/disc.iso")"
check_true "the head names the cut files" \
    grep -q 'XPSP2.exe is not there: the image holds only 8.3 names cut from it, .*KB88811[0-9].EXE' "$OUT"
check_true "the program ran from the folders as the image names them" grep -qF 'D:\DRIVERS\AUDIO\Win2K_XP' "$OUT"
if hda_host_runs_32bit; then
    check_true "the shadow held the disc's exe (--exe disc)" cmp -s "$WINE_DIR/shadow/DRIVERS/AUDIO/hdasetup.exe" \
        "$DISC/Drivers/Audio/hdasetup.exe"
else
    echo "skipped: running the disc's 32-bit exe needs a host that runs 32-bit programs"
    run_check "$DISC" --program Drivers/Audio --exe disc
    check "--exe disc refused here: status, one line" "2 1" "$STATUS $(wc -l <<<"$ERR")"
fi

finish
