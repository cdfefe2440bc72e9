// Empties a directory tree through the process's current directory, removing each
// subdirectory as soon as it is empty. Every failure is silent.
#include "app/InstallApp.h"

#include <cstring>

namespace {
// Paths of up to 255 characters; a deeper current directory is not walked at all.
const DWORD SAVED_DIR_SIZE = 256;
} // namespace

void CInstallApp::DeleteTree(const char* lpDirectory, const char* lpPattern) {
    char szSaved[SAVED_DIR_SIZE];
    DWORD dwLen = m_host.GetCurrentDirectoryA(SAVED_DIR_SIZE, szSaved);
    // A result of the buffer's size or more is the size Windows would need: the buffer then
    // holds no path, and there would be nothing to come back to.
    if (dwLen == 0 || dwLen >= SAVED_DIR_SIZE)
        return;

    CAnsiString strRemove = szSaved;
    strRemove += '\\';
    strRemove += lpDirectory;

    if (std::strcmp(lpDirectory, ".") == 0 || std::strcmp(lpDirectory, "..") == 0)
        return;

    if (!m_host.SetCurrentDirectoryA(lpDirectory))
        return;

    WIN32_FIND_DATAA findData;
    HANDLE hFind = m_host.FindFirstFileA(lpPattern, &findData);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (findData.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A junction or directory link leads out of the tree: walking it would
                // empty a folder that is not ours. Only the link itself is removed, which
                // leaves its target untouched; if that fails, the link stays.
                if (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    m_host.RemoveDirectoryA(findData.cFileName);
                else
                    m_host.DeleteFileA(findData.cFileName);
            } else if (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(findData.cFileName, lpPattern);
            } else {
                m_host.DeleteFileA(findData.cFileName);
            }
        } while (m_host.FindNextFileA(hFind, &findData));
        m_host.FindClose(hFind);
    }

    m_host.SetCurrentDirectoryA(szSaved);
    m_host.RemoveDirectoryA(strRemove.c_str());
}
