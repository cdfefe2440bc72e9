# The real program under Wine: package choice per Windows version and the two modes.
source "$(dirname "$0")/lib.sh"

PACKAGE_XPSP2="D:\\Drivers\\Audio\\$HDA_PACKAGE_XPSP2"
PROGRAM='D:\Drivers\Audio\hdasetup.exe'

use_prefix win32 win32
DISC=$SCRATCH/disc
lay_disc "$DISC"
hda_map_drive D "$DISC"
hda_set_functions # an empty HDAUDIO key: silent runs find nothing and show no box

scenario "interactive on Windows XP SP3"
hda_set_windows winxp
export HDA_PACKAGE_MS=3000
run_program "$PROGRAM"
check "exit code" 0 "$EXIT_CODE"
check "package command line" "$PACKAGE_XPSP2" "$(logged package-start)"
check "package still running when the program ended" 0 "$(count_logged package-end)"
BOUND=$(at_most 3.0)
check_true "returned without waiting ($ELAPSED s, < $BOUND)" awk "BEGIN { exit !($ELAPSED < $BOUND) }"
wineserver -w
check "package ended later" 1 "$(count_logged package-end)"
check "only one program started" 1 "$(count_logged package-start)"

scenario "silent on Windows XP SP3"
run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "package command line" "$PACKAGE_XPSP2$HDA_QUIET" "$(logged package-start)"
check "package's current directory is the program's" 'C:\' "$(logged package-cwd)"
check "returned only after the package ended" 1 "$(count_logged package-end)"
check_true "waited for the package ($ELAPSED s)" awk "BEGIN { exit !($ELAPSED >= 3.0) }"
check "marker written" "$HDA_MARKER_TEXT" "$(cat "$WINEPREFIX/drive_c/$HDA_MARKER_NAME")"

export HDA_PACKAGE_MS=200
scenario "versions chosen through the registry"
while IFS='|' read -r version build csd file; do
    hda_set_windows "$version" "$build" "$csd"
    run_program "$PROGRAM" -S
    package=HDA_PACKAGE_$file
    check "$version.$build \"$csd\"" "D:\\Drivers\\Audio\\${!package}$HDA_QUIET" "$(logged package-start)"
done <<'TABLE'
5.0|2195|Service Pack 4|W2KSP4
5.1|2600|Service Pack 1|XPSP1
5.1|2600||XPSP2
5.2|3790|Service Pack 2|SRVRTM
TABLE
hda_set_windows winxp

scenario "package missing"
rm "$DISC/Drivers/Audio/$(hda_unix "$HDA_PACKAGE_XPSP2")"
run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "nothing started" 0 "$(count_logged package-start)"
check "marker still written" 40 "$(stat -c %s "$WINEPREFIX/drive_c/$HDA_MARKER_NAME")"

finish
