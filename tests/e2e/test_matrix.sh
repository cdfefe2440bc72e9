# The package each Windows version gets, under Wine: Wine's named versions from NT 4.0 and
# the 9x line to Windows 10, and exact version records at the bounds of the classification
# (XP x64 is in test_wow64.sh). Each row first checks that Wine reports the record meant.
source "$(dirname "$0")/lib.sh"

PROGRAM='D:\Drivers\Audio\hdasetup.exe'
export HDA_PACKAGE_MS=0

DISC=$SCRATCH/disc
lay_disc "$DISC"

# reported: the version record a program gets, as "PLATFORM MAJOR MINOR BUILD|TEXT".
reported() { hda_os_version | tr '\t' '|'; }

# expect_package WHAT RECORD PACKAGE: Wine reports RECORD, and a silent run starts PACKAGE.
expect_package() {
    check "$1: Wine reports" "$2" "$(reported)"
    run_program "$PROGRAM" -S
    check "$1: package" "D:\\Drivers\\Audio\\$3$HDA_QUIET" "$(logged package-start)"
}
package_named() { local name=HDA_PACKAGE_$1; printf '%s' "${!name}"; }

use_prefix win32 win32
hda_map_drive D "$DISC"
hda_set_functions # an empty HDAUDIO key: no helper and no box, only the package

scenario "Wine's named versions"
while IFS='|' read -r preset numbers text package; do
    hda_set_windows "$preset"
    expect_package "$preset" "$numbers|$text" "$(package_named "$package")"
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
    hda_set_windows "$version" "$build" "$text"
    expect_package "$version.$build \"$text\"" "2 ${version/./ } $build|$text" "$(package_named "$package")"
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
finish
