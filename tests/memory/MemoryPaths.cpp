// The in-memory Windows' file tree: folders, files, links and hard links, paths read the way
// the Win32 calls read them (trailing dots and blanks, device names, the current directory),
// the scripting calls, and the sharing check every open goes through.
#include "tests/memory/MemoryHost.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

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
