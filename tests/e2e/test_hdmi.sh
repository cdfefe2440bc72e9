# The HDMI audio driver step of a silent run, under Wine: the helper's command line on both
# host widths, the wait for its window, the registry failure box and the debug boxes.
source "$(dirname "$0")/lib.sh"

PROGRAM='D:\Drivers\Audio\hdasetup.exe'
FUNCTION='FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000'
CMD_32='D:\chipset\inshelp\install.exe D:\chipset\Vga\Intel\WIN2K_XP\Graphics\HDMI\intchdmi.inf "HDAUDIO\'$FUNCTION'"'
CMD_64='D:\chipset\inshelp\ins64.exe D:\chipset\Vga\Intel\WIN2K_XP\winxp64\HDMI\intchdmi.inf "HDAUDIO\'$FUNCTION'"'
export HDA_PACKAGE_MS=100

use_prefix win32 win32
DISC=$SCRATCH/disc
lay_disc "$DISC"
map_drive D "$DISC"
set_version winxp

scenario "32-bit host: helper started and waited for"
set_functions 'FUNC_01&VEN_1234&DEV_5678&SUBSYS_00000000&REV_1000' "$FUNCTION"
HDA_HELPER_MS=5000 run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "helper command line" "$CMD_32" "$(logged helper-start)"
check "helper window title" 'D:\chipset\inshelp\install.exe' "$(logged helper-window)"
check "helper started after the package ended" 1 "$(awk -F'\t' '$1=="package-end"{p=NR} $1=="helper-start"{h=NR} END{print (p && h > p)}' "$LOG")"
check "program ended after the helper's window" 1 "$(count_logged helper-end)"
check_true "waited about 5 s for the helper ($ELAPSED s)" awk "BEGIN { exit !($ELAPSED >= 5.0 && $ELAPSED < 12) }"
check "no box shown" "" "$(boxes)"

scenario "no matching function"
set_functions 'FUNC_01&VEN_1234&DEV_5678&SUBSYS_00000000&REV_1000' 'func_01&ven_1095&dev_1390'
run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "no helper" 0 "$(count_logged helper-start)"

scenario "no HDAUDIO key: the failure box"
no_hda_key
: > "$SCRATCH/log.txt"
LOG=$SCRATCH/log.txt
start_answerer 1
run_program "$PROGRAM" -S
wait "$ANSWERER_PID" || true
check "exit code" 0 "$EXIT_CODE"
check "box caption and text" "hdasetup|Get keyCount fail !!" "$(boxes)"
check "no helper" 0 "$(count_logged helper-start)"

scenario "-S DEBUG: the two debug boxes before the helper"
set_functions "$FUNCTION"
LOG=$SCRATCH/log.txt
: > "$LOG"
start_answerer 2
HDA_HELPER_MS=1000 run_program "$PROGRAM" -S DEBUG
wait "$ANSWERER_PID" || true
check "exit code" 0 "$EXIT_CODE"
check "boxes in order" "debug_run|$CMD_32
debug_aa|D:\\chipset\\inshelp\\install.exe" "$(boxes)"
check "helper started after the second box" 1 "$(awk -F'\t' '$1=="box"{b=NR} $1=="helper-start"{h=NR} END{print (b && h > b)}' "$LOG")"
check "helper command line" "$CMD_32" "$(logged helper-start)"
stop_wine

use_prefix win64 win64
map_drive D "$DISC"
set_version winxp64

scenario "64-bit host: ins64.exe with the winxp64 INF"
set_functions "$FUNCTION"
HDA_HELPER_MS=3000 run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "package for XP x64" 'D:\Drivers\Audio\Win2K3\us\KB888111Srvrtm.exe /quiet /o' "$(logged package-start)"
check "helper command line" "$CMD_64" "$(logged helper-start)"
check "helper window title" 'D:\chipset\inshelp\ins64.exe' "$(logged helper-window)"
check "program ended after the helper's window" 1 "$(count_logged helper-end)"

finish
