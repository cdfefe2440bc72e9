# shellcheck shell=bash
# tools/disc-check on sample discs and their images: a complete disc passes as a folder and as
# its images, each read in the namespace each Windows reads; a disc that breaks one rule fails
# with the reason in the report's head; --exe disc runs the disc's own exe; two checks at once
# never mix; bad inputs give one line. Every disc carries one exe, so that after the first
# check every other reads its runs back. The checks are read from the record each check
# leaves (record.json) and from the report's first lines. disc-check makes its prefixes
# where the other scripts keep theirs:
# prefix: win32 win32
# prefix: win64 win64
source "$(dirname "$0")/lib.sh"

CHECK=$REPO/tools/disc-check
export HDA_DISC_CHECK_DIR=$WINE_DIR # the same cached prefixes as the other scripts
SCRATCH=$WINE_DIR-disc-check # the discs: disc-check refuses one inside its work folder
rm -rf "$SCRATCH" && mkdir -p "$SCRATCH"
rm -f "$WINE_DIR/runs.json" # read back within this script only: each run of it runs the program
DISC=$SCRATCH/disc
OUT=$SCRATCH/report.txt
WIN32=${HDA_WIN32_DIR:-$REPO/build/win32} # discs hold the 32-bit product's programs on any host

# run_check ARGS...: sets STATUS, OUT holds the report, ERR the messages.
run_check() {
    set +e
    "$CHECK" "$@" >"$OUT" 2>"$SCRATCH/err.txt"
    STATUS=$?
    set -e
    ERR=$(cat "$SCRATCH/err.txt")
}
# record PYTHON_EXPRESSION: the expression on the last check's record r, e.g. record 'len(r["rows"])'.
record() { /usr/bin/python3 -c 'import json, sys; r = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$WINE_DIR/record.json" "$1"; }
marked() { record '",".join(sorted({x["windows"] for x in r["rows"] if x["missing"]}))'; }
# XP x64 needs the 32-bit exe under WOW64: a host that runs no 32-bit programs leaves it out.
# Where the host runs the disc's 32-bit exe, every check runs it, one byte off the build (in
# its DOS stub's message: it still runs as the build does), so that --exe disc is seen honoured.
WINDOWS_RUN=8 EXE=disc
hda_host_runs_32bit || WINDOWS_RUN=7 EXE=project
DISC_EXE=$SCRATCH/hdasetup.exe
cp "$WIN32/hdasetup.exe" "$DISC_EXE"
[ $EXE == project ] || printf X | dd of="$DISC_EXE" bs=1 seek=80 conv=notrunc status=none
sample() { lay_disc "$1" Drivers/Audio "$WIN32" && cp "$DISC_EXE" "$1/Drivers/Audio/hdasetup.exe"; }
image() { "$@" -quiet -o "$SCRATCH/disc.iso" "$DISC" 2>/dev/null && IMAGE_SUM=$(sha256sum <"$SCRATCH/disc.iso"); }
# bridge_201 IMAGE keep|hide: a UDF bridge image's UDF made revision 2.01 (which XP reads and
# 2000 does not), each descriptor's CRC and checksum made again; with "hide", its Joliet tree
# (what 2000 reads) without hdasetup.exe.
bridge_201() {
    /usr/bin/python3 - "$@" <<'EOF'
import struct, sys
from pycdlib.udf import crc_ccitt
data = bytearray(open(sys.argv[1], "rb").read())
at = 0
while (at := data.find(b"*OSTA UDF Compliant", at) + 1) > 0:
    tag = (at - 2) // 2048 * 2048
    data[at + 22:at + 24] = b"\x01\x02"
    struct.pack_into("<H", data, tag + 8, crc_ccitt(bytes(data[tag + 16:tag + 16 + struct.unpack_from("<H", data, tag + 10)[0]])))
    data[tag + 4] = sum(data[tag:tag + 4] + data[tag + 5:tag + 16]) % 256
if sys.argv[2] == "hide":
    name = "hdasetup.exe".encode("utf-16-be")
    data[data.index(name) + len(name) - 2:data.index(name) + len(name)] = "X".encode("utf-16-be")
open(sys.argv[1], "wb").write(data)
EOF
}

scenario "bad inputs: status 2 and one line that says what is wrong, before anything runs"
mkdir -p "$DISC/Drivers" "$WINE_DIR/inside"
cp "${HDA_WIN64_DIR:-$REPO/build/win64}/hdasetup.exe" "$SCRATCH/twin.exe" # the twin, not the product
head -c 20000 "$WIN32/hdasetup.exe" >"$SCRATCH/cut.exe"
while IFS='|' read -r what exe args said; do
    [ -z "$exe" ] || cp "$SCRATCH/$exe" "$DISC/hdasetup.exe"
    # shellcheck disable=SC2086 # the arguments are words
    run_check $args
    check "$what" "2 1 1" "$STATUS $(wc -l <<<"$ERR") $(grep -c -e "$said" <<<"$ERR")"
done <<TABLE
missing disc||$SCRATCH/no-such-disc --program Drivers/Audio|does not exist
program outside the disc||$DISC --program ../elsewhere|outside the disc
unknown format||$DISC --program . --format pdf|invalid choice: 'pdf'
a file that is no disc image||$SCRATCH/twin.exe --program .|is not an ISO 9660 image that can be read: .*volume descriptor
a disc inside the work folder||$WINE_DIR/inside --program .|lies inside disc-check's work folder
no hdasetup.exe||$DISC --program .|has no hdasetup.exe
an x86-64 hdasetup.exe|twin.exe|$DISC --program .|is not a 32-bit Windows GUI program: it is a file of format pei-x86-64
a cut-short hdasetup.exe|cut.exe|$DISC --program .|it is a broken program: cut short: section
--out into a missing folder||$DISC --program . --out $SCRATCH/no-such/report.txt|--out .* cannot be written
TABLE
rm "$DISC/hdasetup.exe"
HDA_WIN32_DIR=$SCRATCH/no-build HDA_WIN64_DIR=$SCRATCH/no-build run_check "$DISC" --program .
check "missing build: status, says how to build" "2 1" "$STATUS $(grep -c "make" <<<"$ERR")"

scenario "a complete disc"
rm -rf "$DISC" && sample "$DISC"
disc_sums() { find "$DISC" -type f -exec sha256sum {} + | sort; }
SUMS=$(disc_sums)
run_check "$DISC" --program drivers/AUDIO --exe $EXE
check "status" 0 "$STATUS"
version=$(sed -n 's/^project(hdasetup VERSION \([0-9.]*\).*/\1/p' "$REPO/CMakeLists.txt")
same="same build" && [ $EXE == project ] || same=differs
check "the head: the disc's exe as found, its version resource, compared with the build" \
    "Drivers/Audio/hdasetup.exe $version $version $same" \
    "$(record '" ".join([r["exes"][0]["path"], r["exes"][0]["file_version"], r["exes"][0]["product_version"], r["same_build"].split(" (")[0]])')"
check "$WINDOWS_RUN Windows x 4 codec set-ups run, none marked, one progress line each" "$((WINDOWS_RUN * 4))  $WINDOWS_RUN" \
    "$(record 'sum(x["ran"] for x in r["rows"])') $(marked) $(grep -c ': ok$' <<<"$ERR")"
check "XP SP1 starts its own package" "D:\\Drivers\\Audio\\$HDA_PACKAGE_XPSP1$HDA_QUIET" \
    "$(record '[x["package"] for x in r["rows"] if x["windows"] == "Windows XP SP1"][0]')"
if [ $EXE == disc ]; then
    check_true "XP x64 starts ins64.exe with the winxp64 INF" grep -qF "D:\\$HDA_HELPER_64 D:\\$HDA_INF_64" \
        <<<"$(record '[x["helper"] for x in r["rows"] if x["windows"] == "Windows XP x64"][0]')"
    check_true "the shadow held the disc's own exe, not the build (--exe disc)" \
        cmp -s "$WINE_DIR/shadow/Drivers/Audio/hdasetup.exe" "$DISC_EXE"
    check_true "the report says so" grep -q "Run with the disc's own hdasetup.exe (Drivers/Audio/hdasetup.exe)" "$OUT"
else
    check "XP x64 shown as not run, for lack of 32-bit programs, and said" "not run on this host (needs 32-bit programs) 1" \
        "$(record '[x["not_run"] for x in r["rows"] if x["windows"] == "Windows XP x64"][0]') $(grep -c 'Windows XP x64: not run on this host' <<<"$ERR")"
    run_check "$DISC" --program Drivers/Audio --exe disc
    check "--exe disc refused here: status, one line" "2 1" "$STATUS $(wc -l <<<"$ERR")"
fi
check "the disc was not changed" "$SUMS" "$(disc_sums)"
FOLDER_ROWS=$(record 'r["rows"]')

scenario "its images, each Windows reading its own namespace; the runs read back"
while IFS='|' read -r what tool bridge status marked read_as; do
    # shellcheck disable=SC2086 # the tool and its options are words
    image $tool && { [ -z "$bridge" ] || bridge_201 "$SCRATCH/disc.iso" "$bridge"; } && IMAGE_SUM=$(sha256sum <"$SCRATCH/disc.iso")
    run_check "$SCRATCH/disc.iso" --program Drivers/Audio --exe $EXE
    [ "$FOLDER_ROWS" == "$(record 'r["rows"]')" ] && same_rows=yes || same_rows=no
    [ "$status" != 0 ] || check "$what: the folder's rows" yes "$same_rows"
    check "$what: status, marked, namespaces read, runs read back, the image unchanged" \
        "$status $marked $read_as 1 $IMAGE_SUM" \
        "$STATUS $(marked) $(record '"/".join(x["namespace"] for x in r["image"]["read_as"])') $(grep -c 'runs are read back' <<<"$ERR") $(sha256sum <"$SCRATCH/disc.iso")"
done <<TABLE
Joliet|xorriso -as mkisofs -J -R||0||Joliet
Joliet, without the XP SP1 package|xorriso -as mkisofs -J -R -m KB888111XPSP1.exe||1|Windows XP SP1|Joliet
UDF bridge, read through UDF|genisoimage -udf -J||0||UDF 1.02
UDF 2.01 bridge: 2000 reads Joliet|genisoimage -udf -J|keep|0||Joliet/UDF 2.01
UDF 2.01 bridge whose Joliet lacks the exe|genisoimage -udf -J|hide|1|Windows 2000 SP4|Joliet/UDF 2.01
TABLE
check_true "the Windows that reads no exe says so in the report's head" \
    grep -q "Windows 2000 SP4: hdasetup.exe (no hdasetup.exe where this Windows reads the disc)" <(head -n 12 "$OUT")

scenario "a disc that breaks one rule: status 1, the reason in the report's first 12 lines"
PACKAGE_XP=Drivers/Audio/$(hda_unix "$HDA_PACKAGE_XPSP2")
while IFS='|' read -r what disc said; do
    rm -rf "$DISC" && sample "$DISC"
    case $what in
    "a 0-byte package") : >"$DISC/$PACKAGE_XP" ;;
    "a package linked in the mastered folder, 0 bytes in Joliet") ln -sf hdasetup.exe "$DISC/$PACKAGE_XP" && image genisoimage -J -R ;;
    "an x86-64 helper on a 32-bit Windows") cp "${HDA_WIN64_DIR:-$REPO/build/win64}/standins/standin_helper.exe" "$DISC/$(hda_unix "$HDA_HELPER_32")" ;;
    "an INF without its signature") printf '[Strings]\r\n' >"$DISC/$(hda_unix "$HDA_INF_32")" ;;
    esac
    run_check "$disc" --program Drivers/Audio --exe $EXE
    check "$what" "1 yes" "$STATUS $(head -n 12 "$OUT" | grep -q "$said" && echo yes)"
done <<TABLE
a 0-byte package|$DISC|KB888111XPSP2.exe (0 bytes)
a package linked in the mastered folder, 0 bytes in Joliet|$SCRATCH/disc.iso|KB888111XPSP2.exe (0 bytes)
an x86-64 helper on a 32-bit Windows|$DISC|install.exe (x86-64: not on a 32-bit Windows)
an INF without its signature|$DISC|intchdmi.inf (no \[Version\] section)
TABLE
check "the INF's row: what it marks" "Windows 2000 SP4,Windows 7,Windows Server 2003,Windows XP,Windows XP SP1,Windows XP SP2,Windows XP SP3" "$(marked)"

scenario "two checks at once, each of its own disc, one after the other in the work folder"
rm -rf "$DISC" && sample "$DISC"
image xorriso -as mkisofs -J -m KB888111XPSP1.exe
mv "$SCRATCH/disc.iso" "$SCRATCH/lacking.iso"
set +e
"$CHECK" "$SCRATCH/lacking.iso" --program Drivers/Audio --exe $EXE --format html --out "$SCRATCH/a.html" 2>"$SCRATCH/a.err" &
lacking=$!
"$CHECK" "$DISC" --program Drivers/Audio --exe $EXE --out "$SCRATCH/b.txt" 2>"$SCRATCH/b.err"
whole=$?
wait $lacking
lacking=$?
set -e
check "statuses: the disc lacking a package 1, the whole one 0; one waited" "1 0 1" \
    "$lacking $whole $(cat "$SCRATCH/a.err" "$SCRATCH/b.err" | grep -c 'another check is running')"
check_true "both reports written" test -s "$SCRATCH/a.html" -a -s "$SCRATCH/b.txt"

scenario "its image without Joliet (Rock Ridge only), read with its 8.3 names"
image xorriso -as mkisofs -R
run_check "$SCRATCH/disc.iso" --program Drivers/Audio --exe $EXE --format json
check "status, every row that ran marked, the image unchanged, the record on standard output" \
    "1 $((WINDOWS_RUN * 4)) $IMAGE_SUM DRIVERS/AUDIO" \
    "$STATUS $(record 'sum(x["missing"] for x in r["rows"])') $(sha256sum <"$SCRATCH/disc.iso") $(/usr/bin/python3 -c 'import json, sys; print(json.load(sys.stdin)["program"])' <"$OUT")"
check_true "the head names the cut files" grep -q 'XPSP2.exe is not there: the image holds only 8.3 names cut from it, .*KB88811[0-9].EXE' \
    <<<"$(record '[n["text"] for n in r["notes"] if n["label"] == "cut names"]')"

finish
