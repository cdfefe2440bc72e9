// Clears whatever stands at the completion marker's path and writes the 40-byte marker.
#include "setup/InstallApp.h"

#include "host/FilePaths.h"
#include "setup/DiscFacts.h"

#include <cstring>

namespace {
// Read attributes too: what the handle is, is decided from the handle.
const DWORD MARKER_ACCESS = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
// The sharing a "wb" stream has: other programs may read and write the marker meanwhile.
const DWORD MARKER_SHARING = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Removes what stands at the path, not a plain folder, as what a handle on it says it is: a
// link as itself. A folder listed as a link and opened as a plain one is Wine's way with a
// Unix link, which removing would remove the target of.
void RemoveEntry(CHost& host, const char* lpPath, DWORD dwListedAttributes) {
    HANDLE hEntry =
        host.CreateFileA(lpPath, FILE_READ_ATTRIBUTES, MARKER_SHARING, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hEntry == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info;
    const bool bKnown = host.GetFileInformationByHandle(hEntry, &info) != FALSE;
    host.CloseHandle(hEntry);
    if (!bKnown || ((dwListedAttributes & ~info.dwFileAttributes) & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        host.RemoveDirectoryA(lpPath);
    else
        host.DeleteFileA(lpPath);
}

// The marker file, opened for writing only when it can be nothing but the marker.
HANDLE OpenMarker(CHost& host, const char* lpPath) {
    // A file this run creates can hold nothing but the marker. Not following a link, the
    // create fails on whatever stands at the path, a link or a device included.
    HANDLE hFile = host.CreateFileA(lpPath, MARKER_ACCESS, MARKER_SHARING, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile != INVALID_HANDLE_VALUE)
        return hFile;

    // An entry that could not be cleared: written only when the handle says it is a plain,
    // writable file and that no other name shares it (a hard link would carry the marker
    // into a file elsewhere). Opened without truncating, and cut through this same handle.
    // Windows refuses to open a read-only file for writing; Wine, run as root, does not.
    hFile = host.CreateFileA(lpPath, MARKER_ACCESS, MARKER_SHARING, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return hFile;
    BY_HANDLE_FILE_INFORMATION info;
    const bool bOwn =
        host.GetFileInformationByHandle(hFile, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                  FILE_ATTRIBUTE_READONLY)) == 0 &&
        info.nNumberOfLinks == 1 && host.SetEndOfFile(hFile);
    if (!bOwn) {
        host.CloseHandle(hFile);
        return INVALID_HANDLE_VALUE;
    }
    return hFile;
}
} // namespace

void CInstallApp::WriteFinishLog() {
    // Without a readable Windows directory that starts at a drive root there is no
    // marker path, and guessing one could delete a stranger's file: do nothing.
    char szWindowsDir[WINDOWS_DIR_SIZE] = {};
    UINT uLen = m_host.GetWindowsDirectoryA(szWindowsDir, WINDOWS_DIR_OFFERED);
    if (uLen == 0 || uLen >= WINDOWS_DIR_OFFERED || !IsDriveRootPath(szWindowsDir))
        return;

    CAnsiString strMarker(szWindowsDir, 3);
    strMarker += disc::MARKER_NAME;

    DWORD dwListed = 0;
    if (LookUpEntry(m_host, strMarker.c_str(), dwListed)) {
        // The walk opens the folder itself and empties it only when that handle says it is
        // a plain folder; anything else is decided from a handle as well. RemoveDirectoryA
        // removes only an empty folder or a link, whatever stands there by then.
        if ((dwListed & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
            FILE_ATTRIBUTE_DIRECTORY) {
            DeleteTree(strMarker.c_str(), "*.*");
            m_host.RemoveDirectoryA(strMarker.c_str());
        } else {
            RemoveEntry(m_host, strMarker.c_str(), dwListed);
        }
    }

    HANDLE hMarker = OpenMarker(m_host, strMarker.c_str());
    if (hMarker == INVALID_HANDLE_VALUE)
        return;
    // The stream holds the bytes and hands them to the system at the close.
    HdaStream* pStream = m_host.AttachStream(hMarker, "wb");
    if (pStream == nullptr)
        return;
    m_host.WriteStream(disc::MARKER_TEXT, 1, sizeof(disc::MARKER_TEXT) - 1, pStream);
    m_host.CloseStream(pStream);
}
