# The driver disc as hdasetup.exe sees it, for the scripts: every path it builds, the codecs
# it looks for and the marker it writes. The one shell copy of these facts; paths are in
# the program's own form (backslashes), relative to its folder (packages) or to the base
# folder two levels above it (helpers, INF files).

# Packages in the order of the program's choice: Server 2003 / XP x64, XP SP1, other XP,
# everything else. Silent mode adds HDA_QUIET.
HDA_PACKAGE_SRVRTM='Win2K3\us\KB888111Srvrtm.exe'
HDA_PACKAGE_XPSP1='Win2K_XP\us\KB888111XPSP1.exe'
HDA_PACKAGE_XPSP2='Win2K_XP\us\KB888111XPSP2.exe'
HDA_PACKAGE_W2KSP4='Win2K_XP\us\KB888111W2KSP4.exe'
HDA_PACKAGES=("$HDA_PACKAGE_SRVRTM" "$HDA_PACKAGE_XPSP1" "$HDA_PACKAGE_XPSP2" "$HDA_PACKAGE_W2KSP4")
HDA_QUIET=' /quiet /o'

# The install helper and its INF file on a 32-bit host, then on a 64-bit one.
HDA_HELPER_32='chipset\inshelp\install.exe'
HDA_HELPER_64='chipset\inshelp\ins64.exe'
HDA_INF_32='chipset\Vga\Intel\WIN2K_XP\Graphics\HDMI\intchdmi.inf'
HDA_INF_64='chipset\Vga\Intel\WIN2K_XP\winxp64\HDMI\intchdmi.inf'

HDA_KEY='HKLM\SYSTEM\CurrentControlSet\Enum\HDAUDIO'
HDA_CODECS=('FUNC_01&VEN_1095&DEV_1390' 'FUNC_01&VEN_1095&DEV_1392' 'FUNC_01&VEN_17E8&DEV_0047')

HDA_MARKER_NAME='csb.log'
HDA_MARKER_TEXT='Sorvel MS HD BUS driver install finished'

# The captions of the boxes the program can show: its two debug boxes, and its own title
# (the program file's name) on the two registry failures.
HDA_BOX_CAPTIONS=(debug_run debug_aa hdasetup)

# hda_function CODEC: a registry name Windows could give a function of that codec,
# "FUNC_01&VEN_1095&DEV_1392" giving "FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000".
hda_function() {
    local ven=${1#*VEN_} dev=${1#*DEV_}
    printf '%s&SUBSYS_%s%s&REV_1000' "$1" "${ven%%&*}" "$dev"
}

# hda_unix RELATIVE_WINDOWS_PATH: the same path with slashes, for laying a disc out.
hda_unix() { printf '%s' "${1//\\//}"; }
