# A disc at a drive root, under Wine: D: is the disc folder, and the program lies two levels
# down (D:\Drivers\Audio\), one level down (D:\Audio\) or at the root itself (D:\); the
# packages come from its own folder and the helper from two levels up, or from the
# folder itself when there are no two levels above it.
source "$(dirname "$0")/lib.sh"

FUNCTION='FUNC_01&VEN_17E8&DEV_0047&SUBSYS_17E80047&REV_1000'
INF='chipset\Vga\Intel\WIN2K_XP\Graphics\HDMI\intchdmi.inf'
export HDA_PACKAGE_MS=0 HDA_HELPER_MS=300

use_prefix win32 win32
set_version winxp
set_functions "$FUNCTION"
DISC=$SCRATCH/disc

# PROGRAM_FOLDER|PROGRAM'S DIRECTORY|BASE
while IFS='|' read -r folder exe_dir base; do
    scenario "program in $exe_dir"
    lay_disc "$DISC" "$folder"
    map_drive D "$DISC"
    rm -f "$WINEPREFIX/drive_c/csb.log"
    run_program "${exe_dir}hdasetup.exe" -S
    check "exit code" 0 "$EXIT_CODE"
    check "package" "${exe_dir}Win2K_XP\\us\\KB888111XPSP2.exe /quiet /o" "$(logged package-start)"
    check "helper command line" "${base}chipset\\inshelp\\install.exe ${base}$INF \"HDAUDIO\\$FUNCTION\"" \
        "$(logged helper-start)"
    check "helper window title" "${base}chipset\\inshelp\\install.exe" "$(logged helper-window)"
    check "waited until the helper's window was gone" 1 "$(count_logged helper-end)"
    check "marker written" "Sorvel MS HD BUS driver install finished" \
        "$(cat "$WINEPREFIX/drive_c/csb.log" 2>/dev/null)"
done <<'TABLE'
Drivers/Audio|D:\Drivers\Audio\|D:\
Audio|D:\Audio\|D:\Audio\
.|D:\|D:\
TABLE

scenario "program in D:\\ and no helper at D:\\chipset: nothing started, no wait"
lay_disc "$DISC" .
map_drive D "$DISC"
rm -rf "$DISC/chipset" "$WINEPREFIX/drive_c/csb.log"
run_program 'D:\hdasetup.exe' -S
check "exit code" 0 "$EXIT_CODE"
check "helper not started" 0 "$(count_logged helper-start)"
check "marker still written" 40 "$(stat -c %s "$WINEPREFIX/drive_c/csb.log" 2>/dev/null)"

finish
