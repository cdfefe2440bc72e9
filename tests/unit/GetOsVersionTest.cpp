// The version record table, with its bounds.
#include "Fixture.h"

namespace {
const OsCode UNTOUCHED = 0xEE; // what the caller held; an unassigned code leaves it
const int32_t KEPT = -7;       // what m_nServicePack held; paths that do not set it keep it

// A service-pack text and m_nServicePack afterwards. nullptr: the 128-byte field filled to its
// end without a zero, which must still be read safely.
struct ServicePackCase {
    const char* text;
    int32_t number;
};

// A version record, the code it gives and what each service-pack text gives with it.
struct VersionCase {
    DWORD platform, major, minor, build;
    OsCode code;
    std::vector<ServicePackCase> servicePacks;
    bool queryFails = false;
};

const char* Shown(const char* text) {
    return text ? text : "<field full>";
}

std::ostream& operator<<(std::ostream& os, const VersionCase& c) {
    os << c.platform << " " << c.major << "." << c.minor << "." << c.build;
    for (const ServicePackCase& sp : c.servicePacks)
        os << " \"" << Shown(sp.text) << "\"";
    return os << (c.queryFails ? " (query fails)" : "");
}

class VersionTest : public InstallTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTest, Classifies) {
    const VersionCase& c = GetParam();
    for (const ServicePackCase& sp : c.servicePacks) {
        host.SetVersion(c.platform, c.major, c.minor, c.build, sp.text ? sp.text : "");
        if (sp.text == nullptr)
            std::memset(host.m_version.szCSDVersion, 'x', sizeof(host.m_version.szCSDVersion));
        host.m_bVersionFails = c.queryFails;
        app.m_nServicePack = KEPT;
        OsCode code = UNTOUCHED;
        app.GetOsVersion(code);
        EXPECT_EQ(c.code, code) << Shown(sp.text);
        EXPECT_EQ(sp.number, app.m_nServicePack) << Shown(sp.text);
        EXPECT_EQ(148u, host.m_dwVersionSizeSeen);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, VersionTest,
    ::testing::Values(
        VersionCase{0, 3, 10, 0, OS_WIN32S, {{"", KEPT}}},
        VersionCase{1, 4, 0, 950, OS_WIN95, {{"", KEPT}}},
        VersionCase{1, 4, 0, 0x04000457, OS_WIN95, {{" B", KEPT}}},
        VersionCase{1, 3, 95, 2222, OS_WIN95, {{"", KEPT}}},
        VersionCase{1, 4, 10, 1998, OS_WIN98, {{"", KEPT}}},
        VersionCase{1, 4, 10, 2222, OS_WIN98SE, {{" A ", KEPT}}},
        VersionCase{1, 4, 10, 0x040A08AE, OS_WIN98SE, {{" A ", KEPT}}}, // 4.10 high, 2222 low
        VersionCase{1, 4, 10, 0xFFFF08AE, OS_WIN98SE, {{"", KEPT}}},
        VersionCase{1, 4, 10, 0x000108AD, OS_WIN98, {{"", KEPT}}},
        VersionCase{1, 4, 90, 3000, OS_WINME, {{"", KEPT}}},
        VersionCase{1, 4, 90, 0x045A0BB8, OS_WINME, {{"", KEPT}}},
        VersionCase{1, 5, 0, 100, OS_WIN98, {{"", KEPT}}},
        VersionCase{2, 3, 51, 1057, OS_WINNT, {{"Service Pack 5", KEPT}}},
        VersionCase{2, 4, 0, 1381, OS_WINNT, {{"Service Pack 6a", KEPT}, {"Service Pack 4", KEPT}}},
        VersionCase{2,
                    5,
                    0,
                    2195,
                    OS_WIN2000,
                    {{"Service Pack 4", 4},
                     {"Service Pack 3", KEPT},
                     {"Service Pack 4 ", KEPT},
                     {"service pack 4", KEPT}}},
        VersionCase{2, 5, 0, 2221, OS_WIN2000, {{"Service Pack 4", 4}}},
        VersionCase{2, 5, 0, 2222, UNTOUCHED, {{"Service Pack 4", KEPT}}},
        VersionCase{2, 5, 0, 2223, UNTOUCHED, {{"", KEPT}}},
        VersionCase{2, 5, 1, 2221, UNTOUCHED, {{"", KEPT}}},
        VersionCase{2, 5, 1, 2222, UNTOUCHED, {{"Service Pack 1", KEPT}}},
        VersionCase{2, 5, 1, 2223, OS_WINXP, {{"Service Pack 1", 1}}},
        VersionCase{2,
                    5,
                    1,
                    2600,
                    OS_WINXP,
                    {{"", 0},
                     {"Service Pack 1", 1},
                     {"Service Pack 1 ", KEPT},
                     {"Service Pack 1a", KEPT},
                     {"Service Pack 2", 2},
                     {"service pack 2", KEPT},
                     {"Service Pack 3", KEPT},
                     {nullptr, KEPT}}},
        VersionCase{2, 5, 2, 3790, OS_WIN2003, {{"Service Pack 2", KEPT}}},
        VersionCase{2, 5, 2, 1, OS_WIN2003, {{"", KEPT}}},
        VersionCase{2, 5, 3, 3790, UNTOUCHED, {{"", KEPT}}},
        VersionCase{2, 6, 0, 6000, UNTOUCHED, {{"", KEPT}}},
        VersionCase{2, 10, 0, 19045, UNTOUCHED, {{"", KEPT}}},
        VersionCase{2, 2, 0, 100, UNTOUCHED, {{"", KEPT}}},
        VersionCase{3, 5, 1, 2600, UNTOUCHED, {{"", KEPT}}},
        VersionCase{0xFFFFFFFF, 5, 1, 2600, UNTOUCHED, {{"", KEPT}}},
        // A record that would be XP with service pack 1, had the query not failed.
        VersionCase{2, 5, 1, 2600, UNTOUCHED, {{"Service Pack 1", KEPT}}, true}));
} // namespace
