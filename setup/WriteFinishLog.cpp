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
        DWORD dwAttributes = findData.dwFileAttributes;
        m_host.FindClose(hFind);
        if ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            m_host.DeleteFileA(strMarker.c_str());
        } else {
            // A junction or directory link at the marker path is removed as a link; its
            // target is not ours to empty.
            if ((dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
                DeleteTree(strMarker.c_str(), "*.*");
            m_host.RemoveDirectoryA(strMarker.c_str());
        }
    }

    HdaStream* pStream = m_host.OpenStream(strMarker.c_str(), "wb");
    if (pStream == nullptr)
        return;
    m_host.WriteStream(MARKER_TEXT, 1, sizeof(MARKER_TEXT) - 1, pStream);
    m_host.CloseStream(pStream);
}
