// The version record table, with its bounds.
#include "tests/unit/Fixture.h"

namespace {
const OsCode UNTOUCHED = 0xEE; // what the caller held; an unassigned code leaves it
const int32_t KEPT = -7;       // what m_nServicePack held; paths that do not set it keep it

// The 128-byte text field filled to its end without a zero, which must still be read safely.
const char FIELD_FULL[] = "<field full>";

struct VersionCase {
    DWORD platform, major, minor, build;
    const char* servicePack;
    OsCode code;
    int32_t servicePackNumber;
    bool queryFails = false;
};

std::ostream& operator<<(std::ostream& os, const VersionCase& c) {
    return os << c.platform << " " << c.major << "." << c.minor << "." << c.build << " \""
              << c.servicePack << "\"" << (c.queryFails ? " (query fails)" : "");
}

class VersionTest : public InstallTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTest, Classifies) {
    const VersionCase& c = GetParam();
    host.SetVersion(c.platform, c.major, c.minor, c.build, c.servicePack);
    if (c.servicePack == FIELD_FULL)
        std::memset(host.m_version.szCSDVersion, 'x', sizeof(host.m_version.szCSDVersion));
    host.m_bVersionFails = c.queryFails;
    app.m_nServicePack = KEPT;
    OsCode code = UNTOUCHED;
    app.GetOsVersion(code);
    EXPECT_EQ(c.code, code);
    EXPECT_EQ(c.servicePackNumber, app.m_nServicePack);
    EXPECT_EQ(148u, host.m_dwVersionSizeSeen);
}

INSTANTIATE_TEST_SUITE_P(
    Records, VersionTest,
    ::testing::Values(VersionCase{0, 3, 10, 0, "", OS_WIN32S, KEPT},
                      VersionCase{1, 4, 0, 950, "", OS_WIN95, KEPT},
                      VersionCase{1, 4, 0, 0x04000457, " B", OS_WIN95, KEPT},
                      VersionCase{1, 3, 95, 2222, "", OS_WIN95, KEPT},
                      VersionCase{1, 4, 10, 1998, "", OS_WIN98, KEPT},
                      VersionCase{1, 4, 10, 2222, " A ", OS_WIN98SE, KEPT},
                      VersionCase{1, 4, 10, 0x040A08AE, " A ", OS_WIN98SE,
                                  KEPT}, // 4.10 high, 2222 low
                      VersionCase{1, 4, 10, 0xFFFF08AE, "", OS_WIN98SE, KEPT},
                      VersionCase{1, 4, 10, 0x000108AD, "", OS_WIN98, KEPT},
                      VersionCase{1, 4, 90, 3000, "", OS_WINME, KEPT},
                      VersionCase{1, 4, 90, 0x045A0BB8, "", OS_WINME, KEPT},
                      VersionCase{1, 5, 0, 100, "", OS_WIN98, KEPT},
                      VersionCase{2, 3, 51, 1057, "Service Pack 5", OS_WINNT, KEPT},
                      VersionCase{2, 4, 0, 1381, "Service Pack 6a", OS_WINNT, KEPT},
                      VersionCase{2, 4, 0, 1381, "Service Pack 4", OS_WINNT, KEPT},
                      VersionCase{2, 5, 0, 2195, "Service Pack 4", OS_WIN2000, 4},
                      VersionCase{2, 5, 0, 2195, "Service Pack 3", OS_WIN2000, KEPT},
                      VersionCase{2, 5, 0, 2195, "Service Pack 4 ", OS_WIN2000, KEPT},
                      VersionCase{2, 5, 0, 2195, "service pack 4", OS_WIN2000, KEPT},
                      VersionCase{2, 5, 0, 2221, "Service Pack 4", OS_WIN2000, 4},
                      VersionCase{2, 5, 0, 2222, "Service Pack 4", UNTOUCHED, KEPT},
                      VersionCase{2, 5, 0, 2223, "", UNTOUCHED, KEPT},
                      VersionCase{2, 5, 1, 2221, "", UNTOUCHED, KEPT},
                      VersionCase{2, 5, 1, 2222, "Service Pack 1", UNTOUCHED, KEPT},
                      VersionCase{2, 5, 1, 2223, "Service Pack 1", OS_WINXP, 1},
                      VersionCase{2, 5, 1, 2600, "", OS_WINXP, 0},
                      VersionCase{2, 5, 1, 2600, "Service Pack 1", OS_WINXP, 1},
                      VersionCase{2, 5, 1, 2600, "Service Pack 1 ", OS_WINXP, KEPT},
                      VersionCase{2, 5, 1, 2600, "Service Pack 1a", OS_WINXP, KEPT},
                      VersionCase{2, 5, 1, 2600, "Service Pack 2", OS_WINXP, 2},
                      VersionCase{2, 5, 1, 2600, "service pack 2", OS_WINXP, KEPT},
                      VersionCase{2, 5, 1, 2600, "Service Pack 3", OS_WINXP, KEPT},
                      VersionCase{2, 5, 1, 2600, FIELD_FULL, OS_WINXP, KEPT},
                      VersionCase{2, 5, 2, 3790, "Service Pack 2", OS_WIN2003, KEPT},
                      VersionCase{2, 5, 2, 1, "", OS_WIN2003, KEPT},
                      VersionCase{2, 5, 3, 3790, "", UNTOUCHED, KEPT},
                      VersionCase{2, 6, 0, 6000, "", UNTOUCHED, KEPT},
                      VersionCase{2, 10, 0, 19045, "", UNTOUCHED, KEPT},
                      VersionCase{2, 2, 0, 100, "", UNTOUCHED, KEPT},
                      VersionCase{3, 5, 1, 2600, "", UNTOUCHED, KEPT},
                      VersionCase{0xFFFFFFFF, 5, 1, 2600, "", UNTOUCHED, KEPT},
                      // XP with service pack 1, had the query not failed.
                      VersionCase{2, 5, 1, 2600, "Service Pack 1", UNTOUCHED, KEPT, true}));

} // namespace
