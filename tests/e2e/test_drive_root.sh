# shellcheck shell=bash
# A disc at a drive root, under Wine: D: is the disc folder, and the program lies two levels
# down (D:\Drivers\Audio\), one level down (D:\Audio\) or at the root itself (D:\); the
# packages come from its own folder and the helper from two levels up, or from the
# folder itself when there are no two levels above it.
# prefix: win32 win32
source "$(dirname "$0")/lib.sh"

FUNCTION=$(hda_function "${HDA_CODECS[2]}")
export HDA_PACKAGE_MS=0 HDA_HELPER_MS=300

use_prefix
hda_set_windows winxp
hda_set_functions "$FUNCTION"
DISC=$SCRATCH/disc

# PROGRAM_FOLDER|PROGRAM'S DIRECTORY|BASE
while IFS='|' read -r folder exe_dir base; do
    scenario "program in $exe_dir"
    lay_disc "$DISC" "$folder"
    hda_map_drive D "$DISC"
    rm -f "$WINEPREFIX/drive_c/$HDA_MARKER_NAME"
    run_program "${exe_dir}hdasetup.exe" -S
    check "package" "${exe_dir}$HDA_PACKAGE_XPSP2$HDA_QUIET" "$(logged package-start)"
    check "helper command line" "${base}$HDA_HELPER_32 ${base}$HDA_INF_32 \"HDAUDIO\\$FUNCTION\"" \
        "$(logged helper-start)"
    check "helper window title" "${base}$HDA_HELPER_32" "$(logged helper-window)"
    check "waited until the helper's window was gone" 1 "$(count_logged helper-end)"
    check "marker written" "$HDA_MARKER_TEXT" \
        "$(cat "$WINEPREFIX/drive_c/$HDA_MARKER_NAME" 2>/dev/null)"
done <<'TABLE'
Drivers/Audio|D:\Drivers\Audio\|D:\
Audio|D:\Audio\|D:\Audio\
.|D:\|D:\
TABLE

scenario "program in D:\\ and no helper at D:\\chipset: nothing started, no wait"
lay_disc "$DISC" .
hda_map_drive D "$DISC"
rm -rf "${DISC:?}/${HDA_HELPER_32%%\\*}" "$WINEPREFIX/drive_c/$HDA_MARKER_NAME"
run_program 'D:\hdasetup.exe' -S
check "helper not started" 0 "$(count_logged helper-start)"
check "marker still written" ${#HDA_MARKER_TEXT} "$(stat -c %s "$WINEPREFIX/drive_c/$HDA_MARKER_NAME" 2>/dev/null)"

finish
