// The in-memory Windows' registry: the HD-audio enumeration key and its subkeys.
#include "tests/memory/MemoryHost.h"

#include <algorithm>
#include <cstring>

namespace {
const HKEY HDA_KEY = reinterpret_cast<HKEY>(0x2222);

unsigned char Upper(char c) {
    return static_cast<unsigned char>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
}
} // namespace

// --- Registry -------------------------------------------------------------------------

LONG CMemoryHost::RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    m_events.push_back(std::string("RegOpenKeyA ") + lpSubKey);
    if (hKey != HKEY_LOCAL_MACHINE ||
        !SameName(lpSubKey, "SYSTEM\\CurrentControlSet\\Enum\\HDAUDIO") || !m_bHdaKeyExists)
        return ERROR_FILE_NOT_FOUND;
    if (m_lOpenError != ERROR_SUCCESS)
        return m_lOpenError;
    ++m_nOpenKeys;
    *phkResult = HDA_KEY;
    return ERROR_SUCCESS;
}

LONG CMemoryHost::RegQueryInfoKeyA(HKEY hKey, LPSTR, LPDWORD, LPDWORD, LPDWORD lpcSubKeys, LPDWORD,
                                   LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, PFILETIME) {
    if (hKey != HDA_KEY)
        return 6; // ERROR_INVALID_HANDLE
    if (m_lQueryError != ERROR_SUCCESS)
        return m_lQueryError;
    if (lpcSubKeys != nullptr)
        *lpcSubKeys = static_cast<DWORD>(m_subkeys.size());
    return ERROR_SUCCESS;
}

LONG CMemoryHost::RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    m_enumIndexes.push_back(dwIndex);
    if (hKey != HDA_KEY)
        return 6;
    if (static_cast<int>(dwIndex) == m_nEnumFailAt)
        return m_lEnumError;
    if (dwIndex >= m_subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    // As Windows: a name that does not fit fails the call and is not written.
    const std::string& name = m_subkeys[dwIndex];
    if (name.size() + 1 > cchName)
        return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
}

void CMemoryHost::AddSubkey(const std::string& name) {
    // Windows keeps subkeys sorted by their upper-case names, so "_" (0x5F) sorts after
    // the letters. Wine folds to lower case and sorts it before them; the contract tests
    // leave that one difference alone.
    auto before = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return Upper(x) < Upper(y); });
    };
    m_subkeys.insert(std::upper_bound(m_subkeys.begin(), m_subkeys.end(), name, before), name);
}

LONG CMemoryHost::RegCloseKey(HKEY hKey) {
    m_events.push_back("RegCloseKey");
    if (hKey != HDA_KEY || m_nOpenKeys == 0)
        return 6;
    --m_nOpenKeys;
    return ERROR_SUCCESS;
}
