# shellcheck shell=bash
# The real program under Wine: the two modes, and a missing package (the package for each
# Windows version is in test_matrix.sh).
# prefix: win32 win32
source "$(dirname "$0")/lib.sh"

PACKAGE_XPSP2="D:\\Drivers\\Audio\\$HDA_PACKAGE_XPSP2"
standard_disc winxp
hda_set_functions # an empty HDAUDIO key: silent runs find nothing and show no box

scenario "interactive on Windows XP SP3"
export HDA_PACKAGE_MS=3000
run_program "$PROGRAM"
check "package command line" "$PACKAGE_XPSP2" "$(logged package-start)"
check "package still running when the program ended" 0 "$(count_logged package-end)"
BOUND=$(at_most 3.0)
check_true "returned without waiting ($ELAPSED s, < $BOUND)" awk "BEGIN { exit !($ELAPSED < $BOUND) }"
wineserver -w
check "package ended later" 1 "$(count_logged package-end)"
check "only one program started" 1 "$(count_logged package-start)"

scenario "silent on Windows XP SP3"
run_program "$PROGRAM" -S
check "package command line" "$PACKAGE_XPSP2$HDA_QUIET" "$(logged package-start)"
check "package's current directory is the program's" 'C:\' "$(logged package-cwd)"
check "returned only after the package ended" 1 "$(count_logged package-end)"
check_true "waited for the package ($ELAPSED s)" awk "BEGIN { exit !($ELAPSED >= 3.0) }"
check "marker written" "$HDA_MARKER_TEXT" "$(cat "$WINEPREFIX/drive_c/$HDA_MARKER_NAME")"

scenario "package missing"
rm "$DISC/Drivers/Audio/$(hda_unix "$HDA_PACKAGE_XPSP2")"
run_program "$PROGRAM" -S
check "nothing started" 0 "$(count_logged package-start)"
check "marker still written" 40 "$(stat -c %s "$WINEPREFIX/drive_c/$HDA_MARKER_NAME")"

finish
