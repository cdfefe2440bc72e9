// Classifies the running Windows into an OsCode and, on 5.0 and 5.1, its service pack.
#include "setup/InstallApp.h"

#include <cstring>

// A record it cannot classify leaves out, and a text it cannot read leaves m_nServicePack,
// as the caller set them: RunInstall's defaults then choose (VersionTest's UNTOUCHED, KEPT).
void CInstallApp::GetOsVersion(OsCode& out) {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = OSVERSIONINFOA_SIZE;
    if (!m_host.GetVersionExA(&info))
        return;

    // The field is 128 bytes; a system that fills it without a zero is still read safely.
    const void* pEnd = std::memchr(info.szCSDVersion, '\0', sizeof(info.szCSDVersion));
    const CAnsiString strServicePack(info.szCSDVersion,
                                     pEnd ? static_cast<const char*>(pEnd) - info.szCSDVersion
                                          : sizeof(info.szCSDVersion));

    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        out = OS_WIN32S;
        return;

    case VER_PLATFORM_WIN32_WINDOWS: {
        bool bAbove40 =
            info.dwMajorVersion > 4 || (info.dwMajorVersion == 4 && info.dwMinorVersion != 0);
        if (!bAbove40) {
            out = OS_WIN95;
            return;
        }
        // Windows 9x keeps the version in the high half of the build field.
        WORD wBuild = static_cast<WORD>(info.dwBuildNumber & 0xFFFF);
        if (wBuild > 2222)
            out = OS_WINME;
        else if (wBuild == 2222)
            out = OS_WIN98SE;
        else
            out = OS_WIN98;
        return;
    }

    case VER_PLATFORM_WIN32_NT:
        break;

    default:
        return;
    }

    if (info.dwMajorVersion == 3 || info.dwMajorVersion == 4) {
        out = OS_WINNT;
        return;
    }
    if (info.dwMajorVersion != 5)
        return;

    // The whole text is compared exactly: a trailing blank or lower case is another text. A
    // 5.0 record with build 2222 or above, or a 5.1 with 2222 or below, is neither release
    // and stays unclassified, so 2000's package is started for it.
    switch (info.dwMinorVersion) {
    case 0:
        if (info.dwBuildNumber >= 2222)
            return;
        out = OS_WIN2000;
        if (std::strcmp(strServicePack.c_str(), "Service Pack 4") == 0)
            m_nServicePack = 4;
        return;

    case 1:
        if (info.dwBuildNumber <= 2222)
            return;
        out = OS_WINXP;
        if (strServicePack.empty())
            m_nServicePack = 0;
        else if (std::strcmp(strServicePack.c_str(), "Service Pack 1") == 0)
            m_nServicePack = 1;
        else if (std::strcmp(strServicePack.c_str(), "Service Pack 2") == 0)
            m_nServicePack = 2;
        return;

    case 2:
        out = OS_WIN2003;
        return;

    default:
        return;
    }
}
