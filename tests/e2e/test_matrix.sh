# The package each Windows version gets, under Wine: Wine's named versions from NT 4.0 and
# the 9x line to Windows 10 (XP x64 in a 64-bit prefix), and exact version records at the
# bounds of the classification. Each row first checks that Wine reports the record meant.
source "$(dirname "$0")/lib.sh"

PROGRAM='D:\Drivers\Audio\hdasetup.exe'
export HDA_PACKAGE_MS=0

PROBE=$SCRATCH/osversion.exe
mkdir -p "$SCRATCH"
i686-w64-mingw32-g++ -O2 -static -o "$PROBE" "$REPO/tools/lib/osversion.cpp"
DISC=$SCRATCH/disc
lay_disc "$DISC"

# reported: the version record a 32-bit program gets, as "PLATFORM MAJOR MINOR BUILD|TEXT".
reported() { wine "$(winpath "$PROBE")" | tr -d '\r' | tr '\t' '|'; }

# set_record MAJOR.MINOR BUILD TEXT: the exact record, in one registry import (each
# `wine reg` call costs a Wine start).
set_record() {
    local reg=$SCRATCH/version.reg
    printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine]' '"Version"=-' '' \
        '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion]' \
        "\"CurrentVersion\"=\"$1\"" "\"CurrentBuildNumber\"=\"$2\"" "\"CSDVersion\"=\"$3\"" \
        "\"CurrentMajorVersionNumber\"=dword:$(printf %08x "${1%%.*}")" \
        "\"CurrentMinorVersionNumber\"=dword:$(printf %08x "${1##*.}")" >"$reg"
    wine regedit /S "$(winpath "$reg")"
}

# expect_package WHAT RECORD PACKAGE: Wine reports RECORD, and a silent run starts PACKAGE.
expect_package() {
    check "$1: Wine reports" "$2" "$(reported)"
    run_program "$PROGRAM" -S
    check "$1: package" "D:\\Drivers\\Audio\\$3 /quiet /o" "$(logged package-start)"
}

W2KSP4='Win2K_XP\us\KB888111W2KSP4.exe'
XPSP1='Win2K_XP\us\KB888111XPSP1.exe'
XPSP2='Win2K_XP\us\KB888111XPSP2.exe'
SRVRTM='Win2K3\us\KB888111Srvrtm.exe'

use_prefix win32 win32
map_drive D "$DISC"
set_functions # an empty HDAUDIO key: no helper and no box, only the package

scenario "Wine's named versions"
while IFS='|' read -r preset numbers text package; do
    set_version "$preset"
    expect_package "$preset" "$numbers|$text" "${!package}"
done <<'TABLE'
win2k|2 5 0 2195|Service Pack 4|W2KSP4
winxp|2 5 1 2600|Service Pack 3|XPSP2
win2003|2 5 2 3790|Service Pack 2|SRVRTM
nt40|2 4 0 1381|Service Pack 6a|W2KSP4
win95|1 4 0 67109814||W2KSP4
win98|1 4 10 67766446| A |W2KSP4
winme|1 4 90 73010104| |W2KSP4
win10|2 6 2 9200||W2KSP4
TABLE

scenario "exact records at the bounds"
while IFS='|' read -r version build text package; do
    set_record "$version" "$build" "$text"
    expect_package "$version.$build \"$text\"" "2 ${version/./ } $build|$text" "${!package}"
done <<'TABLE'
5.0|2221|Service Pack 4|W2KSP4
5.0|2222|Service Pack 4|W2KSP4
5.1|2222|Service Pack 1|W2KSP4
5.1|2223|Service Pack 1|XPSP1
5.1|2600|Service Pack 1|XPSP1
5.1|2600|Service Pack 1 |XPSP2
5.1|2600|service pack 1|XPSP2
5.1|2600||XPSP2
5.1|2600|Service Pack 2|XPSP2
5.2|3790||SRVRTM
TABLE
set_version winxp
stop_wine

use_prefix win64 win64
map_drive D "$DISC"
set_functions

scenario "XP x64 in a 64-bit prefix"
set_version winxp64
expect_package winxp64 '2 5 2 3790|Service Pack 2' "$SRVRTM"

finish
