// Clearing the marker path and writing the 40-byte marker.
#include "tests/unit/Fixture.h"

namespace {
const std::string MARKER = "Sorvel MS HD BUS driver install finished";

// What another program may do meanwhile: keep a file open, sharing read and write but not
// delete, as a log viewer does; or put something at the marker path right before one of
// the program's calls.
void Hold(CMemoryHost& h, const char* path) {
    h.CreateFileA(path, FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  0, nullptr);
}
void Before(CMemoryHost& h, const std::string& call, std::function<void()> act) {
    auto done = std::make_shared<bool>(false);
    h.m_beforeFileCall = [=](const std::string& now) {
        if (!*done && now == call) {
            *done = true;
            act();
        }
    };
}

// C:\boot.ini stands for a file elsewhere: hard-linked or linked at the marker path, it is
// never written, whether a holder keeps the link from going or the link comes late; nor is
// C:\elsewhere.log, where a link to a missing file leads, ever made. The junctions lead to
// C:\WINDOWS, whose folders and the file in them survive the clearing; Wine's Unix link to
// its empty Temp folder stays, since removing it there removes the folder.
TEST_F(InstallTest, MarkerReplacesWhateverStoodThere) {
    const char* const CREATE = "CreateFileA C:\\csb.log";
    struct {
        const char* name;
        std::function<void(CMemoryHost&)> setUp;
        bool written;
    } cases[] = {
        {"nothing", [](CMemoryHost&) {}, true},
        {"Windows folder with a lower-case drive letter",
         [](CMemoryHost& h) { h.m_strWindowsDir = "c:\\windows"; }, true},
        {"Windows folder of 254 characters",
         [](CMemoryHost& h) { h.m_strWindowsDir = "C:\\" + std::string(251, 'w'); }, true},
        {"old marker", [](CMemoryHost& h) { h.AddFile("C:\\csb.log", MARKER + "\r\n" + MARKER); },
         true},
        {"large file",
         [](CMemoryHost& h) { h.AddFile("C:\\csb.log", std::string(100 * 1024, 'z')); }, true},
        {"hidden file",
         [](CMemoryHost& h) {
             h.AddFile("C:\\csb.log", "x", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
         },
         true},
        {"empty directory", [](CMemoryHost& h) { h.AddDirectory("C:\\csb.log"); }, true},
        {"directory tree",
         [](CMemoryHost& h) {
             h.AddFile("C:\\csb.log\\a.txt");
             h.AddFile("C:\\csb.log\\b\\c\\d.txt", "",
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
             h.AddFile("C:\\csb.log\\.dot\\e");
         },
         true},
        {"held file longer than the marker, written where it could not be deleted",
         [](CMemoryHost& h) {
             h.AddFile("C:\\csb.log", std::string(100, 'z'));
             Hold(h, "C:\\csb.log");
         },
         true},
        {"directory tree, with a current directory too deep to read",
         [](CMemoryHost& h) {
             h.AddFile("C:\\csb.log\\a\\b.txt");
             h.m_strCurrentDir = "C:\\" + std::string(300, 'd');
         },
         true},
        {"read-only file, which Wine run as root opens for writing",
         [](CMemoryHost& h) {
             h.AddFile("C:\\csb.log", "old", FILE_ATTRIBUTE_READONLY);
             h.m_bWritesReadOnly = true;
         },
         false},
        {"link to a file made before the create",
         [&](CMemoryHost& h) {
             Before(h, CREATE, [&h]() { h.AddLink("C:\\csb.log", "C:\\boot.ini", 0); });
         },
         false},
        {"link to a missing file made before the create",
         [&](CMemoryHost& h) {
             Before(h, CREATE, [&h]() { h.AddLink("C:\\csb.log", "C:\\elsewhere.log", 0); });
         },
         false},
        {"hard link, not held: only the name goes",
         [](CMemoryHost& h) { h.AddHardLink("C:\\csb.log", "C:\\boot.ini"); }, true},
        {"hard link held open",
         [](CMemoryHost& h) {
             h.AddHardLink("C:\\csb.log", "C:\\boot.ini");
             Hold(h, "C:\\boot.ini");
         },
         false},
        {"hard link made before the create",
         [&](CMemoryHost& h) {
             Before(h, CREATE, [&h]() { h.AddHardLink("C:\\csb.log", "C:\\boot.ini"); });
         },
         false},
        {"junction", [](CMemoryHost& h) { h.AddLink("C:\\csb.log", "C:\\WINDOWS"); }, true},
        {"Unix link to an empty folder, as Wine shows it",
         [](CMemoryHost& h) { h.AddUnixLink("C:\\csb.log", "C:\\WINDOWS\\Temp"); }, false},
        {"junction inside the folder",
         [](CMemoryHost& h) {
             h.AddFile("C:\\csb.log\\x.txt");
             h.AddLink("C:\\csb.log\\into", "C:\\WINDOWS");
         },
         true},
    };
    for (auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        h.AddFile("C:\\boot.ini", "keep");
        h.AddFile("C:\\WINDOWS\\system32\\kernel32.dll", "keep");
        h.AddDirectory("C:\\WINDOWS\\Temp");
        c.setUp(h);
        const int nHeld = h.m_nOpenHandles;
        a.WriteFinishLog();
        EXPECT_EQ("keep", h.FileData("C:\\boot.ini")) << c.name;
        EXPECT_EQ("keep", h.FileData("C:\\WINDOWS\\system32\\kernel32.dll")) << c.name;
        EXPECT_EQ((std::vector<std::string>{"Temp\\", "system32\\", "system32\\kernel32.dll"}),
                  h.Tree("C:\\WINDOWS"))
            << c.name;
        EXPECT_EQ(c.written, MARKER == h.FileData("C:\\csb.log")) << c.name;
        if (c.written) {
            EXPECT_EQ((std::vector<std::string>{
                          "WINDOWS\\", "WINDOWS\\Temp\\", "WINDOWS\\system32\\",
                          "WINDOWS\\system32\\kernel32.dll", "boot.ini", "csb.log"}),
                      h.Tree("C:\\"))
                << c.name;
        }
        EXPECT_FALSE(h.Exists("C:\\elsewhere.log")) << c.name;
        EXPECT_EQ(nHeld, h.m_nOpenStreams + h.m_nOpenSearches + h.m_nOpenHandles) << c.name;
    }
}

// What cannot be cleared stays, and everything stays when the Windows directory names no
// drive root to put the marker at: no marker then, and no message either.
TEST_F(InstallTest, NoMarkerWhereTheOldEntryStaysOrNoDriveRoot) {
    const std::string WINDOWS = "C:\\WINDOWS";
    struct {
        const char* name;
        const char* stays;      // below C:\csb.log\sub, beside one that goes; nullptr: C:\csb.log
        DWORD attributes;       // of what stays
        std::string windowsDir; // "": GetWindowsDirectoryA fails
    } cases[] = {
        {"read-only file", nullptr, FILE_ATTRIBUTE_READONLY, WINDOWS},
        {"read-only file in a folder", "locked", FILE_ATTRIBUTE_READONLY, WINDOWS},
        {"name with a trailing dot in a folder", "f.", 0, WINDOWS},
        {"Windows directory unreadable", nullptr, 0, ""},
        {"Windows directory too long", nullptr, 0, "C:\\" + std::string(260, 'w')},
        {"not a drive root", nullptr, 0, "\\\\server\\windows"},
        {"drive without backslash", nullptr, 0, "C:"},
    };
    for (const auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        if (c.stays != nullptr) {
            h.AddFile(std::string("C:\\csb.log\\sub\\") + c.stays, "old", c.attributes);
            h.AddFile("C:\\csb.log\\gone");
        } else {
            h.AddFile("C:\\csb.log", "old", c.attributes);
        }
        h.m_bWindowsDirFails = c.windowsDir.empty();
        h.m_strWindowsDir = c.windowsDir;
        a.WriteFinishLog();
        std::vector<std::string> below;
        if (c.stays != nullptr)
            below = {"sub\\", std::string("sub\\") + c.stays};
        EXPECT_EQ(below, h.Tree("C:\\csb.log")) << c.name;
        EXPECT_EQ(c.stays ? "" : "old", h.FileData("C:\\csb.log")) << c.name;
        EXPECT_EQ(c.windowsDir == WINDOWS, h.m_nFileSearches > 0) << c.name;
        EXPECT_TRUE(h.m_boxes.empty()) << c.name;
        EXPECT_EQ(0, h.m_nOpenHandles) << c.name;
    }
}

TEST_F(InstallTest, MarkerGoesToTheRootOfTheWindowsDrive) {
    host.m_strWindowsDir = "D:\\WINNT";
    host.AddDirectory("D:\\WINNT");
    host.AddFile("C:\\csb.log", "other drive");
    app.WriteFinishLog();
    EXPECT_EQ(MARKER, host.FileData("D:\\csb.log"));
    EXPECT_EQ("other drive", host.FileData("C:\\csb.log"));
}
} // namespace
