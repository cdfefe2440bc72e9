// The run sequence: options, package choice, the two modes, start-up and the installer state.
#include "tests/unit/Fixture.h"

#include <cstring>

namespace {
const char XPSP2_SHOWN[] = "D:\\Drivers\\Audio\\Win2K_XP\\us\\KB888111XPSP2.exe";
const char XPSP2_SILENT[] = "D:\\Drivers\\Audio\\Win2K_XP\\us\\KB888111XPSP2.exe /quiet /o";

struct OptionCase {
    const char* options;
    bool silent;
    bool debug;
};

class OptionsTest : public InstallTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OptionsTest, SelectsModeAndDebug) {
    const OptionCase& c = GetParam();
    EXPECT_EQ(0, RunProgram(c.options));
    ASSERT_EQ(1u, host.m_launches.size());
    EXPECT_EQ(static_cast<UINT>(c.silent ? SW_SHOWNORMAL : SW_SHOW), host.m_launches[0].show);
    EXPECT_EQ(c.debug, app.m_bDebug != 0);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, OptionsTest,
    ::testing::Values(OptionCase{"", false, false}, OptionCase{"-S", true, false},
                      OptionCase{"-s", true, false}, OptionCase{"-silent", true, false},
                      OptionCase{"x-sy", true, false}, OptionCase{"/S", false, false},
                      OptionCase{"S", false, false}, OptionCase{"-S DEBUG", true, true},
                      OptionCase{"DEBUG-S", true, true}, OptionCase{"nodebug", false, true},
                      OptionCase{"Debug /DEBUG:1", false, true},
                      OptionCase{"  \t-S", true, false}));

// Neither the program's path nor a double-byte character's trail bytes hold options.
TEST_F(InstallTest, OptionsAreOnlyWhereTheOptionsTextHasThem) {
    host.m_strModulePath = "D:\\Disc-S DEBUG\\hdasetup.exe";
    host.SetCodePage(932);
    RunProgram("\x83"
               "DEBUG \x83-S \x83-s");
    EXPECT_EQ(static_cast<UINT>(SW_SHOW), host.m_launches.at(0).show);
    EXPECT_EQ(0, app.m_bDebug);
}

TEST(SkipProgramName, QuotedAndUnquotedNames) {
    EXPECT_STREQ("-S", CWinApp::SkipProgramName("\"C:\\My Disc\\hdasetup.exe\" -S"));
    EXPECT_STREQ("-S x", CWinApp::SkipProgramName("\"C:\\a b\\x.exe\"\t \x01-S x"));
    EXPECT_STREQ("", CWinApp::SkipProgramName("\"C:\\unterminated -S"));
    EXPECT_STREQ("-S", CWinApp::SkipProgramName("C:\\hdasetup.exe\t-S"));
    // Unquoted, the name ends at the first blank, whatever the file system holds.
    EXPECT_STREQ("Disc\\hdasetup.exe b -S",
                 CWinApp::SkipProgramName("C:\\My Disc\\hdasetup.exe b -S"));
    EXPECT_STREQ("", CWinApp::SkipProgramName("hdasetup.exe"));
}

struct PackageCase {
    DWORD platform, major, minor, build;
    const char* servicePack;
    const char* file; // below the program directory
};

class PackageTest : public InstallTest, public ::testing::WithParamInterface<PackageCase> {};

TEST_P(PackageTest, ChoosesThePackageForTheVersionInBothModes) {
    const PackageCase& c = GetParam();
    host.SetVersion(c.platform, c.major, c.minor, c.build, c.servicePack);
    RunProgram("");
    RunProgram("-S");
    ASSERT_EQ(2u, host.m_launches.size());
    const std::string expected = std::string("D:\\Drivers\\Audio\\") + c.file;
    EXPECT_EQ(expected, host.m_launches[0].commandLine);
    EXPECT_EQ(expected + " /quiet /o", host.m_launches[1].commandLine);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PackageTest,
    ::testing::Values(
        PackageCase{2, 5, 2, 3790, "Service Pack 2", "Win2K3\\us\\KB888111Srvrtm.exe"},
        PackageCase{2, 5, 1, 2600, "Service Pack 1", "Win2K_XP\\us\\KB888111XPSP1.exe"},
        PackageCase{2, 5, 1, 2600, "Service Pack 2", "Win2K_XP\\us\\KB888111XPSP2.exe"},
        PackageCase{2, 5, 1, 2600, "Service Pack 3", "Win2K_XP\\us\\KB888111XPSP2.exe"},
        PackageCase{2, 5, 1, 2600, "", "Win2K_XP\\us\\KB888111XPSP2.exe"},
        PackageCase{2, 5, 0, 2195, "Service Pack 4", "Win2K_XP\\us\\KB888111W2KSP4.exe"},
        PackageCase{2, 5, 0, 2195, "Service Pack 1", "Win2K_XP\\us\\KB888111W2KSP4.exe"},
        PackageCase{2, 6, 1, 7601, "Service Pack 1", "Win2K_XP\\us\\KB888111W2KSP4.exe"},
        PackageCase{2, 5, 1, 2222, "Service Pack 1", "Win2K_XP\\us\\KB888111W2KSP4.exe"},
        PackageCase{1, 4, 10, 2222, " A ", "Win2K_XP\\us\\KB888111W2KSP4.exe"}));

TEST_F(InstallTest, UnreadableVersionChoosesTheLastRow) {
    host.m_bVersionFails = true;
    RunProgram("");
    EXPECT_EQ("D:\\Drivers\\Audio\\Win2K_XP\\us\\KB888111W2KSP4.exe",
              host.m_launches.at(0).commandLine);
}

// As WinExec did: the package's start-up is waited for, never its end.
TEST_F(InstallTest, InteractiveWaitsForThePackageStartUpOnlyAndStops) {
    host.AddProgram(XPSP2_SHOWN, 60000, 0, "", 0, 1200);
    host.m_subkeys = {"FUNC_01&VEN_1095&DEV_1390&SUBSYS_1&REV_1"};
    EXPECT_EQ(0, RunProgram(""));
    ASSERT_EQ(1u, host.m_launches.size());
    EXPECT_EQ(1200u, host.m_now);
    EXPECT_EQ(0, host.m_nWaits);
    EXPECT_EQ(0, host.m_nOpenHandles);
    EXPECT_TRUE(host.m_boxes.empty());
    EXPECT_FALSE(host.Exists("C:\\csb.log"));
}

TEST_F(InstallTest, SilentWaitsForThePackageThenRunsTheOtherSteps) {
    host.AddProgram(XPSP2_SHOWN, 7200);
    EXPECT_EQ(0, RunProgram("-S"));
    ASSERT_EQ(1u, host.m_launches.size());
    EXPECT_GE(host.m_now, 7200u);
    EXPECT_LT(host.m_now, 7200u + 500u);
    EXPECT_EQ(0, host.m_nOpenHandles);
    // The driver step looked for the function, and the marker was written, after the wait.
    EXPECT_EQ("RegOpenKeyA SYSTEM\\CurrentControlSet\\Enum\\HDAUDIO", host.m_events.at(2));
    EXPECT_EQ(40u, host.FileData("C:\\csb.log").size());
}

// The program's own path decides the folder that the package, and later the helper, come
// from. A path that names no folder (the call failed, the path was cut to the buffer, no
// backslash) starts nothing; a silent run then still writes the marker.
TEST_F(InstallTest, ModulePathDecidesWhatStarts) {
    const std::string dir127 = "D:\\" + std::string(123, 'a') + "\\";
    const std::string dir128 = "D:\\" + std::string(124, 'a') + "\\";
    const std::string dir499 = "D:\\" + std::string(495, 'x') + "\\";
    const std::string so = "D:\\\x83\x5C\x83\x74\x83\x67\\"; // D:\ソフト\ in code page 932
    struct {
        const char* name;
        std::string modulePath; // empty: GetModuleFileNameA fails
        UINT codePage;
        std::string exeDir;     // m_szExeDir afterwards
        std::string packageDir; // the package's folder; empty: nothing starts
    } cases[] = {
        {"disc folder", "D:\\Drivers\\Audio\\hdasetup.exe", 1252, "D:\\Drivers\\Audio\\",
         "D:\\Drivers\\Audio\\"},
        {"blank, passed unquoted", "D:\\My Disc\\Audio\\hdasetup.exe", 1252, "D:\\My Disc\\Audio\\",
         "D:\\My Disc\\Audio\\"},
        {"double-byte, cut at its real last backslash", so + "hdasetup.exe", 932, so, so},
        // ソ.exe: the 0x5C of its first character is no folder boundary.
        {"double-byte file name in a plain folder", "D:\\Audio\\\x83\x5C.exe", 932, "D:\\Audio\\",
         "D:\\Audio\\"},
        {"127 characters fit the state", dir127 + "hdasetup.exe", 1252, dir127, dir127},
        // Never cut: the state stays empty while the package gets the whole folder.
        {"128 characters do not", dir128 + "hdasetup.exe", 1252, "", dir128},
        {"511 characters, the longest read whole", dir499 + "hdasetup.exe", 1252, "", dir499},
        {"512 characters fill the buffer", dir499 + "hdasetup1.exe", 1252, "", ""},
        {"cut far from its end", "D:\\" + std::string(600, 'x') + "\\hdasetup.exe", 1252, "", ""},
        {"no backslash", "hdasetup.exe", 1252, "", ""},
        {"call fails", "", 1252, "", ""},
    };
    for (const auto& c : cases) {
        for (const char* options : {"", "-S"}) {
            CMemoryHost h;
            CInstallApp a(h);
            h.SetCodePage(c.codePage);
            h.m_strModulePath = c.modulePath;
            h.m_bModuleFileNameFails = c.modulePath.empty();
            // A helper a silent run would start if it went on from a folder of its own, and
            // a program planted at the first blank, which Windows would try first.
            h.m_subkeys = {"FUNC_01&VEN_1095&DEV_1390&SUBSYS_1&REV_1"};
            h.AddProgram("D:\\My.exe", 0);
            h.m_strCommandLine = "hdasetup.exe " + std::string(options);
            EXPECT_EQ(0, a.Run(nullptr, CWinApp::SkipProgramName(h.GetCommandLineA())));
            const std::string where = std::string(c.name) + " [" + options + "]";
            EXPECT_EQ(c.exeDir, a.m_szExeDir) << where;
            const bool bSilent = options[0] != '\0';
            if (c.packageDir.empty()) {
                EXPECT_TRUE(h.m_launches.empty()) << where;
            } else {
                ASSERT_FALSE(h.m_launches.empty()) << where;
                const std::string program = c.packageDir + "Win2K_XP\\us\\KB888111XPSP2.exe";
                EXPECT_EQ(program + (bSilent ? " /quiet /o" : ""), h.m_launches[0].commandLine)
                    << where;
                EXPECT_EQ(program, h.m_launches[0].program) << where;
            }
            EXPECT_EQ(bSilent ? 40u : 0u, h.FileData("C:\\csb.log").size()) << where;
        }
    }
}

TEST_F(InstallTest, StartUpAddsErrorModeBitsAndTitlesBoxesWithTheFileName) {
    RunProgram("");
    ASSERT_EQ(2u, host.m_errorModes.size());
    EXPECT_EQ(0x0004u | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, host.m_errorModes[1]);
    EXPECT_EQ(1, host.m_nInitCommonControls);
    EXPECT_STREQ("hdasetup", app.AppTitle());

    struct TypeCase {
        UINT in, out;
    } types[] = {{MB_OK, MB_OK | MB_ICONEXCLAMATION},
                 {MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION},
                 {MB_YESNOCANCEL, MB_YESNOCANCEL | MB_ICONEXCLAMATION},
                 {MB_YESNO, MB_YESNO | MB_ICONEXCLAMATION},
                 {MB_ABORTRETRYIGNORE, MB_ABORTRETRYIGNORE},
                 {MB_RETRYCANCEL, MB_RETRYCANCEL},
                 {MB_OK | MB_ICONHAND, MB_OK | MB_ICONHAND}};
    for (const TypeCase& t : types) {
        app.DoMessageBox("text", t.in);
        EXPECT_EQ(t.out, host.m_boxes.back().type) << t.in;
        EXPECT_EQ("hdasetup", host.m_boxes.back().caption);
        EXPECT_EQ(nullptr, host.m_boxes.back().owner);
    }
}

// A name without "\", "/" or ":" once took the title's start one byte before the buffer, which
// only clang's sanitizer flags: fuzz/corpus/driver/bare-module-name replays it under clang.
TEST(AppTitle, FileNameWithoutDirectoryAndExtension) {
    struct {
        const char* path;
        const char* title;
        const char* exeDir; // m_szExeDir after a silent run
    } cases[] = {{"D:\\Drivers\\Audio\\hdasetup.exe", "hdasetup", "D:\\Drivers\\Audio\\"},
                 {"D:\\Drivers\\Audio\\setup.v2.exe", "setup.v2", "D:\\Drivers\\Audio\\"},
                 {"D:/disc/prog.exe", "prog", ""},
                 {"D:prog.exe", "prog", ""},
                 {"D:\\a.b\\prog", "a", "D:\\a.b\\"},
                 {"hdasetup.exe", "hdasetup", ""},
                 {"hdasetup", "hdasetup", ""},
                 {".exe", "", ""},
                 {"", "", ""}};
    for (const auto& c : cases) {
        CMemoryHost host;
        CInstallApp app(host);
        host.m_strModulePath = c.path;
        EXPECT_EQ(0, app.Run(nullptr, "-S"));
        EXPECT_STREQ(c.title, app.AppTitle()) << c.path;
        EXPECT_STREQ(c.exeDir, app.m_szExeDir) << c.path;
    }
}

TEST(StartUp, IsWow64ProcessLookUp) {
    CMemoryHost host;
    EXPECT_NE(nullptr, LookUpIsWow64Process(host));
    host.m_bHasIsWow64Process = false;
    EXPECT_EQ(nullptr, LookUpIsWow64Process(host));
}
} // namespace
