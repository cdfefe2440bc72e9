// Fuzzes the base directory and the install helper's command line over arbitrary program
// directories and device names, in code pages 1252 and 932, on 32- and 64-bit hosts.
// Nothing may overrun the installer state, and a started command line holds whole pieces
// in at most 511 characters.
#include "fuzz/FuzzSupport.h"

namespace {
enum Flags : uint8_t {
    FLAG_WOW64 = 2,
    FLAG_DEBUG = 4,
    FLAG_THROUGH_RUN = 8, // the directory comes from the module path, through RunInstall
};

// The program's directory as the run sequence derives it: up to its last backslash.
std::string DirectoryOf(const std::string& path, bool bDbcs) {
    std::vector<size_t> slashes = fuzz::Backslashes(path, bDbcs);
    return slashes.empty() ? std::string() : path.substr(0, slashes.back() + 1);
}

// Two levels up: cut just after the third backslash from the end, or keep it all.
std::string BaseOf(const std::string& exeDir, bool bDbcs) {
    std::vector<size_t> slashes = fuzz::Backslashes(exeDir, bDbcs);
    if (slashes.size() < 3)
        return exeDir;
    return exeDir.substr(0, slashes[slashes.size() - 3] + 1);
}

std::string NoZeros(std::string text) {
    for (char& c : text)
        if (c == '\0')
            c = '\\';
    return text;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const fuzz::CFlags flags(input);
    const bool bDbcs = flags(fuzz::FLAG_DBCS);
    const bool bWow64 = flags(FLAG_WOW64);
    const bool bDebug = flags(FLAG_DEBUG);
    const size_t nPattern = input.ConsumeIntegralInRange<size_t>(0, HARDWARE_ID_COUNT - 1);
    const std::string path = NoZeros(input.ConsumeRandomLengthString(700));
    const std::string before = NoZeros(input.ConsumeRandomLengthString(300));
    const std::string subkey =
        before + fuzz::HARDWARE_IDS[nPattern] + NoZeros(input.ConsumeRemainingBytesAsString());

    CMemoryHost host;
    host.SetCodePage(bDbcs ? 932 : 1252);
    host.m_bWow64 = bWow64 ? TRUE : FALSE;
    host.AddDirectory("C:\\WINDOWS\\SysWow64");
    host.m_subkeys = {subkey};
    g_pfnIsWow64Process = LookUpIsWow64Process(host);
    CInstallApp app(host);

    std::string exeDir = DirectoryOf(path, bDbcs);
    // Whether the driver step runs at all: through the run sequence, only from a folder.
    bool bDriverStep = true;
    if (flags(FLAG_THROUGH_RUN)) {
        host.m_strModulePath = path;
        app.Run(nullptr, bDebug ? "-S DEBUG" : "-S");
        // A path of 512 bytes or more fills the module path read and is cut: it names no
        // folder, and neither does one without a backslash; nothing built on it runs. A
        // directory that does not fit is left empty.
        if (path.size() >= 512)
            exeDir.clear();
        bDriverStep = !exeDir.empty();
        if (exeDir.size() >= EXE_DIR_SIZE)
            exeDir.clear();
        FUZZ_CHECK(exeDir == app.m_szExeDir);
    } else {
        app.Run(nullptr, ""); // the patterns
        if (exeDir.empty() || exeDir.size() >= EXE_DIR_SIZE)
            return 0;
        std::memcpy(app.m_szExeDir, exeDir.c_str(), exeDir.size() + 1);
        app.m_bDebug = bDebug ? 1 : 0;
        host.m_launches.clear();
        app.InstallHdmiDriver();
    }

    FUZZ_CHECK(fuzz::Terminated(app.m_szDevicePath, DEVICE_PATH_SIZE));
    FUZZ_CHECK(fuzz::Terminated(app.m_szExeDir, EXE_DIR_SIZE));
    for (size_t i = 0; i < HARDWARE_ID_COUNT; ++i)
        FUZZ_CHECK(std::strcmp(app.m_szHardwareId[i], fuzz::HARDWARE_IDS[i]) == 0);

    const std::string device = bDriverStep ? fuzz::DevicePathFor(subkey, bDbcs) : std::string();
    FUZZ_CHECK(device == app.m_szDevicePath);

    std::vector<CMemoryHost::Launch> helpers;
    for (const CMemoryHost::Launch& launch : host.m_launches)
        if (launch.show == SW_HIDE)
            helpers.push_back(launch);

    const std::string base = BaseOf(exeDir, bDbcs);
    const std::string title = base + (bWow64 ? disc::HELPER_64 : disc::HELPER_32);
    const std::string command =
        title + " " + base + (bWow64 ? disc::INF_64 : disc::INF_32) + " \"" + device + "\"";
    const bool bStarts = !device.empty() && !exeDir.empty() && command.size() <= 511;
    FUZZ_CHECK(helpers.size() == (bStarts ? 1u : 0u));
    if (bStarts) {
        FUZZ_CHECK(helpers[0].commandLine == command && helpers[0].program == title);
        FUZZ_CHECK(helpers[0].show == SW_HIDE);
        FUZZ_CHECK(host.m_findWindowTitles.size() == 1 && host.m_findWindowTitles[0] == title);
    }
    // The debug boxes are the plain ones: the application's own boxes carry an icon, and
    // a caption that is the program's file name, which may read "debug_aa" too.
    std::vector<CMemoryHost::Box> debugBoxes;
    for (const CMemoryHost::Box& box : host.m_boxes)
        if (box.type == MB_OK)
            debugBoxes.push_back(box);
    FUZZ_CHECK(debugBoxes.size() == (bStarts && bDebug ? 2u : 0u));
    if (!debugBoxes.empty()) {
        FUZZ_CHECK(debugBoxes[0].caption == "debug_run" && debugBoxes[0].text == command);
        FUZZ_CHECK(debugBoxes[1].caption == "debug_aa" && debugBoxes[1].text == title);
    }
    return 0;
}
