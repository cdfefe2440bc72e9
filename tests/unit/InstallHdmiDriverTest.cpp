// The HDMI audio driver step: host width, base directory, command line, debug boxes, wait.
#include "tests/unit/Fixture.h"

namespace {
const char DEVICE[] = "FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000";
const char CMD_32[] = "E:\\chipset\\inshelp\\install.exe "
                      "E:\\chipset\\Vga\\Intel\\WIN2K_XP\\Graphics\\HDMI\\intchdmi.inf "
                      "\"HDAUDIO\\FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000\"";
const char CMD_64[] = "E:\\chipset\\inshelp\\ins64.exe "
                      "E:\\chipset\\Vga\\Intel\\WIN2K_XP\\winxp64\\HDMI\\intchdmi.inf "
                      "\"HDAUDIO\\FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000\"";
const char TITLE_32[] = "E:\\chipset\\inshelp\\install.exe";
const char TITLE_64[] = "E:\\chipset\\inshelp\\ins64.exe";

int s_nWidthQuestions = 0;
BOOL WINAPI SecondAnswerIs64(HANDLE, PBOOL pbWow64) {
    *pbWow64 = ++s_nWidthQuestions == 2;
    return TRUE;
}

class DriverTest : public InstallTest {
protected:
    void SetUp() override { Prepare(host, app); }
    // The patterns filled and nothing recorded yet; one codec function, a disc at E:\.
    static void Prepare(CMemoryHost& h, CInstallApp& a) {
        a.RunInstall();
        h.m_launches.clear();
        h.m_events.clear();
        h.m_subkeys = {DEVICE};
        std::strcpy(a.m_szExeDir, "E:\\Drivers\\Audio\\");
    }
    void MakeHost64() {
        host.m_bWow64 = TRUE;
        host.AddDirectory("C:\\WINDOWS\\SysWOW64");
    }
};

TEST_F(DriverTest, WorkedExampleOnBothWidths) {
    app.InstallHdmiDriver();
    ASSERT_EQ(1u, host.m_launches.size());
    EXPECT_EQ(CMD_32, host.m_launches[0].commandLine);
    EXPECT_EQ(TITLE_32, host.m_launches[0].program);
    EXPECT_EQ(static_cast<UINT>(SW_HIDE), host.m_launches[0].show);
    EXPECT_EQ(std::vector<std::string>{TITLE_32}, host.m_findWindowTitles);

    host.m_launches.clear();
    host.m_findWindowTitles.clear();
    MakeHost64();
    app.InstallHdmiDriver();
    ASSERT_EQ(1u, host.m_launches.size());
    EXPECT_EQ(CMD_64, host.m_launches[0].commandLine);
    EXPECT_EQ(std::vector<std::string>{TITLE_64}, host.m_findWindowTitles);
}

TEST_F(DriverTest, BaseDirectoryIsTwoLevelsUp) {
    struct {
        const char* exeDir;
        const char* base;
        UINT codePage = 1252;
    } cases[] = {
        {"E:\\Drivers\\Audio\\", "E:\\"},
        {"E:\\Setup\\Drivers\\Audio\\", "E:\\Setup\\"},
        {"E:\\Audio\\", "E:\\Audio\\"},
        {"E:\\", "E:\\"},
        {"E:\\My Disc\\Drivers\\Audio\\", "E:\\My Disc\\"},
        // E:\ソフト\Drivers\ソ\ : two of the 0x5C bytes are second bytes of ソ.
        {"E:\\\x83\x5C\x83\x74\x83\x67\\Drivers\\\x83\x5C\\", "E:\\\x83\x5C\x83\x74\x83\x67\\",
         932},
    };
    host.AddProgram("E:\\My.exe", 0); // planted at the first blank, which Windows would try first
    for (const auto& c : cases) {
        host.m_launches.clear();
        host.SetCodePage(c.codePage);
        std::strcpy(app.m_szExeDir, c.exeDir);
        app.InstallHdmiDriver();
        ASSERT_EQ(1u, host.m_launches.size()) << c.exeDir;
        const std::string base = c.base;
        const std::string helper = base + "chipset\\inshelp\\install.exe";
        EXPECT_EQ(helper + " " + base +
                      "chipset\\Vga\\Intel\\WIN2K_XP\\Graphics\\HDMI\\intchdmi.inf "
                      "\"HDAUDIO\\" +
                      DEVICE + "\"",
                  host.m_launches[0].commandLine)
            << c.exeDir;
        EXPECT_EQ(helper, host.m_findWindowTitles.back()) << c.exeDir;
        EXPECT_EQ(helper, host.m_launches[0].program) << c.exeDir;
    }
}

TEST_F(DriverTest, EachWidthQuestionIsAskedAfresh) {
    // The system answers "64-bit" only to the second question: the INF alone takes the
    // 64-bit form, which shows that the three choices are made independently.
    MakeHost64();
    s_nWidthQuestions = 0;
    g_pfnIsWow64Process = &SecondAnswerIs64;
    app.InstallHdmiDriver();
    EXPECT_EQ(3, s_nWidthQuestions);
    ASSERT_EQ(1u, host.m_launches.size());
    const std::string& cmd = host.m_launches[0].commandLine;
    EXPECT_EQ(0u, cmd.find("E:\\chipset\\inshelp\\install.exe "
                           "E:\\chipset\\Vga\\Intel\\WIN2K_XP\\winxp64\\"));
    EXPECT_EQ(TITLE_32, host.m_findWindowTitles.at(0));
}

TEST_F(DriverTest, DebugBoxesComeFirstAndInOrder) {
    app.m_bDebug = 1;
    app.InstallHdmiDriver();
    ASSERT_EQ(2u, host.m_boxes.size());
    EXPECT_EQ("debug_run", host.m_boxes[0].caption);
    EXPECT_EQ(CMD_32, host.m_boxes[0].text);
    EXPECT_EQ("debug_aa", host.m_boxes[1].caption);
    EXPECT_EQ(TITLE_32, host.m_boxes[1].text);
    for (const auto& box : host.m_boxes) {
        EXPECT_EQ(nullptr, box.owner);
        EXPECT_EQ(static_cast<UINT>(MB_OK), box.type);
    }
    auto boxAt = std::find(host.m_events.begin(), host.m_events.end(), "MessageBoxA debug_aa");
    auto execAt = std::find(host.m_events.begin(), host.m_events.end(),
                            "CreateProcessA " + std::string(CMD_32));
    EXPECT_LT(boxAt, execAt);
}

TEST_F(DriverTest, NothingShownOrStartedWithoutAMatchOrAFolder) {
    app.m_bDebug = 1;
    struct {
        const char* name;
        std::function<void(CMemoryHost&)> setUp;
        size_t boxes;
    } cases[] = {
        // First, while the function is still there to be found.
        {"no program folder", [this](CMemoryHost&) { app.m_szExeDir[0] = '\0'; }, 0},
        {"no match", [](CMemoryHost& h) { h.m_subkeys = {"FUNC_01&VEN_0000&DEV_0000"}; }, 0},
        {"no key", [](CMemoryHost& h) { h.m_bHdaKeyExists = false; }, 1},
    };
    for (auto& c : cases) {
        host.m_boxes.clear();
        c.setUp(host);
        std::strcpy(app.m_szDevicePath, "HDAUDIO\\FUNC_01&VEN_1095&DEV_1390 from before");
        app.InstallHdmiDriver();
        EXPECT_TRUE(host.m_launches.empty()) << c.name;
        EXPECT_EQ(c.boxes, host.m_boxes.size()) << c.name;
        EXPECT_TRUE(host.m_findWindowTitles.empty()) << c.name;
    }
}

// The helper's window comes when its start-up is over, which the step waits for as WinExec
// did, 30 s at most; then it waits as long as the window stays, looking every 2 s. The last
// three windows come late, after those 30 s (the step goes on while the helper works) and never.
TEST_F(DriverTest, WaitsForTheHelperWindowToComeAndGo) {
    struct {
        uint64_t readyMs;  // the helper's start-up, after which its window is there
        uint64_t windowMs; // the helper and its window end this long after its start
        uint64_t end;      // when the step goes on
    } cases[] = {{0, 0, 0},         {0, 1, 2000},       {0, 2000, 2000},       {0, 2001, 4000},
                 {0, 60000, 60000}, {1500, 5000, 5500}, {40000, 60000, 30000}, {4000, 3000, 3000}};
    for (const auto& c : cases) {
        CMemoryHost h;
        CInstallApp a(h);
        Prepare(h, a);
        h.AddProgram(TITLE_32, c.windowMs, 0, TITLE_32, c.windowMs, c.readyMs);
        a.InstallHdmiDriver();
        EXPECT_EQ(c.end, h.m_now) << c.readyMs << " " << c.windowMs;
        EXPECT_EQ(h.m_sleeps.size() + 1, h.m_findWindowTitles.size()) << c.windowMs;
        for (DWORD ms : h.m_sleeps)
            EXPECT_EQ(2000u, ms);
    }
}

TEST_F(DriverTest, MissingHelperEndsAfterOneLook) {
    app.InstallHdmiDriver();
    ASSERT_EQ(1u, host.m_launches.size());
    EXPECT_FALSE(host.m_launches[0].started);
    EXPECT_EQ(1u, host.m_findWindowTitles.size());
    EXPECT_TRUE(host.m_sleeps.empty());
}

TEST_F(DriverTest, CommandLineThatWouldNotFitStartsNothing) {
    // 32-bit: fits when twice the base plus the device path is at most 427 characters.
    const std::string base = "E:\\" + std::string(86, 'd') + "\\"; // 90 characters
    std::strcpy(app.m_szExeDir, (base + "Drivers\\Audio\\").c_str());
    const std::string pattern = "FUNC_01&VEN_1095&DEV_1392";
    const std::string fits = pattern + std::string(427 - 180 - 8 - pattern.size(), 'f');
    host.m_subkeys = {fits};
    app.m_bDebug = 1;
    app.InstallHdmiDriver();
    ASSERT_EQ(1u, host.m_launches.size());
    EXPECT_EQ(511u, host.m_launches[0].commandLine.size());

    host.m_launches.clear();
    host.m_boxes.clear();
    host.m_subkeys = {fits + "g"};
    app.InstallHdmiDriver();
    EXPECT_TRUE(host.m_launches.empty());
    EXPECT_TRUE(host.m_boxes.empty());
}
} // namespace
