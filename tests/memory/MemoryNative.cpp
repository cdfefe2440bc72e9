// The in-memory Windows' native calls: names in UTF-16 as the code page maps them, opens
// relative to a folder's handle, listings through it with the A calls' wildcards, and
// deleting through a handle.
#include "tests/memory/MemoryHost.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {
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
// OBJ_INHERIT, OBJ_PERMANENT, OBJ_EXCLUSIVE, OBJ_CASE_INSENSITIVE, OBJ_OPENIF, OBJ_OPENLINK
// and OBJ_KERNEL_HANDLE: every flag Windows 2000 takes.
const ULONG OBJ_VALID_ATTRIBUTES = 0x000003F2;

// Double-byte characters of code page 932, as UTF-16 characters of their own.
const char16_t DOUBLE_BYTE_BASE = 0x4E00;
// Full-width forms of the ASCII characters from "!" to "~".
const char16_t FULL_WIDTH_FIRST = 0xFF01;
const char16_t FULL_WIDTH_LAST = 0xFF5E;
const char16_t FULL_WIDTH_BACKSLASH = 0xFF3C;
} // namespace

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
    return name != nameEnd && (m == u'?' || Lower(m) == Lower(*name)) &&
           MaskMatches(mask + 1, maskEnd, name + 1, nameEnd);
}

NTSTATUS CMemoryHost::NtOpenFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess,
                                 POBJECT_ATTRIBUTES ObjectAttributes,
                                 PIO_STATUS_BLOCK IoStatusBlock, ULONG ShareAccess,
                                 ULONG OpenOptions) {
    // What Windows checks of the record before it looks at the name: its size, flags it
    // knows (Windows 2000's), and a security descriptor and quality of service it reads
    // when given. The walk gives neither, and one left uninitialised points at what Windows
    // refuses, so any given is refused here.
    if (ObjectAttributes->Length != sizeof(OBJECT_ATTRIBUTES) ||
        (ObjectAttributes->Attributes & ~OBJ_VALID_ATTRIBUTES) != 0 ||
        ObjectAttributes->SecurityDescriptor != nullptr ||
        ObjectAttributes->SecurityQualityOfService != nullptr)
        return STATUS_INVALID_PARAMETER;
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
