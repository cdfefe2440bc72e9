// Empties a directory tree through the process's current directory, removing each
// subdirectory as soon as it is empty. Every failure is silent.
//
// The tree lies where ordinary users may create folders, and the walk runs with an
// administrator's rights, so whoever made the tree must not be able to lead the walk out of
// it. Three rules see to that:
// - A listed name is handed back to Windows only when it can mean nothing but itself.
//   Win32 drops trailing dots and blanks ("sub " is "sub", "..." is "."), and the ANSI
//   listing turns characters it cannot show into look-alikes (a full-width backslash comes
//   back as "\"), so such names are left alone; they keep their folder, and the marker.
//   A name that Win32 reads as a device wherever it stands ("nul.txt", "COM1") is never
//   handed back as it is: opening it would open the device. It is removed through the
//   literal form (\\?\) of its full path, once that path is proved to lead to the held
//   folder; a folder of such a name is not entered, and goes only when it is empty.
// - What an entry is, is decided from a handle on the entry itself, opened without
//   following a link and without delete sharing. A folder's handle stays open while the
//   walk is inside, so no one can rename, delete or replace that folder meanwhile.
// - After stepping into a folder, and after every subfolder, the walk checks that the
//   current directory is the very folder it decided on (volume and file index). It climbs
//   back by the absolute path it came from, never by "..", and every folder of the tree
//   on that path is held as above.
// What remains possible, and why:
// - A file or a link is removed by name after its handle is closed: Windows refuses to
//   delete what a handle without delete sharing holds, and deleting through a handle
//   needs Vista. In that gap the name can be given to another entry. DeleteFileA neither
//   follows a link nor removes a folder, and RemoveDirectoryA removes only a link or an
//   empty folder, so what either can remove is still a name in this folder.
// - A held folder that is empty can be made a junction in place: that needs only the
//   right to write attributes, which sharing does not govern. The check after stepping in
//   sees it. A junction made and undone again between SetCurrentDirectoryA and that check
//   would not be seen, since Windows resolves relative names through the handle that
//   SetCurrentDirectoryA opened, and nothing in Windows 2000's Win32 can compare that
//   handle; closing it needs opens relative to a folder handle (NtCreateFile).
#include "setup/InstallApp.h"

#include "host/AnsiText.h"

#include <cstring>

namespace {
// Paths of up to 255 characters; a deeper current directory is not walked at all.
const DWORD SAVED_DIR_SIZE = 256;

// No more than deciding needs, so that a file administrators may delete but not read, or a
// folder its owner will not let them list, is still judged and removed. Attributes tell what
// an entry is. Holding a folder takes traverse as well: Windows leaves a handle that only
// reads attributes out of the sharing check, and traverse, which entering needs anyway,
// counts there as reading does.
const DWORD ENTRY_ACCESS = FILE_READ_ATTRIBUTES;
const DWORD HOLD_ACCESS = FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
const DWORD ENTRY_SHARING = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Characters that no Win32 name holds: a listed name with one of them is a stand-in for
// something the ANSI code page cannot show, and would be read as a path or a stream.
const char NOT_IN_NAMES[] = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F"
                            "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F"
                            "\"*/:<>?\\|";

bool IsPlainName(const CAnsiText& text, const char* pszName) {
    const size_t nLength = std::strlen(pszName);
    if (nLength == 0 || text.FindOneOf(pszName, NOT_IN_NAMES) >= 0)
        return false;
    // A trail byte is 0x40 or above in every ANSI code page, so the last byte tells. This
    // also turns away "." and "..".
    const char last = pszName[nLength - 1];
    return last != '.' && last != ' ';
}

bool SameLetters(const char* pszName, const char* pszUpper, size_t nLength) {
    for (size_t i = 0; i < nLength; ++i) {
        const char c = pszName[i] >= 'a' && pszName[i] <= 'z' ? pszName[i] - 'a' + 'A' : pszName[i];
        if (c != pszUpper[i])
            return false;
    }
    return true;
}

// Win32 reads these as devices in any folder, in any case, with any extension and with
// blanks before it; kernel32 itself opens the console for CONIN$ and CONOUT$. They are all
// ASCII, and no trail byte is a dot, so the first dot ends the stem in every code page.
bool IsDeviceName(const CAnsiText& text, const char* pszName) {
    if (SameLetters(pszName, "CONIN$", 7) || SameLetters(pszName, "CONOUT$", 8))
        return true;
    const int nDot = text.FindChar(pszName, '.');
    size_t nStem = nDot >= 0 ? static_cast<size_t>(nDot) : std::strlen(pszName);
    while (nStem > 0 && pszName[nStem - 1] == ' ')
        --nStem;
    if (nStem == 3)
        return SameLetters(pszName, "CON", 3) || SameLetters(pszName, "PRN", 3) ||
               SameLetters(pszName, "AUX", 3) || SameLetters(pszName, "NUL", 3);
    return nStem == 4 && (SameLetters(pszName, "COM", 3) || SameLetters(pszName, "LPT", 3)) &&
           pszName[3] >= '1' && pszName[3] <= '9';
}

bool IsPlainFolder(DWORD dwAttributes) {
    return (dwAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
           FILE_ATTRIBUTE_DIRECTORY;
}

bool SameEntry(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
} // namespace

HANDLE CInstallApp::OpenEntry(const char* lpPath, BY_HANDLE_FILE_INFORMATION& info, bool bHold) {
    HANDLE hEntry = m_host.CreateFileA(
        lpPath, bHold ? HOLD_ACCESS : ENTRY_ACCESS, ENTRY_SHARING, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hEntry == INVALID_HANDLE_VALUE)
        return hEntry;
    if (!m_host.GetFileInformationByHandle(hEntry, &info)) {
        m_host.CloseHandle(hEntry);
        return INVALID_HANDLE_VALUE;
    }
    return hEntry;
}

bool CInstallApp::IsCurrentDirectory(const BY_HANDLE_FILE_INFORMATION& here) {
    // "." is opened following a link, as SetCurrentDirectoryA followed it: a folder that
    // became a junction shows its target here, not itself.
    HANDLE hNow = m_host.CreateFileA(".", FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hNow == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION now;
    const bool bSame = m_host.GetFileInformationByHandle(hNow, &now) && SameEntry(now, here);
    m_host.CloseHandle(hNow);
    return bSame;
}

void CInstallApp::RemoveEntry(const char* lpPath, DWORD dwListedAttributes) {
    BY_HANDLE_FILE_INFORMATION info;
    HANDLE hEntry = OpenEntry(lpPath, info);
    if (hEntry == INVALID_HANDLE_VALUE)
        return;
    m_host.CloseHandle(hEntry);

    const DWORD dwAttributes = info.dwFileAttributes;
    if (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A junction or link goes as itself; its target is not ours.
        if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)
            m_host.RemoveDirectoryA(lpPath);
        else
            m_host.DeleteFileA(lpPath);
    } else if (dwListedAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // Listed as a link, opened as something else: Wine opens a Unix symbolic link as
        // its target even when asked not to follow it, and removing it by name would
        // remove the target. Left alone.
    } else if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        m_host.RemoveDirectoryA(lpPath); // goes only when it is empty
    } else {
        m_host.DeleteFileA(lpPath);
    }
}

void CInstallApp::RemoveDeviceNamed(const BY_HANDLE_FILE_INFORMATION& here, const char* lpName,
                                    DWORD dwListedAttributes) {
    char szHere[SAVED_DIR_SIZE];
    const DWORD dwLen = m_host.GetCurrentDirectoryA(SAVED_DIR_SIZE, szHere);
    if (dwLen == 0 || dwLen >= SAVED_DIR_SIZE || !IsDriveRootPath(szHere))
        return;
    // The literal path is read from the drive's root, not through the current directory's
    // handle: it must lead to the folder held. Every folder of the tree on it is held
    // without delete sharing and is not empty, so none can be renamed or made a junction.
    CAnsiString strPath = "\\\\?\\";
    strPath += szHere;
    BY_HANDLE_FILE_INFORMATION there;
    HANDLE hThere = OpenEntry(strPath.c_str(), there);
    if (hThere == INVALID_HANDLE_VALUE)
        return;
    m_host.CloseHandle(hThere);
    if (!SameEntry(there, here))
        return;
    CAnsiText text(m_host);
    if (text.ReverseFindChar(szHere, '\\') != static_cast<int>(dwLen) - 1)
        strPath += '\\';
    strPath += lpName;
    RemoveEntry(strPath.c_str(), dwListedAttributes);
}

void CInstallApp::EmptyCurrentDirectory(const BY_HANDLE_FILE_INFORMATION& here,
                                        const char* lpPattern) {
    WIN32_FIND_DATAA findData;
    HANDLE hFind = m_host.FindFirstFileA(lpPattern, &findData);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    CAnsiText text(m_host);
    do {
        if (!IsPlainName(text, findData.cFileName))
            continue;
        if (IsDeviceName(text, findData.cFileName)) {
            RemoveDeviceNamed(here, findData.cFileName, findData.dwFileAttributes);
        } else if (IsPlainFolder(findData.dwFileAttributes)) {
            DeleteTree(findData.cFileName, lpPattern);
            // Not back where it was: every further name would be read somewhere else.
            if (!IsCurrentDirectory(here))
                break;
        } else {
            RemoveEntry(findData.cFileName, findData.dwFileAttributes);
        }
    } while (m_host.FindNextFileA(hFind, &findData));
    m_host.FindClose(hFind);
}

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

    BY_HANDLE_FILE_INFORMATION here;
    HANDLE hHere = OpenEntry(lpDirectory, here, true);
    if (hHere == INVALID_HANDLE_VALUE) {
        // Not even a folder that cannot be entered is left for that alone: removing takes
        // only an empty folder or a link.
        m_host.RemoveDirectoryA(strRemove.c_str());
        return;
    }
    const bool bEntered =
        IsPlainFolder(here.dwFileAttributes) && m_host.SetCurrentDirectoryA(lpDirectory);
    if (bEntered) {
        if (IsCurrentDirectory(here))
            EmptyCurrentDirectory(here, lpPattern);
        m_host.SetCurrentDirectoryA(szSaved);
    }
    // The handle holds the folder against its own removal too.
    m_host.CloseHandle(hHere);
    if (IsPlainFolder(here.dwFileAttributes))
        m_host.RemoveDirectoryA(strRemove.c_str());
}
