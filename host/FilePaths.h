// How the steps name files to Windows, built on the seam: a path that starts at a drive's
// root, one entry looked up by its path, a search pattern as a listing's mask, and a name
// relative to an open folder.
#pragma once

#include "host/Host.h"

#include <cstring>

// Whether a path starts at a drive's root, as C:\WINDOWS does: the only kind of path that the
// marker's and the walk's literal paths are built on.
inline bool IsDriveRootPath(const char* psz) {
    const char c = psz[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && psz[1] == ':' && psz[2] == '\\';
}

// Whether something stands at a path, and what the folder listing says it is: one search,
// closed at once. A wildcard in the path is the caller's to avoid.
inline bool LookUpEntry(CHost& host, const char* lpPath, DWORD& dwAttributes) {
    WIN32_FIND_DATAA findData;
    HANDLE hFind = host.FindFirstFileA(lpPath, &findData);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;
    dwAttributes = findData.dwFileAttributes;
    host.FindClose(hFind);
    return true;
}

// A search pattern as NtQueryDirectoryFile's mask: "*" and "?" as the native calls read them
// (any run of characters, and exactly one), and "*.*" as every name, as FindFirstFileA reads
// it. The A calls' other rules ("?" also matching nothing at a dot or the name's end, a dot
// before a wildcard also matching the end, a closing "*.") are not kept: the program gives the
// walk only "*.*" (the tests and fuzzers give it other masks, read by the native rules above),
// and Wine's listing keeps none of them. False for a pattern that does not fit nChars
// characters.
inline bool MakeSearchMask(CHost& host, const char* lpPattern, WCHAR* pBuffer, ULONG nChars,
                           UNICODE_STRING& mask) {
    const size_t nLength = std::strlen(lpPattern);
    if (nLength == 0 || nLength >= nChars)
        return false;
    ULONG nBytes = sizeof(WCHAR);
    pBuffer[0] = '*';
    if (std::strcmp(lpPattern, "*.*") != 0)
        host.RtlMultiByteToUnicodeN(pBuffer, nChars * sizeof(WCHAR), &nBytes, lpPattern,
                                    static_cast<ULONG>(nLength));
    mask.Buffer = pBuffer;
    mask.Length = static_cast<WORD>(nBytes);
    mask.MaximumLength = static_cast<WORD>(nChars * sizeof(WCHAR));
    return true;
}

// What NtOpenFile takes for a name relative to an open folder, any case matching. Field by
// field: the 64-bit record has padding between them.
inline void InitRelativeName(OBJECT_ATTRIBUTES& attributes, HANDLE hFolder, UNICODE_STRING* pName) {
    std::memset(&attributes, 0, sizeof(attributes));
    attributes.Length = sizeof(attributes);
    attributes.RootDirectory = hFolder;
    attributes.ObjectName = pName;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
}
