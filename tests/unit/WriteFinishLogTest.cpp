// Clearing the marker path and writing the 40-byte marker.
#include "Fixture.h"

namespace {
const std::string MARKER = "Sorvel MS HD BUS driver install finished";

TEST_F(InstallTest, MarkerReplacesWhateverStoodThere) {
    struct {
        const char* name;
        std::function<void(CMemoryHost&)> setUp;
    } cases[] = {
        {"nothing", [](CMemoryHost&) {}},
        {"old marker", [](CMemoryHost& h) { h.AddFile("C:\\csb.log", MARKER + "\r\n" + MARKER); }},
        {"large file",
         [](CMemoryHost& h) { h.AddFile("C:\\csb.log", std::string(100 * 1024, 'z')); }},
        {"hidden file",
         [](CMemoryHost& h) {
             h.AddFile("C:\\csb.log", "x", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
         }},
        {"empty directory", [](CMemoryHost& h) { h.AddDirectory("C:\\csb.log"); }},
        {"directory tree",
         [](CMemoryHost& h) {
             h.AddFile("C:\\csb.log\\a.txt");
             h.AddFile("C:\\csb.log\\b\\c\\d.txt", "",
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
             h.AddFile("C:\\csb.log\\.dot\\e");
         }},
    };
    for (auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        h.AddFile("C:\\boot.ini", "keep");
        c.setUp(h);
        a.WriteFinishLog();
        EXPECT_EQ(MARKER, h.FileData("C:\\csb.log")) << c.name;
        EXPECT_EQ(40u, h.FileData("C:\\csb.log").size()) << c.name;
        EXPECT_EQ('d', h.FileData("C:\\csb.log").back()) << c.name;
        EXPECT_EQ(
            (std::vector<std::string>{"WINDOWS\\", "WINDOWS\\system32\\", "boot.ini", "csb.log"}),
            h.Tree("C:\\"))
            << c.name;
        EXPECT_EQ("C:\\", h.m_strCurrentDir) << c.name;
        EXPECT_EQ(0, h.m_nOpenStreams + h.m_nOpenSearches + h.m_nOpenHandles) << c.name;
    }
}

TEST_F(InstallTest, ReadOnlyMarkerIsLeftAsItWas) {
    host.AddFile("C:\\csb.log", "old", FILE_ATTRIBUTE_READONLY);
    app.WriteFinishLog();
    EXPECT_EQ("old", host.FileData("C:\\csb.log"));
    EXPECT_TRUE(host.m_boxes.empty());
}

TEST_F(InstallTest, DirectoryThatCannotBeEmptiedStaysWithoutAMarker) {
    struct {
        const char* name;
        const char* stays; // below C:\csb.log\sub
        DWORD attributes;
    } cases[] = {
        {"read-only file", "locked", FILE_ATTRIBUTE_READONLY},
        {"name with a trailing dot", "f.", 0},
    };
    for (const auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        h.AddFile(std::string("C:\\csb.log\\sub\\") + c.stays, "old", c.attributes);
        h.AddFile("C:\\csb.log\\gone");
        a.WriteFinishLog();
        EXPECT_EQ((std::vector<std::string>{"sub\\", std::string("sub\\") + c.stays}),
                  h.Tree("C:\\csb.log"))
            << c.name;
        EXPECT_EQ(0, h.m_nOpenHandles) << c.name;
    }
}

TEST_F(InstallTest, LinkAtOrInsideTheMarkerPathKeepsItsTarget) {
    host.AddFile("D:\\Data\\photos\\1.jpg", "picture");
    host.AddFile("D:\\Data\\notes.txt", "notes");
    host.AddLink("C:\\csb.log", "D:\\Data");
    app.WriteFinishLog();
    EXPECT_EQ((std::vector<std::string>{"notes.txt", "photos\\", "photos\\1.jpg"}),
              host.Tree("D:\\Data"));
    EXPECT_EQ(MARKER, host.FileData("C:\\csb.log"));

    CMemoryHost h;
    CInstallApp a(h);
    h.AddFile("D:\\Data\\notes.txt", "notes");
    h.AddFile("C:\\csb.log\\x.txt");
    h.AddLink("C:\\csb.log\\into", "D:\\Data");
    a.WriteFinishLog();
    EXPECT_EQ(std::vector<std::string>{"notes.txt"}, h.Tree("D:\\Data"));
    EXPECT_EQ(MARKER, h.FileData("C:\\csb.log"));
}

TEST_F(InstallTest, MarkerGoesToTheRootOfTheWindowsDrive) {
    host.m_strWindowsDir = "D:\\WINNT";
    host.AddDirectory("D:\\WINNT");
    host.AddFile("C:\\csb.log", "other drive");
    app.WriteFinishLog();
    EXPECT_EQ(MARKER, host.FileData("D:\\csb.log"));
    EXPECT_EQ("other drive", host.FileData("C:\\csb.log"));
}

TEST_F(InstallTest, NoDriveRootNoMarker) {
    struct {
        const char* name;
        std::function<void(CMemoryHost&)> setUp;
    } cases[] = {
        {"unreadable", [](CMemoryHost& h) { h.m_bWindowsDirFails = true; }},
        {"too long", [](CMemoryHost& h) { h.m_strWindowsDir = "C:\\" + std::string(260, 'w'); }},
        {"not a drive root", [](CMemoryHost& h) { h.m_strWindowsDir = "\\\\server\\windows"; }},
        {"drive without backslash", [](CMemoryHost& h) { h.m_strWindowsDir = "C:"; }},
    };
    for (auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        h.AddFile("C:\\csb.log", "old");
        c.setUp(h);
        a.WriteFinishLog();
        EXPECT_EQ("old", h.FileData("C:\\csb.log")) << c.name;
        EXPECT_EQ(0, h.m_nFileSearches) << c.name;
    }
}

TEST_F(InstallTest, WindowsDirectoryOf254CharactersStillWorks) {
    host.m_strWindowsDir = "C:\\" + std::string(251, 'w');
    app.WriteFinishLog();
    EXPECT_EQ(MARKER, host.FileData("C:\\csb.log"));
}
} // namespace
