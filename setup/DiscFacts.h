// The driver disc as the program sees it: the codecs it looks for, every path it builds,
// and the marker it leaves. The one source of these facts: the program and the fuzz
// targets include this file, and the build writes disc-facts.sh from it for the scripts
// (cmake/DiscFacts.cmake reads the lines below, so each fact stays one plain
// `constexpr char NAME[] = "...";` line).
#pragma once

namespace disc {
// The HD-audio functions of the three HDMI audio codecs, matched anywhere in a registry
// name, in the order they are tried.
constexpr char CODEC_1095_1390[] = "FUNC_01&VEN_1095&DEV_1390";
constexpr char CODEC_1095_1392[] = "FUNC_01&VEN_1095&DEV_1392";
constexpr char CODEC_17E8_0047[] = "FUNC_01&VEN_17E8&DEV_0047";
constexpr char HDAUDIO_KEY[] = "SYSTEM\\CurrentControlSet\\Enum\\HDAUDIO";

// The bus-driver hotfix packages, below the program's folder: a folder and the first
// part of the file name, then the file for interactive mode or, as a whole text of its
// own, the file with the silent options.
constexpr char PACKAGE_FOLDER_2003[] = "Win2K3\\us\\KB888111";
constexpr char PACKAGE_FOLDER_XP[] = "Win2K_XP\\us\\KB888111";
constexpr char PACKAGE_FILE_SRVRTM[] = "Srvrtm.exe";
constexpr char PACKAGE_FILE_SRVRTM_SILENT[] = "Srvrtm.exe /quiet /o";
constexpr char PACKAGE_FILE_XPSP1[] = "XPSP1.exe";
constexpr char PACKAGE_FILE_XPSP1_SILENT[] = "XPSP1.exe /quiet /o";
constexpr char PACKAGE_FILE_XPSP2[] = "XPSP2.exe";
constexpr char PACKAGE_FILE_XPSP2_SILENT[] = "XPSP2.exe /quiet /o";
constexpr char PACKAGE_FILE_W2KSP4[] = "W2KSP4.exe";
constexpr char PACKAGE_FILE_W2KSP4_SILENT[] = "W2KSP4.exe /quiet /o";

// The install helper and the HDMI audio INF file, below the disc's base folder, for a
// 32-bit and for a 64-bit Windows.
constexpr char HELPER_32[] = "chipset\\inshelp\\install.exe";
constexpr char HELPER_64[] = "chipset\\inshelp\\ins64.exe";
constexpr char INF_32[] = "chipset\\Vga\\Intel\\WIN2K_XP\\Graphics\\HDMI\\intchdmi.inf";
constexpr char INF_64[] = "chipset\\Vga\\Intel\\WIN2K_XP\\winxp64\\HDMI\\intchdmi.inf";

// The completion marker at the root of the Windows drive, and its exact text.
constexpr char MARKER_NAME[] = "csb.log";
constexpr char MARKER_TEXT[] = "Sorvel MS HD BUS driver install finished";
} // namespace disc
