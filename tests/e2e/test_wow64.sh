# shellcheck shell=bash
# hdasetup.exe as a 32-bit program on 64-bit Windows (WOW64), under Wine in a 64-bit prefix:
# XP x64 gets the Server 2003 package, and the helper is ins64.exe with the winxp64 INF.
# Only the real 32-bit exe can be under WOW64, so a host that runs no 32-bit programs
# reports this script as skipped.
# prefix: win64 win64
source "$(dirname "$0")/lib.sh"
needs_32bit_programs

FUNCTION=$(hda_function "${HDA_CODECS[1]}")
export HDA_PACKAGE_MS=100
standard_disc winxp64

scenario "XP x64: Wine reports it, the program starts the Server 2003 package"
hda_set_functions
check "Wine reports" "2 5 2 3790	Service Pack 2" "$(hda_os_version)"
run_program "$PROGRAM" -S
check "package" "D:\\Drivers\\Audio\\$HDA_PACKAGE_SRVRTM$HDA_QUIET" "$(logged package-start)"
check "no helper without a known codec" 0 "$(count_logged helper-start)"

scenario "64-bit host: ins64.exe with the winxp64 INF"
hda_set_functions "$FUNCTION"
HDA_HELPER_MS=3000 run_program "$PROGRAM" -S
check "helper command line" "D:\\$HDA_HELPER_64 D:\\$HDA_INF_64 \"HDAUDIO\\$FUNCTION\"" \
    "$(logged helper-start)"
check "helper window title" "D:\\$HDA_HELPER_64" "$(logged helper-window)"
check "program ended after the helper's window" 1 "$(count_logged helper-end)"
check "marker written" "$HDA_MARKER_TEXT" "$(cat "$WINEPREFIX/drive_c/$HDA_MARKER_NAME" 2>/dev/null)"

finish
