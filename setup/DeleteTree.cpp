// Empties a directory tree, removing each subfolder as soon as it is empty. Every failure
// is silent.
//
// The tree lies where ordinary users may create folders, and the walk runs with an
// administrator's rights. On Windows, whoever made the tree cannot lead the walk out of it;
// three rules see to that:
// - Below the top, nothing is reached by a path. Win32 reads a path afresh at every call, so
//   a folder made a junction and undone again between stepping into it and checking where
//   the walk stands would go unseen. Each folder is held by a handle and listed through it,
//   and each entry is opened relative to that handle without following a link: ntdll has
//   done both since Windows 2000, and Win32 there has no way to.
// - Only names the A calls could reach are handled, as they always were. Win32 drops
//   trailing dots and blanks ("sub " is "sub", "..." is "."), and the ANSI code page turns
//   characters it lacks into look-alikes (a full-width backslash into "\"), so such names
//   are left alone; they keep their folder, and the marker. A name Win32 reads as a device
//   ("nul.txt", "COM1") is only a name to a relative open, and goes like any other; a folder
//   of such a name is not entered, and goes only when it is empty.
// - What an entry is, is decided from a handle on the entry itself, opened without delete
//   sharing, and that handle removes it: nothing can take its place in between. A folder's
//   handle stays open while the walk is inside, so no one can rename, delete or replace the
//   folder meanwhile.
// What remains possible on Windows, and why:
// - A held folder that is empty can be made a junction in place: that needs only the right
//   to write attributes, which sharing does not govern. Its handle still lists the folder's
//   own entries, of which a junction has none, and it is removed as the link it now is.
// - A folder is removed through a second handle, opened once the one that held it is
//   closed (Windows would not let the walk open it for deleting beside its own hold). In
//   that gap the name can be given to another entry; what the second handle removes is then
//   still a name in this folder, a link as itself and a folder only when it is empty.
// - The top is opened by the path the caller gives, with Win32's reading of it.
// Wine, where the program is tested, keeps none of these promises for Unix symbolic links:
// it lists a link to a file as a plain file and opens it as its target, and opens a link to
// a folder as a plain folder, whatever the open asks. A link made in the tree, or swapped in
// during the walk, is followed there; the one thing the walk can still see, a folder listed
// as a link and opened as a plain one, it leaves alone.
#include "setup/InstallApp.h"

#include "host/AnsiText.h"
#include "host/FilePaths.h"

#include <cstddef>
#include <cstring>

namespace {
// How deep the walk goes, in the lengths of the paths it would have had to name: a folder
// up to 255 characters is entered further, and one as deep as a current directory could be
// (MAX_PATH less the backslash and the zero Windows adds) is emptied; deeper folders stay as
// they are, and the recursion stays shallow. A relative top needs the current directory,
// which must then fit 255 characters.
const DWORD SAVED_DIR_SIZE = 256;
const size_t CURRENT_DIR_MAX = MAX_PATH - 2;

// No more than deciding needs, so that a file administrators may delete but not read, or a
// folder its owner will not let them list, is still judged and removed. Attributes tell what
// an entry is. Holding a folder takes traverse as well: Windows leaves a handle that only
// reads attributes out of the sharing check, and traverse counts there as reading does.
// Listing through the handle needs the right to list; a folder that may not be listed is
// held without it. SYNCHRONIZE lets each call on a handle wait for its own answer.
const DWORD HOLD_ACCESS = FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const DWORD LIST_ACCESS = HOLD_ACCESS | FILE_LIST_DIRECTORY;
const DWORD REMOVE_ACCESS = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const DWORD ENTRY_SHARING = FILE_SHARE_READ | FILE_SHARE_WRITE;
const ULONG CHILD_OPTIONS =
    FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;

// One listed entry at a time, with room for the 255 characters a file system allows in a
// name; a longer one ends the listing. Its ANSI form takes at most two bytes a character.
const ULONG NAME_CHARS = 260;
const ULONG ANSI_NAME_SIZE = 2 * NAME_CHARS + 1;
union ListedEntry {
    FILE_BOTH_DIR_INFORMATION info;
    BYTE bytes[offsetof(FILE_BOTH_DIR_INFORMATION, FileName) + NAME_CHARS * sizeof(WCHAR)];
};

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

// The name as FindFirstFileA lists it, when the A calls could reach the entry by it: not
// when it converts back to another name, nor when it is too long for them.
bool ReachableName(CHost& host, const UNICODE_STRING& name, char (&szName)[ANSI_NAME_SIZE]) {
    ULONG nBytes = 0;
    host.RtlUnicodeToMultiByteN(szName, ANSI_NAME_SIZE - 1, &nBytes, name.Buffer, name.Length);
    if (nBytes >= MAX_PATH)
        return false;
    szName[nBytes] = '\0';
    WCHAR szBack[NAME_CHARS];
    ULONG nBack = 0;
    host.RtlMultiByteToUnicodeN(szBack, sizeof(szBack), &nBack, szName, nBytes);
    return nBack == name.Length && std::memcmp(szBack, name.Buffer, nBack) == 0;
}

// Whether an entry goes, from what its own handle says and what the listing said.
bool IsRemovable(DWORD dwAttributes, DWORD dwListedAttributes, bool bFolderOnly) {
    // A junction or link goes as itself; its target is not ours.
    if (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) || !bFolderOnly;
    // Listed as a link, opened as something else: Wine opens a Unix symbolic link as its
    // target even when asked not to follow it, and removing it would remove the target.
    if (dwListedAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return false;
    // A folder goes only when it is empty, which Windows checks.
    return (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) || !bFolderOnly;
}

// The handle, once it has said what it is; closed when it cannot.
HANDLE Described(CHost& host, HANDLE hEntry, BY_HANDLE_FILE_INFORMATION& info) {
    if (!host.GetFileInformationByHandle(hEntry, &info)) {
        host.CloseHandle(hEntry);
        return INVALID_HANDLE_VALUE;
    }
    return hEntry;
}

// The top, by its path, as itself: a link not followed.
HANDLE OpenEntry(CHost& host, const char* lpPath, DWORD dwAccess,
                 BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE hEntry =
        host.CreateFileA(lpPath, dwAccess, ENTRY_SHARING, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hEntry == INVALID_HANDLE_VALUE)
        return hEntry;
    return Described(host, hEntry, info);
}

HANDLE OpenChild(CHost& host, HANDLE hFolder, const UNICODE_STRING& name, DWORD dwAccess,
                 BY_HANDLE_FILE_INFORMATION& info) {
    UNICODE_STRING objectName = name;
    OBJECT_ATTRIBUTES attributes;
    InitRelativeName(attributes, hFolder, &objectName);
    IO_STATUS_BLOCK io;
    HANDLE hEntry = INVALID_HANDLE_VALUE;
    if (!NT_SUCCESS(
            host.NtOpenFile(&hEntry, dwAccess, &attributes, &io, ENTRY_SHARING, CHILD_OPTIONS)))
        return INVALID_HANDLE_VALUE;
    return Described(host, hEntry, info);
}

// Removes an entry named relative to a held folder as what its own handle says it is, through
// that handle.
void RemoveChild(CHost& host, HANDLE hFolder, const UNICODE_STRING& name, DWORD dwListedAttributes,
                 bool bFolderOnly) {
    BY_HANDLE_FILE_INFORMATION info;
    HANDLE hEntry = OpenChild(host, hFolder, name, REMOVE_ACCESS, info);
    if (hEntry == INVALID_HANDLE_VALUE)
        return;
    if (IsRemovable(info.dwFileAttributes, dwListedAttributes, bFolderOnly)) {
        // Goes when this handle is closed; Windows refuses a read-only file or a folder
        // that is not empty, as DeleteFileA and RemoveDirectoryA do.
        FILE_DISPOSITION_INFORMATION disposition = {TRUE};
        IO_STATUS_BLOCK io;
        host.NtSetInformationFile(hEntry, &io, &disposition, sizeof(disposition),
                                  FileDispositionInformation);
    }
    host.CloseHandle(hEntry);
}

void EmptyFolder(CHost& host, HANDLE hFolder, size_t nPathLength, UNICODE_STRING& mask);

// Holds a folder, empties it through its handle and removes it; nPathLength is how long its
// path is.
void WalkFolder(CHost& host, HANDLE hParent, const UNICODE_STRING& name, size_t nPathLength,
                UNICODE_STRING& mask) {
    BY_HANDLE_FILE_INFORMATION here;
    bool bListable = true;
    HANDLE hHere = OpenChild(host, hParent, name, LIST_ACCESS, here);
    if (hHere == INVALID_HANDLE_VALUE) {
        bListable = false;
        hHere = OpenChild(host, hParent, name, HOLD_ACCESS, here);
    }
    if (hHere == INVALID_HANDLE_VALUE) {
        // Not even a folder that cannot be entered is left for that alone.
        RemoveChild(host, hParent, name, FILE_ATTRIBUTE_DIRECTORY, true);
        return;
    }
    // Listed as a folder, opened as something else: the listing is out of date, and what
    // stands there now is not the walk's to judge.
    const bool bPlain = IsPlainFolder(here.dwFileAttributes);
    if (bPlain && bListable && nPathLength <= CURRENT_DIR_MAX)
        EmptyFolder(host, hHere, nPathLength, mask);
    // The handle holds the folder against its own removal too.
    host.CloseHandle(hHere);
    if (bPlain)
        RemoveChild(host, hParent, name, FILE_ATTRIBUTE_DIRECTORY, true);
}

void EmptyFolder(CHost& host, HANDLE hFolder, size_t nPathLength, UNICODE_STRING& mask) {
    ListedEntry entry;
    char szName[ANSI_NAME_SIZE];
    CAnsiText text(host);
    IO_STATUS_BLOCK io;
    // A failure, the end of the listing included, ends the walk of this folder.
    while (NT_SUCCESS(host.NtQueryDirectoryFile(hFolder, nullptr, nullptr, nullptr, &io, &entry,
                                                sizeof(entry), FileBothDirectoryInformation, TRUE,
                                                &mask, FALSE))) {
        if (entry.info.FileNameLength > NAME_CHARS * sizeof(WCHAR))
            break;
        const WORD nNameBytes = static_cast<WORD>(entry.info.FileNameLength);
        const UNICODE_STRING name = {nNameBytes, nNameBytes, entry.info.FileName};
        if (!ReachableName(host, name, szName) || !IsPlainName(text, szName))
            continue;
        const DWORD dwListed = entry.info.FileAttributes;
        if (IsDeviceName(text, szName)) {
            if (nPathLength < SAVED_DIR_SIZE)
                RemoveChild(host, hFolder, name, dwListed, false);
        } else if (IsPlainFolder(dwListed)) {
            if (nPathLength < SAVED_DIR_SIZE)
                WalkFolder(host, hFolder, name, nPathLength + 1 + std::strlen(szName), mask);
        } else {
            RemoveChild(host, hFolder, name, dwListed, false);
        }
    }
}

} // namespace

void CInstallApp::DeleteTree(const char* lpDirectory, const char* lpPattern) {
    if (std::strcmp(lpDirectory, ".") == 0 || std::strcmp(lpDirectory, "..") == 0)
        return;

    // A full path is walked as it stands. A relative name is joined to the current directory,
    // to tell how deep the walk goes and to remove the top by its full path.
    const bool bFullPath = IsDriveRootPath(lpDirectory);
    CAnsiString strRemove;
    if (!bFullPath) {
        char szSaved[SAVED_DIR_SIZE];
        const DWORD dwLen = m_host.GetCurrentDirectoryA(SAVED_DIR_SIZE, szSaved);
        // A result of the buffer's size or more is the size Windows would need: the buffer
        // then holds no path.
        if (dwLen == 0 || dwLen >= SAVED_DIR_SIZE)
            return;
        strRemove = szSaved;
        if (CAnsiText(m_host).ReverseFindChar(szSaved, '\\') != static_cast<int>(dwLen) - 1)
            strRemove += '\\';
    }
    strRemove += lpDirectory;

    BY_HANDLE_FILE_INFORMATION here;
    bool bListable = true;
    HANDLE hHere = OpenEntry(m_host, lpDirectory, LIST_ACCESS, here);
    if (hHere == INVALID_HANDLE_VALUE) {
        bListable = false;
        hHere = OpenEntry(m_host, lpDirectory, HOLD_ACCESS, here);
    }
    // A folder given by its full path stays for the caller to remove.
    const bool bRemoveTop =
        !bFullPath && (hHere == INVALID_HANDLE_VALUE || IsPlainFolder(here.dwFileAttributes));
    if (hHere != INVALID_HANDLE_VALUE) {
        WCHAR szMask[MAX_PATH];
        UNICODE_STRING mask;
        if (IsPlainFolder(here.dwFileAttributes) && bListable &&
            strRemove.size() <= CURRENT_DIR_MAX &&
            MakeSearchMask(m_host, lpPattern, szMask, MAX_PATH, mask))
            EmptyFolder(m_host, hHere, strRemove.size(), mask);
        m_host.CloseHandle(hHere);
    }
    // Not even a folder that cannot be entered is left for that alone: removing takes only
    // an empty folder or a link.
    if (bRemoveTop)
        m_host.RemoveDirectoryA(strRemove.c_str());
}
