// The in-memory Windows' Win32 file calls: the current directory, the look-up of one entry,
// deleting and removing by path, opens by path, and the C runtime's stream.
#include "tests/memory/MemoryHost.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

DWORD CMemoryHost::GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    if (m_strCurrentDir.size() + 1 > nBufferLength)
        return static_cast<DWORD>(m_strCurrentDir.size() + 1);
    std::memcpy(lpBuffer, m_strCurrentDir.c_str(), m_strCurrentDir.size() + 1);
    return static_cast<DWORD>(m_strCurrentDir.size());
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
    // Wine removes what a Unix link leads to.
    if (node != nullptr && node->unixLink)
        node = Lookup(ParsePath(node->target, false), true);
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
    // A device has no file information to give; a handle that may not read attributes is
    // refused it (GENERIC_WRITE does not grant that).
    if (it == m_files.end() || it->second.node == &m_device ||
        (it->second.access & FILE_READ_ATTRIBUTES) == 0)
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
