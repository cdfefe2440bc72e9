// What the install steps rely on from file look-ups, listings, opens and deletion, checked
// the same way against the in-memory Windows and the real one.
#include "host/FilePaths.h"
#include "tests/contract/ContractWorld.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>

namespace {
// The attributes the steps look at; the archive bit is left out, since systems set it on
// new files as they please.
const DWORD SEEN = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
const DWORD DIR = FILE_ATTRIBUTE_DIRECTORY;
const DWORD RO = FILE_ATTRIBUTE_READONLY;
const DWORD HIDDEN = FILE_ATTRIBUTE_HIDDEN;
const DWORD SYSTEM = FILE_ATTRIBUTE_SYSTEM;
const DWORD NOT_FOLLOWED = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
const DWORD LIST_ACCESS = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

using Listing = std::map<std::string, DWORD>;

class FilesContract : public ::testing::Test {
protected:
    // Every entry a listing through the folder's handle returns for a pattern, made a mask as
    // the walk makes it: name to the attributes the steps look at.
    Listing List(const std::string& dir, const char* pattern) {
        Listing entries;
        HANDLE hDir = host.CreateFileA(dir.c_str(), LIST_ACCESS, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, NOT_FOLLOWED, nullptr);
        WCHAR szMask[MAX_PATH];
        UNICODE_STRING mask;
        if (hDir == INVALID_HANDLE_VALUE || !MakeSearchMask(host, pattern, szMask, MAX_PATH, mask))
            return entries;
        union {
            FILE_BOTH_DIR_INFORMATION info;
            BYTE bytes[1024];
        } entry;
        IO_STATUS_BLOCK io;
        while (NT_SUCCESS(host.NtQueryDirectoryFile(hDir, nullptr, nullptr, nullptr, &io, &entry,
                                                    sizeof(entry), FileBothDirectoryInformation,
                                                    TRUE, &mask, FALSE))) {
            char szName[MAX_PATH] = {};
            ULONG nBytes = 0;
            host.RtlUnicodeToMultiByteN(szName, MAX_PATH - 1, &nBytes, entry.info.FileName,
                                        entry.info.FileNameLength);
            EXPECT_EQ(0u, entries.count(szName)) << "twice: " << szName;
            entries[szName] = entry.info.FileAttributes & SEEN;
        }
        EXPECT_TRUE(host.CloseHandle(hDir));
        return entries;
    }

    // What a handle opened on path says of the entry: (volume, file index) and attributes,
    // or nothing when the open fails.
    struct Seen {
        bool opened = false;
        DWORD volume = 0, indexHigh = 0, indexLow = 0, attributes = 0, size = 0, links = 0;
        bool SameAs(const Seen& o) const {
            return opened && o.opened && volume == o.volume && indexHigh == o.indexHigh &&
                   indexLow == o.indexLow;
        }
    };
    Seen Open(const std::string& path, DWORD flags = NOT_FOLLOWED) {
        Seen seen;
        HANDLE hEntry = host.CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, flags, nullptr);
        if (hEntry == INVALID_HANDLE_VALUE)
            return seen;
        BY_HANDLE_FILE_INFORMATION info;
        EXPECT_TRUE(host.GetFileInformationByHandle(hEntry, &info)) << path;
        EXPECT_TRUE(host.CloseHandle(hEntry));
        seen.opened = true;
        seen.volume = info.dwVolumeSerialNumber;
        seen.indexHigh = info.nFileIndexHigh;
        seen.indexLow = info.nFileIndexLow;
        seen.attributes = info.dwFileAttributes & SEEN;
        seen.size = info.nFileSizeLow;
        seen.links = info.nNumberOfLinks;
        return seen;
    }

    std::unique_ptr<CContractWorld> world = MakeContractWorld();
    CHost& host = world->Host();
    const std::string root = world->Root();
};

TEST_F(FilesContract, ListingGivesDotEntriesAndEveryAttribute) {
    const std::string dir = root + "\\listing";
    world->MakeDirectory(dir);
    world->MakeDirectory(dir + "\\sub");
    world->MakeDirectory(dir + "\\hiddendir", HIDDEN);
    world->MakeFile(dir + "\\plain.txt");
    world->MakeFile(dir + "\\noext");
    world->MakeFile(dir + "\\ro.txt", RO);
    world->MakeFile(dir + "\\hidden.txt", HIDDEN);
    world->MakeFile(dir + "\\system.dat", SYSTEM);
    world->MakeFile(dir + "\\both.bin", HIDDEN | SYSTEM);
    world->MakeFile(dir + "\\all.bin", RO | HIDDEN | SYSTEM);

    const Listing expected = {
        {".", DIR},
        {"..", DIR},
        {"sub", DIR},
        {"hiddendir", DIR | HIDDEN},
        {"plain.txt", 0},
        {"noext", 0},
        {"ro.txt", RO},
        {"hidden.txt", HIDDEN},
        {"system.dat", SYSTEM},
        {"both.bin", HIDDEN | SYSTEM},
        {"all.bin", RO | HIDDEN | SYSTEM},
    };
    // "*.*" matches names without a dot as well.
    EXPECT_EQ(expected, List(dir, "*.*"));

    // An empty directory still has its two dot entries.
    EXPECT_EQ((Listing{{".", DIR}, {"..", DIR}}), List(dir + "\\sub", "*.*"));
}

TEST_F(FilesContract, LookUpFindsThatOneEntry) {
    world->MakeDirectory(root + "\\Sub");
    world->MakeFile(root + "\\ro.txt", RO);
    struct {
        std::string path;
        const char* name; // null: nothing found
        DWORD attributes;
    } cases[] = {
        {root + "\\Sub", "Sub", DIR},
        {root + "\\SUB", "Sub", DIR}, // the name as stored, whatever case was asked for
        {root + "\\ro.txt", "ro.txt", RO},
        {root + "\\missing", nullptr, 0},
    };
    for (const auto& c : cases) {
        WIN32_FIND_DATAA data;
        std::memset(&data, 0xCC, sizeof(data));
        HANDLE hFind = host.FindFirstFileA(c.path.c_str(), &data);
        if (c.name == nullptr) {
            EXPECT_EQ(INVALID_HANDLE_VALUE, hFind) << c.path;
            continue;
        }
        ASSERT_NE(INVALID_HANDLE_VALUE, hFind) << c.path;
        EXPECT_STREQ(c.name, data.cFileName) << c.path;
        EXPECT_EQ(c.attributes, data.dwFileAttributes & SEEN) << c.path;
        EXPECT_TRUE(host.FindClose(hFind));
    }
}

TEST_F(FilesContract, DeleteFileAFailsOnReadOnlyFilesAndDirectoriesOnly) {
    struct {
        const char* name;
        DWORD attributes;
        bool directory;
        bool deleted;
    } cases[] = {
        {"plain.txt", 0, false, true},       {"hidden.txt", HIDDEN, false, true},
        {"system.dat", SYSTEM, false, true}, {"both.bin", HIDDEN | SYSTEM, false, true},
        {"ro.txt", RO, false, false},        {"rohidden.txt", RO | HIDDEN, false, false},
        {"folder", 0, true, false},
    };
    for (const auto& c : cases) {
        const std::string path = root + "\\" + c.name;
        if (c.directory)
            world->MakeDirectory(path, c.attributes);
        else
            world->MakeFile(path, c.attributes);
        EXPECT_EQ(c.deleted, host.DeleteFileA(path.c_str()) != FALSE) << c.name;
        EXPECT_EQ(!c.deleted, world->Exists(path)) << c.name;
    }
    EXPECT_FALSE(host.DeleteFileA((root + "\\missing.txt").c_str()));
}

// What the marker's write relies on: a create that fails on any name already there, a hard
// link that is one file under two names (index, link count, sharing), a cut through the
// handle, and a stream that takes the handle over. A name Win32 reads as a device is reached
// as a file only through its literal path.
TEST_F(FilesContract, CreateNewAndHardLinksAreWhatTheMarkerRelyOn) {
    const std::string path = root + "\\marker.log";
    auto open = [&](const std::string& name, DWORD disposition, DWORD access) {
        return host.CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                disposition, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HdaStream* pStream = host.AttachStream(open(path, CREATE_NEW, GENERIC_WRITE), "wb");
    ASSERT_NE(nullptr, pStream);
    EXPECT_EQ(1u, host.WriteStream("abc", 3, 1, pStream));
    EXPECT_FALSE(host.DeleteFileA(path.c_str()));
    EXPECT_EQ(0, host.CloseStream(pStream));
    EXPECT_EQ(3u, Open(path).size);
    world->MakeDirectory(root + "\\dir");
    for (const std::string& taken : {path, root + "\\dir"})
        EXPECT_EQ(INVALID_HANDLE_VALUE, open(taken, CREATE_NEW, GENERIC_WRITE)) << taken;

    world->MakeHardLink(root + "\\link", path);
    EXPECT_TRUE(Open(root + "\\link").SameAs(Open(path)));
    EXPECT_EQ(2u, Open(path).links);
    HANDLE hHolder = open(path, OPEN_EXISTING, FILE_READ_DATA);
    EXPECT_FALSE(host.DeleteFileA((root + "\\link").c_str()));
    HANDLE hLink = open(root + "\\link", OPEN_EXISTING, GENERIC_WRITE);
    EXPECT_TRUE(host.SetEndOfFile(hLink));
    EXPECT_TRUE(host.CloseHandle(hLink));
    EXPECT_EQ(0u, Open(path).size);
    EXPECT_TRUE(host.CloseHandle(hHolder));
    EXPECT_TRUE(host.DeleteFileA((root + "\\link").c_str()));
    EXPECT_EQ(1u, Open(path).links);

    for (const char* device : {"nul.txt", "COM1", "aux .log"}) {
        const std::string plain = root + "\\" + device;
        world->MakeFile(plain);
        HANDLE hPlain = open(plain, OPEN_EXISTING, FILE_READ_ATTRIBUTES);
        BY_HANDLE_FILE_INFORMATION info;
        EXPECT_TRUE(hPlain == INVALID_HANDLE_VALUE ||
                    !host.GetFileInformationByHandle(hPlain, &info) ||
                    info.nFileIndexLow != Open("\\\\?\\" + plain).indexLow)
            << device;
        if (hPlain != INVALID_HANDLE_VALUE)
            host.CloseHandle(hPlain);
        EXPECT_FALSE(host.DeleteFileA(plain.c_str())) << device;
        EXPECT_TRUE(host.DeleteFileA(("\\\\?\\" + plain).c_str())) << device;
    }
}

TEST_F(FilesContract, RemoveDirectoryAOnlyRemovesEmptyDirectories) {
    world->MakeDirectory(root + "\\empty");
    world->MakeDirectory(root + "\\hidden", HIDDEN | SYSTEM);
    world->MakeDirectory(root + "\\withfile");
    world->MakeFile(root + "\\withfile\\a.txt");
    world->MakeDirectory(root + "\\withdir");
    world->MakeDirectory(root + "\\withdir\\inner");
    world->MakeDirectory(root + "\\withhidden");
    world->MakeFile(root + "\\withhidden\\h", HIDDEN);
    world->MakeFile(root + "\\file.txt");
    struct {
        const char* name;
        bool removed;
    } cases[] = {
        {"empty", true},       {"hidden", true},    {"withfile", false}, {"withdir", false},
        {"withhidden", false}, {"file.txt", false}, {"missing", false},
    };
    for (const auto& c : cases) {
        const std::string path = root + "\\" + c.name;
        EXPECT_EQ(c.removed, host.RemoveDirectoryA(path.c_str()) != FALSE) << c.name;
        if (std::strcmp(c.name, "missing") != 0) {
            EXPECT_EQ(!c.removed, world->Exists(path)) << c.name;
        }
    }
}

// The listing gives names exactly as they stand; the A calls drop trailing dots and blanks
// from them first, so such a name addresses another entry, or the folder itself.
TEST_F(FilesContract, TrailingDotsAndBlanksAddressAnotherEntry) {
    for (const char* dir : {"sub", "sub ", "...", ". ", ".. "})
        world->MakeDirectory(root + "\\" + dir);
    world->MakeFile(root + "\\f");
    world->MakeFile(root + "\\f.");

    // Wine marks names that begin with a dot hidden; only names and the folder bit count.
    Listing names;
    for (const auto& entry : List(root, "*"))
        names[entry.first] = entry.second & DIR;
    EXPECT_EQ((Listing{{".", DIR},
                       {"..", DIR},
                       {"sub", DIR},
                       {"sub ", DIR},
                       {"...", DIR},
                       {". ", DIR},
                       {".. ", DIR},
                       {"f", 0},
                       {"f.", 0}}),
              names);

    const std::string in = root + "\\";
    EXPECT_TRUE(Open(in + "sub ").SameAs(Open(in + "sub")));
    EXPECT_TRUE(Open(in + "f.").SameAs(Open(in + "f")));
    for (const char* self : {"...", ". "})
        EXPECT_TRUE(Open(in + self).SameAs(Open(root))) << self;
    // Two dots and a blank: the parent by Windows' documented rules, the folder itself
    // under Wine. Either way not the entry listed.
    EXPECT_TRUE(Open(in + ".. ").SameAs(Open(root)) || Open(in + ".. ").SameAs(Open("C:\\")));

    EXPECT_TRUE(host.DeleteFileA((in + "f.").c_str()));
    EXPECT_FALSE(world->Exists(in + "f"));
    EXPECT_TRUE(world->Exists(in + "f."));
}

// A handle that reads data and does not share delete keeps its entry where it is: no one
// can rename or delete it. One that reads only attributes is left out of the sharing check.
// Only a handle that may read attributes says what its entry is (GENERIC_WRITE grants no
// reading). A folder opens only with backup semantics.
TEST_F(FilesContract, HandleWithoutDeleteSharingHoldsItsEntry) {
    world->MakeDirectory(root + "\\dir");
    world->MakeFile(root + "\\file");
    struct {
        const char* name;
        DWORD access;
        bool holds;
    } cases[] = {
        {"dir", FILE_READ_DATA | FILE_READ_ATTRIBUTES, true},
        {"dir", FILE_TRAVERSE | FILE_READ_ATTRIBUTES, true},
        {"file", FILE_READ_DATA | FILE_READ_ATTRIBUTES, true},
        {"dir", FILE_READ_ATTRIBUTES, false},
        {"file", FILE_READ_ATTRIBUTES, false},
        {"dir", FILE_TRAVERSE | SYNCHRONIZE, true},
        {"file", FILE_READ_DATA, true},
        {"file", GENERIC_WRITE, true},
    };
    for (const auto& c : cases) {
        const std::string path = root + "\\" + c.name;
        const std::string where = std::string(c.name) + ", access " + std::to_string(c.access);
        HANDLE hEntry = host.CreateFileA(path.c_str(), c.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, NOT_FOLLOWED, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, hEntry) << where;
        BY_HANDLE_FILE_INFORMATION info;
        // Wine (8.0) answers every handle.
        const bool bDescribed = (c.access & FILE_READ_ATTRIBUTES) != 0;
        EXPECT_EQ(bDescribed || world->IsWine(),
                  host.GetFileInformationByHandle(hEntry, &info) != FALSE)
            << where;
        if (bDescribed) {
            EXPECT_EQ(c.name[0] == 'd' ? DIR : 0, info.dwFileAttributes & SEEN) << where;
        }

        const bool bMoved = world->MoveEntry(path, path + "2");
        EXPECT_EQ(!c.holds, bMoved) << where;
        if (bMoved) {
            ASSERT_TRUE(world->MoveEntry(path + "2", path)) << where;
        }
        if (c.holds) {
            EXPECT_FALSE(c.name[0] == 'd' ? host.RemoveDirectoryA(path.c_str())
                                          : host.DeleteFileA(path.c_str()))
                << where;
            EXPECT_TRUE(world->Exists(path)) << where;
        }
        EXPECT_TRUE(host.CloseHandle(hEntry));
    }

    EXPECT_FALSE(Open(root + "\\dir", FILE_FLAG_OPEN_REPARSE_POINT).opened);
    EXPECT_TRUE(Open(root + "\\file", FILE_FLAG_OPEN_REPARSE_POINT).opened);
    EXPECT_FALSE(Open(root + "\\dir").SameAs(Open(root + "\\file")));
    EXPECT_FALSE(Open(root + "\\missing").opened);
}

// What the tree walk relies on from ntdll: a listing through a folder's handle that lists
// what the walk's mask matches; opens relative to that
// handle that take a name as it stands (no dots dropped, no device); and a delete through a
// handle that holds the entry until it is closed and refuses what DeleteFileA and
// RemoveDirectoryA refuse.
TEST_F(FilesContract, NativeCallsListOpenAndDeleteThroughHandles) {
    const std::string dir = root + "\\native";
    world->MakeDirectory(dir);
    world->MakeDirectory(dir + "\\sub");
    world->MakeFile(dir + "\\sub\\in.txt");
    for (const char* name : {"a.txt", "noext", "ab.c.txt", "f", "f.", "nul.txt"})
        world->MakeFile(dir + "\\" + name);
    world->MakeFile(dir + "\\ro.txt", RO);
    world->MakeDirectory(dir + "\\empty");
    // "*.*" is every name, as the A calls read it; "?" is one character, as the native calls
    // read it.
    const std::string ALL = ". .. a.txt ab.c.txt empty f f. noext nul.txt ro.txt sub";
    const std::pair<const char*, std::string> patterns[] = {
        {"*.*", ALL},
        {"*", ALL},
        {"*.txt", "a.txt ab.c.txt nul.txt ro.txt"},
        {"a*", "a.txt ab.c.txt"},
        {"*a*", "a.txt ab.c.txt"},
        {"?oext", "noext"},
        {"noext?", ""},
    };
    for (const auto& p : patterns) {
        std::string names;
        for (const auto& entry : List(dir, p.first))
            names += (names.empty() ? "" : " ") + entry.first;
        EXPECT_EQ(p.second, names) << p.first;
    }

    HANDLE hDir = host.CreateFileA(dir.c_str(), LIST_ACCESS, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, NOT_FOLLOWED, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hDir);
    auto openChild = [&](const char* name, DWORD access, HANDLE& hChild,
                         void (*spoil)(OBJECT_ATTRIBUTES&) = nullptr) {
        WCHAR szName[MAX_PATH];
        ULONG nBytes = 0;
        host.RtlMultiByteToUnicodeN(szName, sizeof(szName), &nBytes, name,
                                    static_cast<ULONG>(std::strlen(name)));
        UNICODE_STRING objectName = {static_cast<WORD>(nBytes), static_cast<WORD>(nBytes), szName};
        OBJECT_ATTRIBUTES attributes;
        InitRelativeName(attributes, hDir, &objectName);
        if (spoil != nullptr)
            spoil(attributes);
        IO_STATUS_BLOCK io;
        return NT_SUCCESS(host.NtOpenFile(
            &hChild, access, &attributes, &io, FILE_SHARE_READ | FILE_SHARE_WRITE,
            FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT));
    };
    auto indexOf = [&](HANDLE hEntry) {
        BY_HANDLE_FILE_INFORMATION info;
        EXPECT_TRUE(host.GetFileInformationByHandle(hEntry, &info));
        return info.nFileIndexLow;
    };
    // "f." is itself, not "f"; "nul.txt" is the file, not the device.
    for (const char* name : {"f.", "nul.txt", "sub"}) {
        HANDLE hChild = nullptr;
        ASSERT_TRUE(openChild(name, FILE_READ_ATTRIBUTES | SYNCHRONIZE, hChild)) << name;
        EXPECT_EQ(Open("\\\\?\\" + dir + "\\" + name).indexLow, indexOf(hChild)) << name;
        EXPECT_TRUE(host.CloseHandle(hChild));
    }
    HANDLE hMissing = nullptr;
    EXPECT_FALSE(openChild("missing", FILE_READ_ATTRIBUTES | SYNCHRONIZE, hMissing));

    // Windows refuses a record with a wrong size, a flag that is none, or a security
    // descriptor or quality of service it cannot read, as it refuses one left uninitialised.
    // Wine (8.0) checks the size and the descriptor only.
    static BYTE garbage[64];
    std::memset(garbage, 0xFE, sizeof(garbage));
    const std::pair<void (*)(OBJECT_ATTRIBUTES&), bool> records[] = {
        {[](OBJECT_ATTRIBUTES& a) { a.Length = 0; }, true},
        {[](OBJECT_ATTRIBUTES& a) { a.Attributes |= 0x1; }, false},
        {[](OBJECT_ATTRIBUTES& a) { a.SecurityDescriptor = garbage; }, true},
        {[](OBJECT_ATTRIBUTES& a) {
             a.SecurityQualityOfService = reinterpret_cast<PVOID>(UINTPTR_MAX / 255 * 254);
         },
         false},
    };
    for (const auto& r : records) {
        HANDLE hChild = nullptr;
        EXPECT_EQ(!r.second && world->IsWine(),
                  openChild("noext", FILE_READ_ATTRIBUTES | SYNCHRONIZE, hChild, r.first))
            << "record " << &r - records;
        host.CloseHandle(hChild);
    }

    const DWORD REMOVE = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    struct {
        const char* name;
        bool deleted;
    } cases[] = {{"a.txt", true}, {"f.", true}, {"empty", true}, {"ro.txt", false}, {"sub", false}};
    for (const auto& c : cases) {
        const std::string path = dir + "\\" + c.name;
        HANDLE hChild = nullptr;
        ASSERT_TRUE(openChild(c.name, REMOVE, hChild)) << c.name;
        FILE_DISPOSITION_INFORMATION disposition = {TRUE};
        IO_STATUS_BLOCK io;
        EXPECT_EQ(c.deleted,
                  NT_SUCCESS(host.NtSetInformationFile(
                      hChild, &io, &disposition, sizeof(disposition), FileDispositionInformation)))
            << c.name;
        // Held without delete sharing until the close: no one can move it meanwhile.
        EXPECT_FALSE(world->MoveEntry(path, path + "2")) << c.name;
        EXPECT_TRUE(host.CloseHandle(hChild));
        EXPECT_EQ(!c.deleted, world->Exists(path)) << c.name;
    }
    EXPECT_TRUE(world->Exists(dir + "\\f"));
    EXPECT_TRUE(host.CloseHandle(hDir));
}

} // namespace
