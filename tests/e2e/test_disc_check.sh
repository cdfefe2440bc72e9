# shellcheck shell=bash
# tools/disc-check on sample discs and their images: a complete disc passes, a disc that lacks
# one package fails with exactly that Windows marked, the head tells the project's build from
# a changed one, --exe disc runs the disc's own exe, an image is read in the namespace Windows
# reads, two checks at once never mix, and bad inputs give clear errors. The checks are read
# from the record each check leaves (record.json), the table's formatting being report.py's and
# its own tests'. disc-check makes its prefixes where the other scripts keep theirs:
# prefix: win32 win32
# prefix: win64 win64
source "$(dirname "$0")/lib.sh"

CHECK=$REPO/tools/disc-check
export HDA_DISC_CHECK_DIR=$WINE_DIR # the same cached prefixes as the other scripts
SCRATCH=$WINE_DIR-disc-check # the discs: disc-check refuses one inside its work folder
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
# record PYTHON_EXPRESSION: the expression on the last check's record r, e.g. record 'len(r["rows"])'.
record() { /usr/bin/python3 -c 'import json, sys; r = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$WINE_DIR/record.json" "$1"; }
ran_rows() { record 'sum(x["ran"] for x in r["rows"])'; }
marked() { record '",".join(sorted({x["windows"] for x in r["rows"] if x["missing"]}))'; }
# XP x64 needs the 32-bit exe under WOW64: a host that runs no 32-bit programs leaves it out.
WINDOWS_RUN=8
hda_host_runs_32bit || WINDOWS_RUN=7
image() { "$@" -quiet -o "$SCRATCH/disc.iso" "$DISC" 2>/dev/null && IMAGE_SUM=$(sha256sum <"$SCRATCH/disc.iso"); }

scenario "bad inputs: status 2 and one line that says what is wrong"
mkdir -p "$DISC" "$WINE_DIR/inside"
cp "${HDA_WIN64_DIR:-$REPO/build/win64}/hdasetup.exe" "$SCRATCH/HDASETUP.EXE" # the twin, not the product
while IFS='|' read -r what args said; do
    [ "$what" == "an x86-64 hdasetup.exe" ] && cp "$SCRATCH/HDASETUP.EXE" "$DISC/"
    # shellcheck disable=SC2086 # the arguments are words
    run_check $args
    check "$what" "2 1 1" "$STATUS $(wc -l <<<"$ERR") $(grep -c "$said" <<<"$ERR")"
done <<TABLE
missing disc|$SCRATCH/no-such-disc --program Drivers/Audio|does not exist
program outside the disc|$DISC --program ../elsewhere|outside the disc
unknown format|$DISC --program . --format pdf|unknown format
a file that is no disc image|$SCRATCH/HDASETUP.EXE --program .|is not an ISO 9660 image that can be read: .*volume descriptor
a disc inside the work folder|$WINE_DIR/inside --program .|lies inside disc-check's work folder
no hdasetup.exe|$DISC --program .|has no hdasetup.exe
an x86-64 hdasetup.exe|$DISC --program .|is not a 32-bit Windows GUI program: it is a file of format pei-x86-64
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
run_check "$DISC" --program drivers/AUDIO
check "status" 0 "$STATUS"
version=$(sed -n 's/^project(hdasetup VERSION \([0-9.]*\).*/\1/p' "$REPO/CMakeLists.txt")
check "the head: the disc's exe as found, its version resource, the same build" \
    "Drivers/Audio/hdasetup.exe $version $version same build" \
    "$(record '" ".join([r["exes"][0]["path"], r["exes"][0]["file_version"], r["exes"][0]["product_version"], r["same_build"]])')"
check "$WINDOWS_RUN Windows x 4 codec set-ups run" $((WINDOWS_RUN * 4)) "$(ran_rows)"
check "nothing marked" "" "$(marked)"
check "one progress line per Windows run" $WINDOWS_RUN "$(grep -c ': ok$' <<<"$ERR")"
check "XP SP1 starts its own package" "D:\\Drivers\\Audio\\$HDA_PACKAGE_XPSP1$HDA_QUIET" \
    "$(record '[x["package"] for x in r["rows"] if x["windows"] == "Windows XP SP1"][0]')"
if hda_host_runs_32bit; then
    check_true "XP x64 starts ins64.exe with the winxp64 INF" grep -qF "D:\\$HDA_HELPER_64 D:\\$HDA_INF_64" \
        <<<"$(record '[x["helper"] for x in r["rows"] if x["windows"] == "Windows XP x64"][0]')"
else
    check "XP x64 shown as not run, for lack of 32-bit programs" "not run on this host (needs 32-bit programs)" \
        "$(record '[x["not_run"] for x in r["rows"] if x["windows"] == "Windows XP x64"][0]')"
    check_true "its progress line says so" grep -q 'Windows XP x64: not run on this host' <<<"$ERR"
fi
check "the disc was not changed" "$SUMS" "$(disc_sums)"
FOLDER_ROWS=$(record 'r["rows"]')

scenario "its images, read in the namespace each Windows reads"
while IFS='|' read -r what tool status marked same read_as; do
    # shellcheck disable=SC2086 # the tool and its options are words
    image $tool
    run_check "$SCRATCH/disc.iso" --program Drivers/Audio
    [ "$FOLDER_ROWS" == "$(record 'r["rows"]')" ] && same_rows=yes || same_rows=no
    check "$what: status, marked, the folder's rows, namespace read, the image unchanged" \
        "$status $marked $same $read_as $IMAGE_SUM" \
        "$STATUS $(marked) $same_rows $(record '"/".join(x["namespace"] for x in r["image"]["read_as"])') $(sha256sum <"$SCRATCH/disc.iso")"
done <<TABLE
Joliet|xorriso -as mkisofs -J -R|0||yes|Joliet
Joliet, without the XP SP1 package|xorriso -as mkisofs -J -R -m KB888111XPSP1.exe|1|Windows XP SP1|no|Joliet
UDF bridge, read through UDF|genisoimage -udf -J|0||yes|UDF 1.02
TABLE

scenario "a disc without the XP SP1 package, its exe one byte off the build"
rm "$DISC/Drivers/Audio/$(hda_unix "$HDA_PACKAGE_XPSP1")"
# In the DOS stub's message: the exe still runs as the build does.
printf X | dd of="$DISC/Drivers/Audio/hdasetup.exe" bs=1 seek=80 conv=notrunc status=none
run_check "$DISC" --program Drivers/Audio --format markdown
check "status, the head: differs" "1 differs" "$STATUS $(record 'r["same_build"].split()[0]')"
check "only XP SP1 marked, its four rows" "Windows XP SP1 4" \
    "$(marked) $(record 'sum(x["missing"] for x in r["rows"])')"
check_true "progress names it" grep -q "Windows XP SP1: would start a file the disc lacks" <<<"$ERR"

scenario "two checks at once, each of its own disc, one after the other in the work folder"
image xorriso -as mkisofs -J
mv "$SCRATCH/disc.iso" "$SCRATCH/lacking.iso"
cp "$PRODUCT" "$DISC/Drivers/Audio/hdasetup.exe"
lay_disc "$SCRATCH/whole" && cp "$PRODUCT" "$SCRATCH/whole/Drivers/Audio/hdasetup.exe"
set +e
"$CHECK" "$SCRATCH/lacking.iso" --program Drivers/Audio --format html --out "$SCRATCH/a.html" 2>"$SCRATCH/a.err" &
lacking=$!
"$CHECK" "$SCRATCH/whole" --program Drivers/Audio --out "$SCRATCH/b.txt" 2>"$SCRATCH/b.err"
whole=$?
wait $lacking
lacking=$?
set -e
check "statuses: the disc lacking a package 1, the whole one 0; one waited" "1 0 1" \
    "$lacking $whole $(cat "$SCRATCH/a.err" "$SCRATCH/b.err" | grep -c 'another check is running')"
check_true "both tables written" test -s "$SCRATCH/a.html" -a -s "$SCRATCH/b.txt"

scenario "its image without Joliet (Rock Ridge only), read with its 8.3 names"
image xorriso -as mkisofs -R
EXE=project
hda_host_runs_32bit && EXE=disc # on a host that runs its 32-bit exe, that exe runs here
run_check "$SCRATCH/disc.iso" --program Drivers/Audio --exe $EXE
check "status, every row that ran marked, the image unchanged" "1 $((WINDOWS_RUN * 4)) $IMAGE_SUM" \
    "$STATUS $(record 'sum(x["missing"] for x in r["rows"])') $(sha256sum <"$SCRATCH/disc.iso")"
check_true "the head names the cut files" grep -q 'XPSP2.exe is not there: the image holds only 8.3 names cut from it, .*KB88811[0-9].EXE' \
    <<<"$(record '[n["text"] for n in r["notes"] if n["label"] == "cut names"]')"
check "the program ran from the folders as the image names them" "DRIVERS/AUDIO" "$(record 'r["program"]')"
if hda_host_runs_32bit; then
    check_true "the shadow held the disc's exe (--exe disc)" cmp -s "$WINE_DIR/shadow/DRIVERS/AUDIO/hdasetup.exe" \
        "$DISC/Drivers/Audio/hdasetup.exe"
else
    echo "skipped: running the disc's 32-bit exe needs a host that runs 32-bit programs"
    run_check "$DISC" --program Drivers/Audio --exe disc
    check "--exe disc refused here: status, one line" "2 1" "$STATUS $(wc -l <<<"$ERR")"
fi

finish
