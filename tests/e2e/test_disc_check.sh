# tools/disc-check on sample discs: a complete disc passes, a disc that lacks one package
# fails with exactly that Windows marked, the head tells the project's build from a changed
# one, --exe disc runs the disc's own exe, and bad inputs give clear errors. disc-check makes
# its prefixes where the other scripts keep theirs:
# prefix: win32 win32
# prefix: win64 win64
source "$(dirname "$0")/lib.sh"

CHECK=$REPO/tools/disc-check
export HDA_DISC_CHECK_DIR=$WINE_DIR # the same cached prefixes as the other scripts
mkdir -p "$SCRATCH"
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

scenario "bad inputs: status 2 and one line that says what is wrong"
mkdir -p "$DISC"
cp "${HDA_WIN64_DIR:-$REPO/build/win64}/hdasetup.exe" "$SCRATCH/HDASETUP.EXE" # the twin, not the product
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

scenario "the same disc, its own exe run (--exe disc)"
SUMS=$(disc_sums)
run_check "$DISC" --program Drivers/Audio --exe disc
if hda_host_runs_32bit; then
    check "status" 1 "$STATUS"
    check "only XP SP1 marked" "Windows XP SP1," "$(marked)"
    check_true "the shadow held the disc's exe" cmp -s "$WINE_DIR/shadow/Drivers/Audio/hdasetup.exe" \
        "$DISC/Drivers/Audio/hdasetup.exe"
    check "the disc was not changed" "$SUMS" "$(disc_sums)"
else
    echo "skipped: running the disc's 32-bit exe needs a host that runs 32-bit programs"
    check "refused here: status, one line" "2 1" "$STATUS $(wc -l <<<"$ERR")"
fi

finish
