# shellcheck shell=bash
# The driver disc as hdasetup.exe sees it, for the scripts: every path it builds, the codecs
# it looks for and the marker it writes. No path, codec or marker text is typed again here:
# the build writes disc-facts.sh from the program's own setup/DiscFacts.h, and this file
# only puts its pieces together. Paths are in the program's form (backslashes), relative to
# its folder (packages) or to the base folder two levels above it (helpers, INF files).
# hda_load_disc_facts FILE: the generated file of a build.
# shellcheck disable=SC2034 # its variables are for the scripts that source this file
hda_load_disc_facts() {
    # shellcheck disable=SC1090
    source "$1"
    # Packages in the order of the program's choice: Server 2003 / XP x64, XP SP1, other
    # XP, everything else. Silent mode adds HDA_QUIET.
    HDA_PACKAGE_SRVRTM=$HDA_PACKAGE_FOLDER_2003$HDA_PACKAGE_FILE_SRVRTM
    HDA_PACKAGE_XPSP1=$HDA_PACKAGE_FOLDER_XP$HDA_PACKAGE_FILE_XPSP1
    HDA_PACKAGE_XPSP2=$HDA_PACKAGE_FOLDER_XP$HDA_PACKAGE_FILE_XPSP2
    HDA_PACKAGE_W2KSP4=$HDA_PACKAGE_FOLDER_XP$HDA_PACKAGE_FILE_W2KSP4
    HDA_PACKAGES=("$HDA_PACKAGE_SRVRTM" "$HDA_PACKAGE_XPSP1" "$HDA_PACKAGE_XPSP2" "$HDA_PACKAGE_W2KSP4")
    HDA_QUIET=${HDA_PACKAGE_FILE_XPSP2_SILENT#"$HDA_PACKAGE_FILE_XPSP2"}
    HDA_CODECS=("$HDA_CODEC_1095_1390" "$HDA_CODEC_1095_1392" "$HDA_CODEC_17E8_0047")
}

# The captions of the boxes the program can show, typed again here (the program spells them
# in setup/InstallHdmiDriver.cpp and takes its title from its file's name): its two debug
# boxes, and its own title on the two registry failures.
# shellcheck disable=SC2034 # for the scripts that source this file
HDA_BOX_CAPTIONS=(debug_run debug_aa hdasetup)

# hda_function CODEC: a registry name Windows could give a function of that codec,
# "FUNC_01&VEN_1095&DEV_1392" giving "FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000".
hda_function() {
    local ven=${1#*VEN_} dev=${1#*DEV_}
    printf '%s&SUBSYS_%s%s&REV_1000' "$1" "${ven%%&*}" "$dev"
}

# hda_unix RELATIVE_WINDOWS_PATH: the same path with slashes, for laying a disc out.
hda_unix() { printf '%s' "${1//\\//}"; }
