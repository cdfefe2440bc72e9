# shellcheck shell=bash
# The package each Windows version gets, under Wine: Wine's named versions from NT 4.0 and
# the 9x line to Windows 10, and exact version records at the bounds of the classification
# (XP x64 is in test_wow64.sh). Each row first checks that Wine reports the record meant.
# prefix: win32 win32
source "$(dirname "$0")/lib.sh"

export HDA_PACKAGE_MS=0
standard_disc
hda_set_functions # an empty HDAUDIO key: no helper and no box, only the package

# VERSION|BUILD|TEXT|RECORD|PACKAGE: one of Wine's named versions (no BUILD), or an exact
# record; RECORD, what Wine then reports as "PLATFORM MAJOR MINOR BUILD" (for an exact record,
# derived); PACKAGE, the one a silent run starts.
scenario "Wine's named versions, and exact records at the bounds"
while IFS='|' read -r version build text record package; do
    if [ -n "$build" ]; then
        hda_set_windows "$version" "$build" "$text"
        record="2 ${version/./ } $build" version+=".$build \"$text\""
    else
        hda_set_windows "$version"
    fi
    check "$version: Wine reports" "$record|$text" "$(hda_os_version | tr '\t' '|')"
    run_program "$PROGRAM" -S
    package=HDA_PACKAGE_$package
    check "$version: package" "D:\\Drivers\\Audio\\${!package}$HDA_QUIET" "$(logged package-start)"
done <<'TABLE'
win2k||Service Pack 4|2 5 0 2195|W2KSP4
winxp||Service Pack 3|2 5 1 2600|XPSP2
win2003||Service Pack 2|2 5 2 3790|SRVRTM
nt40||Service Pack 6a|2 4 0 1381|W2KSP4
win95|||1 4 0 67109814|W2KSP4
win98|| A |1 4 10 67766446|W2KSP4
winme|| |1 4 90 73010104|W2KSP4
win10|||2 6 2 9200|W2KSP4
5.0|2221|Service Pack 4||W2KSP4
5.0|2222|Service Pack 4||W2KSP4
5.1|2222|Service Pack 1||W2KSP4
5.1|2223|Service Pack 1||XPSP1
5.1|2600|Service Pack 1||XPSP1
5.1|2600|Service Pack 1 ||XPSP2
5.1|2600|service pack 1||XPSP2
5.1|2600|||XPSP2
5.1|2600|Service Pack 2||XPSP2
5.2|3790|||SRVRTM
TABLE
finish
