// Clears whatever stands at the completion marker's path and writes the 40-byte marker.
#include "setup/InstallApp.h"

#include "setup/DiscFacts.h"

#include <cstring>

namespace {

bool IsDriveRoot(const char* psz) {
    char c = psz[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && psz[1] == ':' && psz[2] == '\\';
}
} // namespace

void CInstallApp::WriteFinishLog() {
    // Without a readable Windows directory that starts at a drive root there is no
    // marker path, and guessing one could delete a stranger's file: do nothing.
    char szWindowsDir[WINDOWS_DIR_SIZE] = {};
    UINT uLen = m_host.GetWindowsDirectoryA(szWindowsDir, WINDOWS_DIR_OFFERED);
    if (uLen == 0 || uLen >= WINDOWS_DIR_OFFERED || !IsDriveRoot(szWindowsDir))
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
            RemoveEntry(strMarker.c_str(), dwListed);
        }
    }

    HdaStream* pStream = m_host.OpenStream(strMarker.c_str(), "wb");
    if (pStream == nullptr)
        return;
    m_host.WriteStream(disc::MARKER_TEXT, 1, sizeof(disc::MARKER_TEXT) - 1, pStream);
    m_host.CloseStream(pStream);
}
