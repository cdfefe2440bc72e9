// The host's width: IsWow64Process's flag and a SysWow64 folder in the Windows directory.
#include "tests/unit/Fixture.h"

namespace {
TEST_F(InstallTest, HostWidthAnswers) {
    // The joined path is the directory, the 9 characters of "\SysWow64" and a zero: 245
    // characters is the longest directory whose path fits the 255 bytes.
    const std::string dir245 = "C:\\" + std::string(242, 'w');
    const std::string dir246 = dir245 + "w";
    struct {
        const char* name;
        bool hasApi;
        BOOL flag;
        int sysWow64; // 0 absent, 1 directory, 2 file
        bool windowsDirFails;
        std::string windowsDir;
        bool answer;
        int windowsDirReads;
    } cases[] = {
        {"no IsWow64Process", false, TRUE, 1, false, "C:\\WINDOWS", false, 0},
        {"32-bit Windows", true, FALSE, 1, false, "C:\\WINDOWS", false, 0},
        {"64-bit Windows", true, TRUE, 1, false, "C:\\WINDOWS", true, 1},
        {"lower-case drive letter", true, TRUE, 1, false, "c:\\windows", true, 1},
        {"no SysWow64", true, TRUE, 0, false, "C:\\WINDOWS", false, 1},
        {"SysWow64 a file", true, TRUE, 2, false, "C:\\WINDOWS", false, 1},
        {"Windows directory unreadable", true, TRUE, 1, true, "C:\\WINDOWS", false, 1},
        {"245 characters", true, TRUE, 1, false, dir245, true, 1},
        {"246 characters", true, TRUE, 1, false, dir246, false, 1},
        {"too long to be read", true, TRUE, 0, false, "C:\\" + std::string(300, 'w'), false, 1},
    };
    for (const auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        h.m_bHasIsWow64Process = c.hasApi;
        g_pfnIsWow64Process = LookUpIsWow64Process(h);
        h.m_bWow64 = c.flag;
        h.m_bWindowsDirFails = c.windowsDirFails;
        h.m_strWindowsDir = c.windowsDir;
        if (c.sysWow64 == 1)
            h.AddDirectory(c.windowsDir + "\\sYsWoW64");
        if (c.sysWow64 == 2)
            h.AddFile(c.windowsDir + "\\SysWow64");
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(c.answer, a.IsWow64Host()) << c.name;
        EXPECT_EQ(3 * c.windowsDirReads, h.m_nWindowsDirReads) << c.name;
        EXPECT_EQ(0, h.m_nOpenSearches) << c.name;
    }
}
} // namespace
