# The real program under Wine: package choice per Windows version and the two modes.
source "$(dirname "$0")/lib.sh"

PACKAGE_XPSP2='D:\Drivers\Audio\Win2K_XP\us\KB888111XPSP2.exe'
PROGRAM='D:\Drivers\Audio\hdasetup.exe'

use_prefix win32 win32
DISC=$SCRATCH/disc
lay_disc "$DISC"
map_drive D "$DISC"
set_functions # an empty HDAUDIO key: silent runs find nothing and show no box

scenario "interactive on Windows XP SP3"
set_version winxp
export HDA_PACKAGE_MS=3000
run_program "$PROGRAM"
check "exit code" 0 "$EXIT_CODE"
check "package command line" "$PACKAGE_XPSP2" "$(logged package-start)"
check "package still running when the program ended" 0 "$(count_logged package-end)"
check_true "returned without waiting ($ELAPSED s)" awk "BEGIN { exit !($ELAPSED < 3.0) }"
wineserver -w
check "package ended later" 1 "$(count_logged package-end)"
check "only one program started" 1 "$(count_logged package-start)"

scenario "silent on Windows XP SP3"
run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "package command line" "$PACKAGE_XPSP2 /quiet /o" "$(logged package-start)"
check "package's current directory is the program's" 'C:\' "$(logged package-cwd)"
check "returned only after the package ended" 1 "$(count_logged package-end)"
check_true "waited for the package ($ELAPSED s)" awk "BEGIN { exit !($ELAPSED >= 3.0) }"
check "marker written" "Sorvel MS HD BUS driver install finished" "$(cat "$WINEPREFIX/drive_c/csb.log")"

export HDA_PACKAGE_MS=200
scenario "versions chosen through the registry"
while IFS='|' read -r version build csd file; do
    set_exact_version "$version" "$build" "$csd"
    run_program "$PROGRAM" -S
    check "$version.$build \"$csd\"" "D:\\Drivers\\Audio\\$file /quiet /o" "$(logged package-start)"
done <<'TABLE'
5.0|2195|Service Pack 4|Win2K_XP\us\KB888111W2KSP4.exe
5.1|2600|Service Pack 1|Win2K_XP\us\KB888111XPSP1.exe
5.1|2600||Win2K_XP\us\KB888111XPSP2.exe
5.2|3790|Service Pack 2|Win2K3\us\KB888111Srvrtm.exe
TABLE
set_version winxp

scenario "package missing"
rm "$DISC/Drivers/Audio/Win2K_XP/us/KB888111XPSP2.exe"
run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "nothing started" 0 "$(count_logged package-start)"
check "marker still written" 40 "$(stat -c %s "$WINEPREFIX/drive_c/csb.log")"

finish
