// Fuzzes the option search over whole command lines as GetCommandLineA returns them, in
// code pages 1252 and 932: the first input byte picks the code page, the rest is the line.
#include "fuzz/FuzzSupport.h"

namespace {
// What follows the program's name: a quoted name ends at its closing quote, any other at
// the first character of code 32 or below; the blanks behind it are skipped.
std::string OptionsOf(const std::string& line) {
    size_t pos = 0;
    if (!line.empty() && line[0] == '"') {
        size_t close = line.find('"', 1);
        pos = close == std::string::npos ? line.size() : close + 1;
    } else {
        while (pos < line.size() && static_cast<unsigned char>(line[pos]) > ' ')
            ++pos;
    }
    while (pos < line.size() && static_cast<unsigned char>(line[pos]) <= ' ')
        ++pos;
    return line.substr(pos);
}

std::string UpperSingleBytes(const std::string& text, bool bDbcs) {
    std::string upper = text;
    for (size_t pos : fuzz::CharStarts(text, bDbcs)) {
        bool bDouble = pos + 1 < text.size() && fuzz::IsLeadByte(bDbcs, text[pos]);
        if (!bDouble && upper[pos] >= 'a' && upper[pos] <= 'z')
            upper[pos] = static_cast<char>(upper[pos] - 'a' + 'A');
    }
    return upper;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool bDbcs = (data[0] & 1) != 0;
    const std::string line =
        fuzz::UpToZero(std::string(reinterpret_cast<const char*>(data + 1), size - 1));

    CMemoryHost host;
    host.SetCodePage(bDbcs ? 932 : 1252);
    g_pfnIsWow64Process = LookUpIsWow64Process(host);
    host.m_strCommandLine = line;
    CInstallApp app(host);

    FUZZ_CHECK(app.Run(nullptr, CWinApp::SkipProgramName(host.GetCommandLineA())) == 0);

    const std::string options = OptionsOf(line);
    FUZZ_CHECK(options == app.CmdLine());
    const std::string upper = UpperSingleBytes(options, bDbcs);
    const bool bSilent = fuzz::ContainsAtBoundary(upper, "-S", bDbcs);
    const bool bDebug = fuzz::ContainsAtBoundary(upper, "DEBUG", bDbcs);
    FUZZ_CHECK(app.m_bDebug == (bDebug ? 1 : 0));

    // The options choose only the mode: the package is the one for the host's XP SP3.
    const std::string package =
        std::string("D:\\Drivers\\Audio\\") + disc::PACKAGE_FOLDER_XP + disc::PACKAGE_FILE_XPSP2;
    const std::string marker = std::string("C:\\") + disc::MARKER_NAME;
    FUZZ_CHECK(!host.m_launches.empty());
    const CMemoryHost::Launch& first = host.m_launches.front();
    if (bSilent) {
        FUZZ_CHECK(first.show == SW_SHOWNORMAL);
        FUZZ_CHECK(first.commandLine == std::string("D:\\Drivers\\Audio\\") +
                                            disc::PACKAGE_FOLDER_XP +
                                            disc::PACKAGE_FILE_XPSP2_SILENT);
        FUZZ_CHECK(host.FileData(marker).size() == sizeof(disc::MARKER_TEXT) - 1);
    } else {
        FUZZ_CHECK(host.m_launches.size() == 1);
        FUZZ_CHECK(first.show == SW_SHOW && first.program == package);
        FUZZ_CHECK(first.commandLine == package);
        FUZZ_CHECK(!host.Exists(marker));
    }
    FUZZ_CHECK(host.m_boxes.empty());
    return 0;
}
