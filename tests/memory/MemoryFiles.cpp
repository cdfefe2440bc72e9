// The in-memory Windows' files: a tree of folders, files, links and hard links with Win32's
// name rules and device names, relative names read against the current directory, the
// look-up of one entry, handles with sharing, the native calls and the C runtime's stream.
#include "tests/memory/MemoryHost.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char16_t Lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

const NTSTATUS STATUS_SUCCESS = 0;
const NTSTATUS STATUS_BUFFER_OVERFLOW = static_cast<NTSTATUS>(0x80000005);
const NTSTATUS STATUS_NO_MORE_FILES = static_cast<NTSTATUS>(0x80000006);
const NTSTATUS STATUS_INVALID_HANDLE = static_cast<NTSTATUS>(0xC0000008);
const NTSTATUS STATUS_INVALID_PARAMETER = static_cast<NTSTATUS>(0xC000000D);
const NTSTATUS STATUS_NO_SUCH_FILE = static_cast<NTSTATUS>(0xC000000F);
const NTSTATUS STATUS_ACCESS_DENIED = static_cast<NTSTATUS>(0xC0000022);
const NTSTATUS STATUS_OBJECT_NAME_INVALID = static_cast<NTSTATUS>(0xC0000033);
const NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = static_cast<NTSTATUS>(0xC0000034);
const NTSTATUS STATUS_SHARING_VIOLATION = static_cast<NTSTATUS>(0xC0000043);
const NTSTATUS STATUS_DELETE_PENDING = static_cast<NTSTATUS>(0xC0000056);
const NTSTATUS STATUS_DIRECTORY_NOT_EMPTY = static_cast<NTSTATUS>(0xC0000101);
const NTSTATUS STATUS_CANNOT_DELETE = static_cast<NTSTATUS>(0xC0000121);

// Double-byte characters of code page 932, as UTF-16 characters of their own.
const char16_t DOUBLE_BYTE_BASE = 0x4E00;
// Full-width forms of the ASCII characters from "!" to "~".
const char16_t FULL_WIDTH_FIRST = 0xFF01;
const char16_t FULL_WIDTH_LAST = 0xFF5E;
const char16_t FULL_WIDTH_BACKSLASH = 0xFF3C;
} // namespace

DWORD CMemoryHost::GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    if (m_strCurrentDir.size() + 1 > nBufferLength)
        return static_cast<DWORD>(m_strCurrentDir.size() + 1);
    std::memcpy(lpBuffer, m_strCurrentDir.c_str(), m_strCurrentDir.size() + 1);
    return static_cast<DWORD>(m_strCurrentDir.size());
}

// --- File tree ------------------------------------------------------------------------

bool CMemoryHost::SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool CMemoryHost::IsDevice(const std::string& name) {
    // Win2000's rule: the stem before the first dot, without trailing blanks, in any case.
    std::string stem = name.substr(0, name.find('.'));
    stem.erase(stem.find_last_not_of(' ') + 1);
    if (SameName(name, "conin$") || SameName(name, "conout$"))
        return true;
    for (const char* device : {"con", "prn", "aux", "nul"})
        if (SameName(stem, device))
            return true;
    const std::string head = stem.substr(0, 3);
    return stem.size() == 4 && (SameName(head, "com") || SameName(head, "lpt")) && stem[3] >= '1' &&
           stem[3] <= '9';
}

CMemoryHost::Path CMemoryHost::ParsePath(const std::string& text, bool bWin32) const {
    Path path;
    std::string rest;
    // The literal form: a full path taken as the file system holds it, and no device.
    if (text.compare(0, 4, "\\\\?\\") == 0) {
        if (text.size() < 7 || text[5] != ':' || text[6] != '\\')
            return path;
        return ParsePath(text.substr(4), false);
    }
    if (text.size() >= 2 && text[1] == ':') {
        if (text.size() > 2 && text[2] != '\\' && text[2] != '/')
            return path; // drive-relative paths are not used by the program
        path.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        rest = text.substr(2);
    } else {
        Path cwd = ParsePath(m_strCurrentDir, false);
        path = cwd;
        if (!text.empty() && (text[0] == '\\' || text[0] == '/'))
            path.parts.clear();
        rest = text;
    }
    std::string part;
    bool bBadChar = false;
    auto flush = [&]() -> bool {
        if (bWin32 && part != "." && part != "..") {
            // Win32 drops trailing blanks and dots from a name. Two dots that are left once
            // the blanks are gone name the parent, as Windows' documented rules read; Wine
            // keeps the folder itself there, and the contract tests accept either.
            const size_t nBlanks = part.find_last_not_of(' ');
            if (nBlanks != std::string::npos && part.compare(0, nBlanks + 1, "..") == 0)
                part = "..";
            else
                part.erase(part.find_last_not_of(". ") + 1);
        }
        if (part.empty() || (bWin32 && part == ".")) {
        } else if (bWin32 && part == "..") {
            if (!path.parts.empty())
                path.parts.pop_back();
        } else if (bBadChar) {
            return false;
        } else {
            path.parts.push_back(part);
        }
        part.clear();
        bBadChar = false;
        return true;
    };
    for (size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        // A path is read in Unicode: a double-byte character's second byte is never "\".
        if (LeadByte(static_cast<BYTE>(c)) && i + 1 < rest.size()) {
            part += rest.substr(i++, 2);
        } else if (c == '\\' || c == '/') {
            if (!flush())
                return path;
        } else {
            bBadChar = bBadChar || std::strchr(":*?\"<>|", c) != nullptr;
            part += c;
        }
    }
    if (!flush())
        return path;
    path.valid = true;
    path.device = bWin32 && !path.parts.empty() && IsDevice(path.parts.back());
    return path;
}

CMemoryHost::Node* CMemoryHost::Lookup(const Path& path, bool followLast, int depth) {
    if (!path.valid || depth > 8)
        return nullptr;
    auto drive = m_drives.find(path.drive);
    if (drive == m_drives.end())
        return nullptr;
    Node* node = drive->second.get();
    for (size_t i = 0; i < path.parts.size(); ++i) {
        if (!node->target.empty()) {
            node = Lookup(ParsePath(node->target, false), true, depth + 1);
            if (node == nullptr)
                return nullptr;
        }
        Node* next = nullptr;
        for (auto& child : node->children)
            if (SameName(child->name, path.parts[i]))
                next = child.get();
        if (next == nullptr)
            return nullptr;
        node = next;
    }
    if (followLast && !node->target.empty())
        return Lookup(ParsePath(node->target, false), true, depth + 1);
    return node;
}

CMemoryHost::Node* CMemoryHost::ParentOf(const Path& path) {
    if (!path.valid || path.parts.empty())
        return nullptr;
    Path parent = path;
    parent.parts.pop_back();
    Node* node = Lookup(parent, true);
    return (node != nullptr && node->IsDirectory()) ? node : nullptr;
}

CMemoryHost::Node* CMemoryHost::Create(const std::string& text, DWORD attributes) {
    Path path = ParsePath(text, false);
    auto& root = m_drives[path.drive];
    if (!root) {
        root.reset(new Node);
        root->drive = path.drive;
        root->index = m_nextIndex++;
        root->attributes = FILE_ATTRIBUTE_DIRECTORY;
    }
    Node* node = root.get();
    for (size_t i = 0; i < path.parts.size(); ++i) {
        Node* next = nullptr;
        for (auto& child : node->children)
            if (SameName(child->name, path.parts[i]))
                next = child.get();
        if (next == nullptr)
            next = NewChild(node, path.parts[i], FILE_ATTRIBUTE_DIRECTORY);
        node = next;
    }
    node->attributes = attributes;
    return node;
}

CMemoryHost::Node* CMemoryHost::NewChild(Node* parent, const std::string& name, DWORD attributes) {
    std::unique_ptr<Node> child(new Node);
    child->name = name;
    child->drive = parent->drive;
    child->index = m_nextIndex++;
    child->attributes = attributes;
    child->parent = parent;
    parent->children.push_back(std::move(child));
    return parent->children.back().get();
}

void CMemoryHost::AddListedAs(const std::string& folder, const std::u16string& name,
                              DWORD attributes) {
    Node* parent = Lookup(folder, false);
    if (parent == nullptr)
        parent = Create(folder, FILE_ATTRIBUTE_DIRECTORY);
    NewChild(parent, Ansi(name), attributes)->wide = name;
}

bool CMemoryHost::MoveEntry(const std::string& from, const std::string& to) {
    const Path target = ParsePath(to, false);
    Node* node = Lookup(ParsePath(from, false), false);
    Node* parent = ParentOf(target);
    if (node == nullptr || node->parent == nullptr || parent == nullptr ||
        parent->drive != node->drive || Lookup(target, false) != nullptr ||
        !Shares(node, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return false;
    for (Node* up = parent; up != nullptr; up = up->parent)
        if (up == node)
            return false; // not into itself
    std::unique_ptr<Node> moved = Take(node);
    moved->name = target.parts.back();
    moved->parent = parent;
    parent->children.push_back(std::move(moved));
    return true;
}

void CMemoryHost::Deny(const std::string& path, DWORD access) {
    FileOf(Lookup(path, false))->denied |= access;
}

void CMemoryHost::AddDirectory(const std::string& path, DWORD attributes) {
    Create(path, attributes | FILE_ATTRIBUTE_DIRECTORY)->target.clear();
}

void CMemoryHost::AddFile(const std::string& path, const std::string& data, DWORD attributes) {
    Create(path, attributes == 0 ? FILE_ATTRIBUTE_ARCHIVE : attributes)->data = data;
}

void CMemoryHost::AddLink(const std::string& path, const std::string& target, DWORD attributes) {
    Create(path, (attributes ? attributes : FILE_ATTRIBUTE_ARCHIVE) | FILE_ATTRIBUTE_REPARSE_POINT)
        ->target = target;
}

void CMemoryHost::AddUnixLink(const std::string& path, const std::string& target) {
    AddLink(path, target);
    Lookup(path, false)->unixLink = true;
}

void CMemoryHost::AddHardLink(const std::string& path, const std::string& existing) {
    Node* file = FileOf(Lookup(existing, false));
    Node* name = Create(path, file->attributes);
    name->file = file;
    ++file->links;
}

bool CMemoryHost::Exists(const std::string& path) {
    return Lookup(path, false) != nullptr;
}

std::string CMemoryHost::FileData(const std::string& path) {
    Node* node = Lookup(path, true);
    return node ? FileOf(node)->data : std::string();
}

void CMemoryHost::CollectTree(Node* node, const std::string& prefix,
                              std::vector<std::string>& out) {
    for (auto& child : node->children) {
        std::string name = prefix + child->name;
        if (child->IsDirectory()) {
            out.push_back(name + "\\");
            if (child->target.empty())
                CollectTree(child.get(), name + "\\", out);
        } else {
            out.push_back(name);
        }
    }
}

std::vector<std::string> CMemoryHost::Tree(const std::string& root) {
    std::vector<std::string> out;
    Node* node = Lookup(root, false);
    if (node != nullptr)
        CollectTree(node, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::unique_ptr<CMemoryHost::Node> CMemoryHost::Take(Node* node) {
    auto& siblings = node->parent->children;
    auto it = std::find_if(siblings.begin(), siblings.end(),
                           [node](const std::unique_ptr<Node>& p) { return p.get() == node; });
    std::unique_ptr<Node> taken = std::move(*it);
    siblings.erase(it);
    return taken;
}

void CMemoryHost::Detach(Node* node) {
    --FileOf(node)->links;
    m_removed.push_back(Take(node));
}

bool CMemoryHost::Shares(Node* node, DWORD access, DWORD share) {
    // Windows' sharing check: only handles that read, write or delete take part in it, so
    // one opened for attributes alone neither blocks others nor is blocked.
    const DWORD READ = FILE_READ_DATA | FILE_EXECUTE;
    const DWORD WRITE = FILE_WRITE_DATA | FILE_APPEND_DATA;
    const DWORD DATA = READ | WRITE | DELETE;
    auto denies = [&](DWORD dwAccess, DWORD dwShare) {
        return ((dwAccess & READ) && !(dwShare & FILE_SHARE_READ)) ||
               ((dwAccess & WRITE) && !(dwShare & FILE_SHARE_WRITE)) ||
               ((dwAccess & DELETE) && !(dwShare & FILE_SHARE_DELETE));
    };
    if ((access & DATA) == 0)
        return true;
    // Sharing is the file's, whichever of its names a handle was opened by.
    std::vector<File> holders;
    for (const auto& file : m_files)
        if (FileOf(file.second.node) == FileOf(node))
            holders.push_back(file.second);
    for (const auto& stream : m_streams)
        if (FileOf(stream.second->node) == FileOf(node))
            holders.push_back({node, stream.second->access, stream.second->share});
    for (const File& holder : holders)
        if ((holder.access & DATA) &&
            (denies(access, holder.share) || denies(holder.access, share)))
            return false;
    return true;
}

void CMemoryHost::Note(const std::string& event) {
    m_events.push_back(event);
    if (m_beforeFileCall)
        m_beforeFileCall(event);
}

HANDLE CMemoryHost::FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) {
    ++m_nFileSearches;
    Note(std::string("FindFirstFileA ") + lpFileName);
    // Only what the steps do is modelled: one entry looked up by its path, no wildcard.
    const Path path = ParsePath(lpFileName, true);
    Node* node = path.parts.empty() || std::strpbrk(lpFileName, "*?") != nullptr
                     ? nullptr
                     : Lookup(path, false);
    if (node == nullptr)
        return INVALID_HANDLE_VALUE;
    std::memset(lpFindFileData, 0, sizeof(*lpFindFileData));
    lpFindFileData->dwFileAttributes = FileOf(node)->attributes;
    lpFindFileData->nFileSizeLow = static_cast<DWORD>(FileOf(node)->data.size());
    std::strncpy(lpFindFileData->cFileName, node->name.c_str(), MAX_PATH - 1);
    const uintptr_t key = m_nextHandle++;
    m_searches.insert(key);
    ++m_nOpenSearches;
    return reinterpret_cast<HANDLE>(key);
}

BOOL CMemoryHost::FindClose(HANDLE hFindFile) {
    if (m_searches.erase(reinterpret_cast<uintptr_t>(hFindFile)) == 0)
        return FALSE;
    --m_nOpenSearches;
    return TRUE;
}

BOOL CMemoryHost::DeleteFileA(LPCSTR lpFileName) {
    Note(std::string("DeleteFileA ") + lpFileName);
    Path path = ParsePath(lpFileName, true);
    Node* node = path.parts.empty() || path.device ? nullptr : Lookup(path, false);
    if (node == nullptr || node->IsDirectory() ||
        (FileOf(node)->attributes & FILE_ATTRIBUTE_READONLY) ||
        !Shares(node, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return FALSE;
    Detach(node);
    return TRUE;
}

BOOL CMemoryHost::RemoveDirectoryA(LPCSTR lpPathName) {
    Note(std::string("RemoveDirectoryA ") + lpPathName);
    Path path = ParsePath(lpPathName, true);
    Node* node = path.parts.empty() || path.device ? nullptr : Lookup(path, false);
    if (node == nullptr || !node->IsDirectory() || (node->attributes & FILE_ATTRIBUTE_READONLY))
        return FALSE;
    // A junction goes as a link; its target is not looked at.
    if (node->target.empty() && !node->children.empty())
        return FALSE;
    if (!Shares(node, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return FALSE;
    Detach(node);
    return TRUE;
}

HANDLE CMemoryHost::CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                                DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    Note(std::string("CreateFileA ") + lpFileName);
    // Opening what exists and creating what does not are modelled; nothing else is used.
    if ((dwCreationDisposition != OPEN_EXISTING && dwCreationDisposition != CREATE_NEW) ||
        hTemplateFile != nullptr)
        return INVALID_HANDLE_VALUE;
    // GENERIC_WRITE as the file system maps it.
    const DWORD dwAccess = dwDesiredAccess & GENERIC_WRITE
                               ? dwDesiredAccess | FILE_WRITE_DATA | FILE_APPEND_DATA
                               : dwDesiredAccess;
    const Path path = ParsePath(lpFileName, true);
    const bool bFollow = (dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) == 0;
    Node* node = nullptr;
    if (path.device) {
        // Windows opens the device, whatever the folder holds under that name.
        node = &m_device;
    } else if (dwCreationDisposition == CREATE_NEW) {
        // Whatever stands at the name, a link or a dangling junction included, makes it fail;
        // unless a link is followed, and what it leads to is missing and made.
        Path at = path;
        Node* existing = Lookup(path, false);
        if (existing != nullptr && !existing->target.empty() && bFollow) {
            at = ParsePath(existing->target, false);
            existing = Lookup(at, true);
        }
        Node* parent = ParentOf(at);
        if (parent == nullptr || existing != nullptr)
            return INVALID_HANDLE_VALUE;
        node = NewChild(parent, at.parts.back(), FILE_ATTRIBUTE_ARCHIVE);
    } else {
        node = Lookup(path, bFollow);
        if (node != nullptr && node->unixLink)
            node = Lookup(ParsePath(node->target, false), true);
        if (node == nullptr || node->deletePending)
            return INVALID_HANDLE_VALUE;
        // A folder opens only with backup semantics; a read-only file not for writing.
        if (node->IsDirectory() && (dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) == 0)
            return INVALID_HANDLE_VALUE;
        if ((dwAccess & FILE_WRITE_DATA) && !node->IsDirectory() && !m_bWritesReadOnly &&
            (FileOf(node)->attributes & FILE_ATTRIBUTE_READONLY))
            return INVALID_HANDLE_VALUE;
        if (dwAccess & FileOf(node)->denied)
            return INVALID_HANDLE_VALUE;
        if (!Shares(node, dwAccess, dwShareMode))
            return INVALID_HANDLE_VALUE;
    }
    HANDLE hFile = NewHandle();
    m_files[reinterpret_cast<uintptr_t>(hFile)] = File{node, dwAccess, dwShareMode};
    return hFile;
}

BOOL CMemoryHost::GetFileInformationByHandle(HANDLE hFile,
                                             BY_HANDLE_FILE_INFORMATION* lpFileInformation) {
    auto it = m_files.find(reinterpret_cast<uintptr_t>(hFile));
    // A device has no file information to give.
    if (it == m_files.end() || it->second.node == &m_device)
        return FALSE;
    const Node* node = FileOf(it->second.node);
    std::memset(lpFileInformation, 0, sizeof(*lpFileInformation));
    lpFileInformation->dwFileAttributes = node->attributes;
    lpFileInformation->dwVolumeSerialNumber = 0x48440000u + static_cast<DWORD>(node->drive);
    lpFileInformation->nFileSizeLow = static_cast<DWORD>(node->data.size());
    lpFileInformation->nNumberOfLinks = static_cast<DWORD>(node->links);
    lpFileInformation->nFileIndexLow = node->index;
    return TRUE;
}

BOOL CMemoryHost::SetEndOfFile(HANDLE hFile) {
    // Nothing here moves a handle's position, so the end is set where it opened: at 0.
    auto it = m_files.find(reinterpret_cast<uintptr_t>(hFile));
    if (it == m_files.end() || it->second.node == &m_device ||
        (it->second.access & FILE_WRITE_DATA) == 0)
        return FALSE;
    FileOf(it->second.node)->data.clear();
    return TRUE;
}

// --- Native calls ---------------------------------------------------------------------

std::u16string CMemoryHost::Wide(const std::string& text) const {
    std::u16string wide;
    for (size_t i = 0; i < text.size(); ++i) {
        const BYTE b = static_cast<BYTE>(text[i]);
        if (LeadByte(b) && i + 1 < text.size())
            wide += static_cast<char16_t>(DOUBLE_BYTE_BASE + (b - 0x81) * 256 +
                                          static_cast<BYTE>(text[++i]));
        else
            wide += static_cast<char16_t>(b);
    }
    return wide;
}

std::string CMemoryHost::Ansi(const std::u16string& text) const {
    std::string ansi;
    for (char16_t c : text) {
        const unsigned lead = (c - DOUBLE_BYTE_BASE) / 256 + 0x81;
        if (c < 0x100) {
            ansi += static_cast<char>(c);
        } else if (c == FULL_WIDTH_BACKSLASH && m_uCodePage == 932) {
            ansi += "\x81\x5F"; // a character of its own there
        } else if (c >= FULL_WIDTH_FIRST && c <= FULL_WIDTH_LAST) {
            // Best fit in code page 1252: the ASCII character it looks like.
            ansi += static_cast<char>(c - FULL_WIDTH_FIRST + '!');
        } else if (c >= DOUBLE_BYTE_BASE && LeadByte(static_cast<BYTE>(lead))) {
            ansi += static_cast<char>(lead);
            ansi += static_cast<char>((c - DOUBLE_BYTE_BASE) % 256);
        } else {
            ansi += '?';
        }
    }
    return ansi;
}

NTSTATUS CMemoryHost::RtlMultiByteToUnicodeN(PWCH UnicodeString, ULONG MaxBytesInUnicodeString,
                                             PULONG BytesInUnicodeString,
                                             const CHAR* MultiByteString,
                                             ULONG BytesInMultiByteString) {
    const std::u16string wide = Wide(std::string(MultiByteString, BytesInMultiByteString));
    const size_t nChars = std::min<size_t>(wide.size(), MaxBytesInUnicodeString / sizeof(WCHAR));
    std::memcpy(UnicodeString, wide.data(), nChars * sizeof(WCHAR));
    if (BytesInUnicodeString != nullptr)
        *BytesInUnicodeString = static_cast<ULONG>(nChars * sizeof(WCHAR));
    return STATUS_SUCCESS;
}

NTSTATUS CMemoryHost::RtlUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                                             PULONG BytesInMultiByteString, PCWCH UnicodeString,
                                             ULONG BytesInUnicodeString) {
    // Whole characters only: a double-byte one that does not fit is left out.
    size_t nBytes = 0;
    for (ULONG i = 0; i < BytesInUnicodeString / sizeof(WCHAR); ++i) {
        const std::string ansi = Ansi(std::u16string(1, UnicodeString[i]));
        if (nBytes + ansi.size() > MaxBytesInMultiByteString)
            break;
        std::memcpy(MultiByteString + nBytes, ansi.data(), ansi.size());
        nBytes += ansi.size();
    }
    if (BytesInMultiByteString != nullptr)
        *BytesInMultiByteString = static_cast<ULONG>(nBytes);
    return STATUS_SUCCESS;
}

bool CMemoryHost::MaskMatches(const char16_t* mask, const char16_t* maskEnd, const char16_t* name,
                              const char16_t* nameEnd) {
    if (mask == maskEnd)
        return name == nameEnd;
    const char16_t m = *mask;
    if (m == u'*') {
        for (const char16_t* p = name;; ++p) {
            if (MaskMatches(mask + 1, maskEnd, p, nameEnd))
                return true;
            if (p == nameEnd)
                return false;
        }
    }
    if (m == u'<') { // DOS_STAR: any characters short of the name's last dot
        const char16_t* lastDot = nullptr;
        for (const char16_t* p = name; p != nameEnd; ++p)
            if (*p == u'.')
                lastDot = p;
        for (const char16_t* p = name;; ++p) {
            if (MaskMatches(mask + 1, maskEnd, p, nameEnd))
                return true;
            if (p == nameEnd || p == lastDot)
                return false;
        }
    }
    if (m == u'>') // DOS_QM: one character, or none at a dot or the end
        return (name != nameEnd && *name != u'.' &&
                MaskMatches(mask + 1, maskEnd, name + 1, nameEnd)) ||
               ((name == nameEnd || *name == u'.') &&
                MaskMatches(mask + 1, maskEnd, name, nameEnd));
    if (m == u'"') // DOS_DOT: a dot, or nothing at the end
        return (name != nameEnd && *name == u'.' &&
                MaskMatches(mask + 1, maskEnd, name + 1, nameEnd)) ||
               (name == nameEnd && MaskMatches(mask + 1, maskEnd, name, nameEnd));
    return name != nameEnd && (m == u'?' || Lower(m) == Lower(*name)) &&
           MaskMatches(mask + 1, maskEnd, name + 1, nameEnd);
}

NTSTATUS CMemoryHost::NtOpenFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess,
                                 POBJECT_ATTRIBUTES ObjectAttributes,
                                 PIO_STATUS_BLOCK IoStatusBlock, ULONG ShareAccess,
                                 ULONG OpenOptions) {
    const UNICODE_STRING* pName = ObjectAttributes->ObjectName;
    const std::u16string name(pName->Buffer, pName->Length / sizeof(WCHAR));
    Note("NtOpenFile " + Ansi(name));
    // Only what the walk does is modelled: one name, relative to a folder's handle.
    auto root = m_files.find(reinterpret_cast<uintptr_t>(ObjectAttributes->RootDirectory));
    if (root == m_files.end() || root->second.node == &m_device ||
        !root->second.node->IsDirectory())
        return STATUS_INVALID_HANDLE;
    if (name.empty() || name.find_first_of(u"\\/") != std::u16string::npos)
        return STATUS_OBJECT_NAME_INVALID;
    // The name as the file system holds it: no dots or blanks dropped, no device names. The
    // folder's own entries, even when it has become a junction since it was opened.
    const bool bAnyCase = (ObjectAttributes->Attributes & OBJ_CASE_INSENSITIVE) != 0;
    Node* node = nullptr;
    for (auto& child : root->second.node->children) {
        const std::u16string stored = StoredName(*child);
        if (stored.size() == name.size() &&
            std::equal(stored.begin(), stored.end(), name.begin(), [&](char16_t a, char16_t b) {
                return bAnyCase ? Lower(a) == Lower(b) : a == b;
            }))
            node = child.get();
    }
    if (node != nullptr && !node->target.empty() &&
        (node->unixLink || !(OpenOptions & FILE_OPEN_REPARSE_POINT)))
        node = Lookup(ParsePath(node->target, false), true);
    if (node == nullptr)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    if (node->deletePending)
        return STATUS_DELETE_PENDING;
    if (DesiredAccess & FileOf(node)->denied)
        return STATUS_ACCESS_DENIED;
    if (!Shares(node, DesiredAccess, ShareAccess))
        return STATUS_SHARING_VIOLATION;
    *FileHandle = NewHandle();
    m_files[reinterpret_cast<uintptr_t>(*FileHandle)] =
        File{node, DesiredAccess, ShareAccess,
             (OpenOptions & FILE_SYNCHRONOUS_IO_NONALERT) && (DesiredAccess & SYNCHRONIZE)};
    IoStatusBlock->Status = STATUS_SUCCESS;
    return STATUS_SUCCESS;
}

NTSTATUS CMemoryHost::NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event,
                                           PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                                           PIO_STATUS_BLOCK IoStatusBlock, PVOID FileInformation,
                                           ULONG Length,
                                           FILE_INFORMATION_CLASS FileInformationClass,
                                           BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                           BOOLEAN RestartScan) {
    const uintptr_t key = reinterpret_cast<uintptr_t>(FileHandle);
    auto file = m_files.find(key);
    if (file == m_files.end() || file->second.node == &m_device)
        return STATUS_INVALID_HANDLE;
    // Without an event or an APC only a synchronous handle waits for the answer; one entry at
    // a time, of the one kind the walk reads.
    if (Event != nullptr || ApcRoutine != nullptr || ApcContext != nullptr ||
        !file->second.synchronous || FileInformationClass != FileBothDirectoryInformation ||
        !ReturnSingleEntry)
        return STATUS_INVALID_PARAMETER;
    Node* node = file->second.node;
    if (!node->IsDirectory())
        return STATUS_INVALID_PARAMETER;
    if (!(file->second.access & FILE_LIST_DIRECTORY))
        return STATUS_ACCESS_DENIED;
    auto listing = m_listings.find(key);
    if (listing == m_listings.end() || RestartScan) {
        ++m_nFileSearches;
        Note("NtQueryDirectoryFile " + node->name);
        const std::u16string mask =
            FileName != nullptr && FileName->Length > 0
                ? std::u16string(FileName->Buffer, FileName->Length / sizeof(WCHAR))
                : u"*";
        auto matches = [&](const std::u16string& name) {
            return MaskMatches(mask.data(), mask.data() + mask.size(), name.data(),
                               name.data() + name.size());
        };
        Listing fresh;
        if (node->parent != nullptr)
            for (const char16_t* dot : {u".", u".."})
                if (matches(dot))
                    fresh.entries.emplace_back(dot, FILE_ATTRIBUTE_DIRECTORY);
        const size_t first = fresh.entries.size();
        for (auto& child : node->children) {
            const std::u16string name = StoredName(*child);
            if (matches(name))
                fresh.entries.emplace_back(name, FileOf(child.get())->attributes);
        }
        auto children = fresh.entries.begin() + static_cast<std::ptrdiff_t>(first);
        if (m_listOrder == ListOrder::Reversed)
            std::reverse(children, fresh.entries.end());
        else if (m_listOrder == ListOrder::Sorted)
            std::sort(children, fresh.entries.end());
        listing = m_listings.insert_or_assign(key, fresh).first;
        if (fresh.entries.empty())
            return STATUS_NO_SUCH_FILE;
    }
    Listing& current = listing->second;
    if (current.next >= current.entries.size())
        return STATUS_NO_MORE_FILES;
    const auto& entry = current.entries[current.next];
    const ULONG nNameBytes = static_cast<ULONG>(entry.first.size() * sizeof(WCHAR));
    const ULONG nSize = offsetof(FILE_BOTH_DIR_INFORMATION, FileName) + nNameBytes;
    if (nSize > Length)
        return STATUS_BUFFER_OVERFLOW;
    ++current.next;
    auto* pInfo = static_cast<FILE_BOTH_DIR_INFORMATION*>(FileInformation);
    std::memset(pInfo, 0, nSize);
    pInfo->FileAttributes = entry.second;
    pInfo->FileNameLength = nNameBytes;
    std::memcpy(pInfo->FileName, entry.first.data(), nNameBytes);
    IoStatusBlock->Status = STATUS_SUCCESS;
    IoStatusBlock->Information = nSize;
    return STATUS_SUCCESS;
}

NTSTATUS CMemoryHost::NtSetInformationFile(HANDLE FileHandle, PIO_STATUS_BLOCK IoStatusBlock,
                                           PVOID FileInformation, ULONG Length,
                                           FILE_INFORMATION_CLASS FileInformationClass) {
    auto file = m_files.find(reinterpret_cast<uintptr_t>(FileHandle));
    if (file == m_files.end() || file->second.node == &m_device)
        return STATUS_INVALID_HANDLE;
    Node* node = file->second.node;
    Note("NtSetInformationFile " + node->name);
    if (FileInformationClass != FileDispositionInformation ||
        Length < sizeof(FILE_DISPOSITION_INFORMATION))
        return STATUS_INVALID_PARAMETER;
    if (!(file->second.access & DELETE))
        return STATUS_ACCESS_DENIED;
    // What DeleteFileA and RemoveDirectoryA refuse, this refuses too; a junction goes as a link.
    if (FileOf(node)->attributes & FILE_ATTRIBUTE_READONLY)
        return STATUS_CANNOT_DELETE;
    if (node->IsDirectory() && node->target.empty() && !node->children.empty())
        return STATUS_DIRECTORY_NOT_EMPTY;
    node->deletePending = static_cast<FILE_DISPOSITION_INFORMATION*>(FileInformation)->DoDeleteFile;
    IoStatusBlock->Status = STATUS_SUCCESS;
    return STATUS_SUCCESS;
}

void CMemoryHost::FinishDelete(Node* node) {
    if (!node->deletePending)
        return;
    for (const auto& file : m_files)
        if (file.second.node == node)
            return; // the last handle's close removes it
    node->deletePending = false;
    auto& siblings = node->parent->children;
    if (std::any_of(siblings.begin(), siblings.end(),
                    [node](const std::unique_ptr<Node>& p) { return p.get() == node; }))
        Detach(node);
}

// --- The C runtime's stream --------------------------------------------------------

HdaStream* CMemoryHost::AttachStream(HANDLE hFile, const char* mode) {
    auto it = m_files.find(reinterpret_cast<uintptr_t>(hFile));
    if (it == m_files.end())
        return nullptr;
    const File file = it->second;
    // The stream takes the handle over; refused, the handle is closed.
    CloseHandle(hFile);
    if (std::strcmp(mode, "wb") != 0 || (file.access & FILE_WRITE_DATA) == 0)
        return nullptr;
    std::unique_ptr<Stream> stream(new Stream{file.node, file.access, file.share, std::string()});
    HdaStream* key = reinterpret_cast<HdaStream*>(stream.get());
    m_streams[key] = std::move(stream);
    ++m_nOpenStreams;
    return key;
}

size_t CMemoryHost::WriteStream(const void* data, size_t size, size_t count, HdaStream* stream) {
    auto it = m_streams.find(stream);
    if (it == m_streams.end())
        return 0;
    it->second->buffer.append(static_cast<const char*>(data), size * count);
    return count;
}

int CMemoryHost::CloseStream(HdaStream* stream) {
    auto it = m_streams.find(stream);
    if (it == m_streams.end())
        return -1;
    // A buffered stream hands its bytes to the system at the close, written from where the
    // handle stood: the start, over whatever was there.
    std::string& data = FileOf(it->second->node)->data;
    data.replace(0, std::min(data.size(), it->second->buffer.size()), it->second->buffer);
    m_streams.erase(it);
    --m_nOpenStreams;
    return 0;
}
