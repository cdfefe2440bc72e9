// Starting a program and blocking until its process has ended.
#include "tests/unit/Fixture.h"

namespace {
const char PACKAGE[] = "D:\\Win2K_XP\\us\\KB888111XPSP2.exe";

// The exit code does not matter, 259 (STILL_ACTIVE) included: the wait ends with the
// process, within one half-second slice of its end. A wait that fails ends it at once.
TEST_F(InstallTest, WaitsUntilTheProcessEndsAndClosesBothHandles) {
    struct {
        uint64_t lifetime;
        DWORD exitCode;
        int failedWaits;
    } cases[] = {
        {0, 0, 0},     {1, 0, 0},    {499, 0, 0},  {500, 0, 0},           {501, 0, 0},
        {10000, 0, 0}, {1200, 0, 0}, {1200, 1, 0}, {1200, 0xC0000005, 0}, {1200, STILL_ACTIVE, 0},
        {1200, 0, 1}};
    for (const auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        h.AddProgram(PACKAGE, c.lifetime, c.exitCode);
        h.m_nWaitFailures = c.failedWaits;
        a.RunAndWait(PACKAGE, "D:\\Win2K_XP\\us\\KB888111XPSP2.exe /quiet /o");
        EXPECT_EQ(c.failedWaits ? 0 : c.lifetime, h.m_now) << c.lifetime << " " << c.exitCode;
        EXPECT_LE(h.m_nWaits, static_cast<int>(c.lifetime / 500 + 2)) << c.lifetime;
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
} // namespace
