# shellcheck shell=bash
# The HDMI audio driver step of a silent run, under Wine: the helper's command line on a
# 32-bit host (the 64-bit one is in test_wow64.sh), the wait for its window, the registry
# failure box and the debug boxes.
# prefix: win32 win32
source "$(dirname "$0")/lib.sh"

FUNCTION=$(hda_function "${HDA_CODECS[1]}")
CMD_32="D:\\$HDA_HELPER_32 D:\\$HDA_INF_32 \"HDAUDIO\\$FUNCTION\""
export HDA_PACKAGE_MS=100
standard_disc winxp

scenario "32-bit host: helper started and waited for"
hda_set_functions 'FUNC_01&VEN_1234&DEV_5678&SUBSYS_00000000&REV_1000' "$FUNCTION"
HDA_HELPER_MS=5000 run_program "$PROGRAM" -S
check "helper command line" "$CMD_32" "$(logged helper-start)"
check "helper window title" "D:\\$HDA_HELPER_32" "$(logged helper-window)"
check "helper started after the package ended" 1 "$(awk -F'\t' '$1=="package-end"{p=NR} $1=="helper-start"{h=NR} END{print (p && h > p)}' "$LOG")"
check "program ended after the helper's window" 1 "$(count_logged helper-end)"
BOUND=$(at_most 12)
check_true "waited about 5 s for the helper ($ELAPSED s, < $BOUND)" awk "BEGIN { exit !($ELAPSED >= 5.0 && $ELAPSED < $BOUND) }"
check "no box shown" "" "$(boxes)"

scenario "no matching function"
hda_set_functions 'FUNC_01&VEN_1234&DEV_5678&SUBSYS_00000000&REV_1000' "${HDA_CODECS[0],,}"
run_program "$PROGRAM" -S
check "no helper" 0 "$(count_logged helper-start)"

scenario "no HDAUDIO key: the failure box"
hda_set_functions --no-key
run_answered 1 "$PROGRAM" -S
check "box caption and text" "hdasetup|Get keyCount fail !!" "$(boxes)"
check "no helper" 0 "$(count_logged helper-start)"

scenario "-S DEBUG: the two debug boxes before the helper"
hda_set_functions "$FUNCTION"
HDA_HELPER_MS=1000 run_answered 2 "$PROGRAM" -S DEBUG
check "boxes in order" "debug_run|$CMD_32
debug_aa|D:\\$HDA_HELPER_32" "$(boxes)"
check "helper started after the second box" 1 "$(awk -F'\t' '$1=="box"{b=NR} $1=="helper-start"{h=NR} END{print (b && h > b)}' "$LOG")"
check "helper command line" "$CMD_32" "$(logged helper-start)"

# Unquoted, "D:\Driver Disc\..." would have Windows try D:\Driver.exe first: a program put
# there by anyone must never run, and the real ones get their command lines as they are.
scenario "a disc folder with a blank, and a program planted at the blank"
lay_disc "$SCRATCH/planted/Driver Disc"
cp "$HDA_BUILD_DIR/standins/standin_package.exe" "$SCRATCH/planted/Driver.exe"
hda_map_drive D "$SCRATCH/planted"
BASE='D:\Driver Disc\' PACKAGE="Drivers\\Audio\\$HDA_PACKAGE_XPSP2"
for package in present missing; do
    HDA_HELPER_MS=500 run_program "${BASE}Drivers\\Audio\\hdasetup.exe" -S
    check "package $package: only the real one started, its command line exact" \
        "${PACKAGE:+$BASE$PACKAGE /quiet /o}" "$(logged package-start)"
    check "helper command line exact, package $package" \
        "$BASE$HDA_HELPER_32 $BASE$HDA_INF_32 \"HDAUDIO\\$FUNCTION\"" "$(logged helper-start)"
    [ -z "$PACKAGE" ] || { rm "$SCRATCH/planted/Driver Disc/$(hda_unix "$PACKAGE")"; PACKAGE=""; }
done
finish
