// The scripts' copy of the disc's facts, written by the build, says what the program's own
// source says: a path changed in one place changes for the program and the scripts alike.
#include "setup/DiscFacts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

namespace {
// NAME='TEXT' lines, as the shell reads them.
std::map<std::string, std::string> ReadShellFacts(const char* path) {
    std::map<std::string, std::string> facts;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        const size_t eq = line.find("='");
        if (line.empty() || line[0] == '#' || eq == std::string::npos || line.back() != '\'')
            continue;
        facts[line.substr(0, eq)] = line.substr(eq + 2, line.size() - eq - 3);
    }
    return facts;
}
} // namespace

TEST(DiscFacts, TheScriptsCopyMatchesTheProgram) {
#define FACT(name)                                                                                 \
    { "HDA_" #name, disc::name }
    const std::map<std::string, std::string> expected = {
        FACT(CODEC_1095_1390),
        FACT(CODEC_1095_1392),
        FACT(CODEC_17E8_0047),
        FACT(HDAUDIO_KEY),
        FACT(PACKAGE_FOLDER_2003),
        FACT(PACKAGE_FOLDER_XP),
        FACT(PACKAGE_FILE_SRVRTM),
        FACT(PACKAGE_FILE_SRVRTM_SILENT),
        FACT(PACKAGE_FILE_XPSP1),
        FACT(PACKAGE_FILE_XPSP1_SILENT),
        FACT(PACKAGE_FILE_XPSP2),
        FACT(PACKAGE_FILE_XPSP2_SILENT),
        FACT(PACKAGE_FILE_W2KSP4),
        FACT(PACKAGE_FILE_W2KSP4_SILENT),
        FACT(HELPER_32),
        FACT(HELPER_64),
        FACT(INF_32),
        FACT(INF_64),
        FACT(MARKER_NAME),
        FACT(MARKER_TEXT),
    };
#undef FACT
    EXPECT_EQ(expected, ReadShellFacts(HDA_DISC_FACTS_SH));
}
