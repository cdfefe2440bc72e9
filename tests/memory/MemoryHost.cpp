// The in-memory Windows: behaves like the real API wherever the install steps rely on it.
// This part: start-up, the module and IsWow64Process, the version and the Windows
// directory. Files, the registry, and processes and windows each have a file of their own.
#include "tests/memory/MemoryHost.h"

#include <cstring>
#include <set>

namespace {
const HMODULE KERNEL32 = reinterpret_cast<HMODULE>(0x7C800000);

// Each in-memory Windows is a process of its own, and its process handle names it: the
// IsWow64Process it hands out answers for whichever one's handle it is given.
std::set<const CMemoryHost*>& LiveHosts() {
    static std::set<const CMemoryHost*> hosts;
    return hosts;
}

BOOL WINAPI MemoryIsWow64Process(HANDLE hProcess, PBOOL pbWow64) {
    auto* pHost = static_cast<CMemoryHost*>(hProcess);
    if (LiveHosts().count(pHost) == 0)
        return FALSE; // ERROR_INVALID_HANDLE: the flag is left as it was
    *pbWow64 = pHost->m_bWow64;
    return TRUE;
}
} // namespace

CMemoryHost::CMemoryHost() {
    LiveHosts().insert(this);
    SetVersion(VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 3");
    AddDirectory("C:\\WINDOWS\\system32");
}

CMemoryHost::~CMemoryHost() {
    LiveHosts().erase(this);
}

void CMemoryHost::SetVersion(DWORD dwPlatformId, DWORD dwMajor, DWORD dwMinor, DWORD dwBuild,
                             const std::string& strServicePack) {
    std::memset(&m_version, 0, sizeof(m_version));
    m_version.dwPlatformId = dwPlatformId;
    m_version.dwMajorVersion = dwMajor;
    m_version.dwMinorVersion = dwMinor;
    m_version.dwBuildNumber = dwBuild;
    std::strncpy(m_version.szCSDVersion, strServicePack.c_str(),
                 sizeof(m_version.szCSDVersion) - 1);
}

// --- Start-up -----------------------------------------------------------------------

LPSTR CMemoryHost::GetCommandLineA() {
    return &m_strCommandLine[0];
}

HMODULE CMemoryHost::GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName != nullptr && SameName(lpModuleName, "kernel32"))
        return KERNEL32;
    return nullptr;
}

FARPROC CMemoryHost::GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (hModule == KERNEL32 && m_bHasIsWow64Process &&
        std::strcmp(lpProcName, "IsWow64Process") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&MemoryIsWow64Process));
    return nullptr;
}

DWORD CMemoryHost::GetModuleFileNameA(HMODULE, LPSTR lpFilename, DWORD nSize) {
    if (m_bModuleFileNameFails)
        return 0;
    // As on Windows 2000 and XP: a path that does not fit is cut to nSize bytes and left
    // without a terminating zero.
    if (m_strModulePath.size() >= nSize) {
        std::memcpy(lpFilename, m_strModulePath.data(), nSize);
        return nSize;
    }
    std::memcpy(lpFilename, m_strModulePath.c_str(), m_strModulePath.size() + 1);
    return static_cast<DWORD>(m_strModulePath.size());
}

UINT CMemoryHost::SetErrorMode(UINT uMode) {
    m_errorModes.push_back(uMode);
    UINT uOld = m_errorModes.size() > 1 ? m_errorModes[m_errorModes.size() - 2] : 0x0004;
    return uOld;
}

void CMemoryHost::InitCommonControls() {
    ++m_nInitCommonControls;
    m_events.push_back("InitCommonControls");
}

BOOL CMemoryHost::IsDBCSLeadByte(BYTE b) {
    return LeadByte(b) ? TRUE : FALSE;
}

bool CMemoryHost::LeadByte(BYTE b) const {
    return m_uCodePage == 932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

// --- Version and directories ----------------------------------------------------------

BOOL CMemoryHost::GetVersionExA(OSVERSIONINFOA* lpVersionInformation) {
    m_dwVersionSizeSeen = lpVersionInformation->dwOSVersionInfoSize;
    if (m_bVersionFails || lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return FALSE;
    *lpVersionInformation = m_version;
    lpVersionInformation->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return TRUE;
}

UINT CMemoryHost::GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    ++m_nWindowsDirReads;
    if (m_bWindowsDirFails)
        return 0;
    if (m_strWindowsDir.size() + 1 > uSize)
        return static_cast<UINT>(m_strWindowsDir.size() + 1);
    std::memcpy(lpBuffer, m_strWindowsDir.c_str(), m_strWindowsDir.size() + 1);
    return static_cast<UINT>(m_strWindowsDir.size());
}
