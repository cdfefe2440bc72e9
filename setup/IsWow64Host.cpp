// Tells whether this 32-bit process runs on a 64-bit Windows.
#include "setup/InstallApp.h"

#include "host/FilePaths.h"

#include <cstring>

namespace {
const char SYSWOW64_SUFFIX[] = "\\SysWow64";
} // namespace

PFN_ISWOW64PROCESS LookUpIsWow64Process(CHost& host) {
    // The module handle is passed on unchecked: GetProcAddress fails on a null one too.
    FARPROC pfn = host.GetProcAddress(host.GetModuleHandleA("kernel32"), "IsWow64Process");
    // A generic function pointer in between tells the compiler the type change is meant.
    return reinterpret_cast<PFN_ISWOW64PROCESS>(reinterpret_cast<void (*)()>(pfn));
}

bool CInstallApp::IsWow64Host() {
    if (g_pfnIsWow64Process == nullptr)
        return false;

    BOOL bWow64 = FALSE;
    g_pfnIsWow64Process(m_host.GetCurrentProcess(), &bWow64);
    if (!bWow64)
        return false;

    // An unreadable Windows directory, or one that leaves no room for the suffix, cannot
    // name SysWow64: the host is taken as 32-bit.
    char szPath[WINDOWS_DIR_SIZE];
    UINT uLen = m_host.GetWindowsDirectoryA(szPath, WINDOWS_DIR_OFFERED);
    if (uLen == 0 || uLen + sizeof(SYSWOW64_SUFFIX) > WINDOWS_DIR_OFFERED)
        return false;
    std::memcpy(szPath + uLen, SYSWOW64_SUFFIX, sizeof(SYSWOW64_SUFFIX));

    DWORD dwAttributes = 0;
    return LookUpEntry(m_host, szPath, dwAttributes) &&
           (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
