// The run sequence: options, installer state, package choice and the steps of each mode.
#include "setup/InstallApp.h"

#include "host/AnsiText.h"
#include "setup/DiscFacts.h"

namespace {
const char* const HARDWARE_IDS[HARDWARE_ID_COUNT] = {
    disc::CODEC_1095_1390,
    disc::CODEC_1095_1392,
    disc::CODEC_17E8_0047,
};

struct PackageRow {
    const char* pszFolderAndPrefix;
    const char* pszInteractive;
    const char* pszSilent;
};

const PackageRow PACKAGE_WIN2003 = {disc::PACKAGE_FOLDER_2003, disc::PACKAGE_FILE_SRVRTM,
                                    disc::PACKAGE_FILE_SRVRTM_SILENT};
const PackageRow PACKAGE_XPSP1 = {disc::PACKAGE_FOLDER_XP, disc::PACKAGE_FILE_XPSP1,
                                  disc::PACKAGE_FILE_XPSP1_SILENT};
const PackageRow PACKAGE_XPSP2 = {disc::PACKAGE_FOLDER_XP, disc::PACKAGE_FILE_XPSP2,
                                  disc::PACKAGE_FILE_XPSP2_SILENT};
const PackageRow PACKAGE_W2KSP4 = {disc::PACKAGE_FOLDER_XP, disc::PACKAGE_FILE_W2KSP4,
                                   disc::PACKAGE_FILE_W2KSP4_SILENT};

const PackageRow& ChoosePackage(OsCode code, int32_t nServicePack) {
    if (code == OS_WIN2003)
        return PACKAGE_WIN2003;
    if (code == OS_WINXP)
        return nServicePack == 1 ? PACKAGE_XPSP1 : PACKAGE_XPSP2;
    return PACKAGE_W2KSP4;
}
} // namespace

bool CInstallApp::RunInstall() {
    m_bDebug = 0;
    bool bSilent = false;

    for (size_t i = 0; i < HARDWARE_ID_COUNT; ++i)
        CopyWhole(m_szHardwareId[i], HARDWARE_ID_SIZE, HARDWARE_IDS[i]);

    CAnsiText text(m_host);
    CAnsiString strWork = CmdLine();
    // Found anywhere in the text, not as words: whatever callers already pass keeps its
    // meaning ("x-sy" is silent and "nodebug" debug in OptionsTest).
    text.MakeUpper(strWork.data());
    if (text.Find(strWork.c_str(), "-S") >= 0)
        bSilent = true;
    if (text.Find(strWork.c_str(), "DEBUG") >= 0)
        m_bDebug = 1;

    m_host.InitCommonControls();

    char szModulePath[MODULE_PATH_SIZE] = {};
    const DWORD dwLen = ReadModulePath(nullptr, szModulePath);
    // A failed call, a path cut to the buffer, or one without a folder names no disc: a
    // package or helper joined to it would be taken from the current directory or from a
    // cut folder. Nothing built on the program's own folder runs then; the marker does not
    // need it, and a silent run still ends with it, as when the package cannot start.
    const int nLastSlash =
        (dwLen == 0 || dwLen >= MODULE_PATH_SIZE) ? -1 : text.ReverseFindChar(szModulePath, '\\');
    if (nLastSlash < 0) {
        if (bSilent)
            WriteFinishLog();
        return false;
    }
    strWork = szModulePath;
    strWork.Truncate(static_cast<size_t>(nLastSlash + 1));

    // A directory too long for m_szExeDir leaves it empty, which the driver step takes
    // as "no disc layout to use"; the package still gets the full directory below.
    CopyWhole(m_szExeDir, EXE_DIR_SIZE, strWork);

    m_nServicePack = 0;
    OsCode code = OS_UNKNOWN;
    GetOsVersion(code);

    const PackageRow& package = ChoosePackage(code, m_nServicePack);
    strWork += package.pszFolderAndPrefix;
    // The program is the interactive file: the silent text is that name and the options.
    CAnsiString strProgram = strWork;
    strProgram += package.pszInteractive;
    strWork += bSilent ? package.pszSilent : package.pszInteractive;

    if (!bSilent) {
        StartProgram(strProgram.c_str(), strWork.c_str(), SW_SHOW);
        return false;
    }

    RunAndWait(strProgram.c_str(), strWork.c_str());
    InstallHdmiDriver();
    WriteFinishLog();
    return false;
}
