// What the fuzz targets found, each kept as the smallest case that showed it.
#include "Fixture.h"

namespace {
// A module path with no "\", "/" or ":" at all: the title's start went through a pointer
// one byte before the path buffer. That is undefined; clang's sanitizer flags it and GCC's
// does not, so the fuzz seed fuzz/corpus/driver/bare-module-name replays it under clang.
TEST(FuzzFindings, BareModuleNameIsItsOwnTitle) {
    struct {
        const char* path;
        const char* title;
    } cases[] = {{"hdasetup.exe", "hdasetup"}, {"hdasetup", "hdasetup"}, {".exe", ""}, {"", ""}};
    for (const auto& c : cases) {
        CMemoryHost host;
        CInstallApp app(host);
        host.m_strModulePath = c.path;
        EXPECT_EQ(0, app.Run(nullptr, "-S"));
        EXPECT_STREQ(c.title, app.AppTitle()) << c.path;
        EXPECT_STREQ("", app.m_szExeDir) << c.path;
    }
}
} // namespace
