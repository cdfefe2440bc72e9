// Starting a program and blocking until its process has ended.
#include "Fixture.h"

namespace {
const char PACKAGE[] = "D:\\Win2K_XP\\us\\KB888111XPSP2.exe";

TEST_F(InstallTest, WaitsUntilTheProcessEndsAndClosesBothHandles) {
    for (uint64_t lifetime : {0u, 1u, 499u, 500u, 501u, 10000u}) {
        CMemoryHost h;
        CInstallApp a(h);
        h.AddProgram(PACKAGE, lifetime);
        a.RunAndWait(PACKAGE, "D:\\Win2K_XP\\us\\KB888111XPSP2.exe /quiet /o");
        EXPECT_EQ(lifetime, h.m_now) << lifetime;
        EXPECT_EQ(0, h.m_nOpenHandles);
        ASSERT_EQ(1u, h.m_launches.size());
        EXPECT_EQ(static_cast<UINT>(SW_SHOWNORMAL), h.m_launches[0].show);
        EXPECT_EQ("C:\\", h.m_launches[0].currentDirectory);
    }
}

TEST_F(InstallTest, EndsAtOnceWhenTheProgramCannotStart) {
    app.RunAndWait("D:\\missing.exe", "D:\\missing.exe /quiet /o");
    EXPECT_EQ(0u, host.m_now);
    EXPECT_EQ(0, host.m_nWaits);
    EXPECT_EQ(0, host.m_nOpenHandles);
}

TEST_F(InstallTest, ExitCodesDoNotMatterAndStillActiveEndsWithTheProcess) {
    for (DWORD exitCode : {0u, 1u, 0xC0000005u, static_cast<DWORD>(STILL_ACTIVE)}) {
        CMemoryHost h;
        CInstallApp a(h);
        h.AddProgram(PACKAGE, 1200, exitCode);
        a.RunAndWait(PACKAGE, PACKAGE);
        EXPECT_EQ(1200u, h.m_now) << exitCode;
        EXPECT_LE(h.m_nWaits, 4) << exitCode;
    }
}

TEST_F(InstallTest, CommandLineWithBlanksIsPassedUnchanged) {
    host.AddProgram("D:\\My Disc\\KB888111XPSP2.exe", 10);
    app.RunAndWait("D:\\My Disc\\KB888111XPSP2.exe", "D:\\My Disc\\KB888111XPSP2.exe /quiet /o");
    ASSERT_EQ(1u, host.m_launches.size());
    EXPECT_TRUE(host.m_launches[0].started);
    EXPECT_EQ("D:\\My Disc\\KB888111XPSP2.exe /quiet /o", host.m_launches[0].commandLine);
}
} // namespace
