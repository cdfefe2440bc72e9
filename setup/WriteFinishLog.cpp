// Clears whatever stands at the completion marker's path and writes the 40-byte marker.
#include "app/InstallApp.h"

#include <cstring>

namespace {
const size_t WINDOWS_DIR_SIZE = 256;
const char MARKER_NAME[] = "csb.log";
const char MARKER_TEXT[] = "Sorvel MS HD BUS driver install finished";

bool IsDriveRoot(const char* psz) {
    char c = psz[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && psz[1] == ':' && psz[2] == '\\';
}
} // namespace

void CInstallApp::WriteFinishLog() {
    // Without a readable Windows directory that starts at a drive root there is no
    // marker path, and guessing one could delete a stranger's file: do nothing.
    char szWindowsDir[WINDOWS_DIR_SIZE] = {};
    UINT uLen = m_host.GetWindowsDirectoryA(szWindowsDir, WINDOWS_DIR_SIZE - 1);
    if (uLen == 0 || uLen >= WINDOWS_DIR_SIZE - 1 || !IsDriveRoot(szWindowsDir))
        return;

    CAnsiString strMarker(szWindowsDir, 3);
    strMarker += MARKER_NAME;

    WIN32_FIND_DATAA findData;
    HANDLE hFind = m_host.FindFirstFileA(strMarker.c_str(), &findData);
    if (hFind != INVALID_HANDLE_VALUE) {
        const DWORD dwListed = findData.dwFileAttributes;
        m_host.FindClose(hFind);
        // The walk opens the folder itself and empties it only when that handle says it is
        // a plain folder; anything else is decided from a handle as well. RemoveDirectoryA
        // removes only an empty folder or a link, whatever stands there by then.
        if ((dwListed & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
            FILE_ATTRIBUTE_DIRECTORY) {
            DeleteTree(strMarker.c_str(), "*.*");
            m_host.RemoveDirectoryA(strMarker.c_str());
        } else {
            RemoveEntry(strMarker.c_str(), dwListed);
        }
    }

    HdaStream* pStream = m_host.OpenStream(strMarker.c_str(), "wb");
    if (pStream == nullptr)
        return;
    m_host.WriteStream(MARKER_TEXT, 1, sizeof(MARKER_TEXT) - 1, pStream);
    m_host.CloseStream(pStream);
}
