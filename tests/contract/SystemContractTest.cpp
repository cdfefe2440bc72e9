// What the install steps rely on from fixed-size text buffers, the registry, processes and
// windows, checked the same way against the in-memory Windows and the real one.
#include "tests/contract/ContractWorld.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {
const char FILL = '\xCC'; // what "untouched" looks like in a buffer
const size_t GUARD = 16;  // bytes behind the size a call is given

// A buffer of a given size with guard bytes behind it, all filled with FILL.
struct CGuardedBuffer {
    explicit CGuardedBuffer(size_t nSize) : m_nSize(nSize), m_bytes(nSize + GUARD, FILL) {}
    char* Data() { return m_bytes.data(); }
    std::string Text() const { return std::string(m_bytes.data()); }
    std::string Bytes(size_t n) const { return std::string(m_bytes.data(), n); }
    bool Untouched(size_t from) const {
        for (size_t i = from; i < m_bytes.size(); ++i)
            if (m_bytes[i] != FILL)
                return false;
        return true;
    }
    size_t m_nSize;
    std::vector<char> m_bytes;
};

class SystemContract : public ::testing::Test {
protected:
    // Starts a command line as the installer starts its programs, into a zeroed record.
    BOOL Start(std::string command, PROCESS_INFORMATION& process) {
        STARTUPINFOA startup;
        std::memset(&startup, 0, sizeof(startup));
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        std::memset(&process, 0, sizeof(process));
        return host.CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process);
    }

    std::unique_ptr<CContractWorld> world = MakeContractWorld();
    CHost& host = world->Host();
};

// GetWindowsDirectoryA and GetCurrentDirectoryA share one rule: a buffer that holds the
// text and its zero gets both and the length; a smaller one gets nothing and the size needed.
TEST_F(SystemContract, DirectoryQueriesNeverWriteAShortBuffer) {
    struct Query {
        const char* name;
        std::function<DWORD(char*, DWORD)> call;
    } queries[] = {
        {"GetWindowsDirectoryA",
         [this](char* p, DWORD n) { return host.GetWindowsDirectoryA(p, n); }},
        {"GetCurrentDirectoryA",
         [this](char* p, DWORD n) { return host.GetCurrentDirectoryA(n, p); }},
    };
    for (const auto& q : queries) {
        char szFull[MAX_PATH + 1] = {};
        const DWORD dwLen = q.call(szFull, sizeof(szFull));
        ASSERT_GT(dwLen, 3u) << q.name;
        ASSERT_EQ(std::strlen(szFull), dwLen) << q.name;

        for (DWORD dwSize : std::initializer_list<DWORD>{dwLen + 1, dwLen + 2}) {
            CGuardedBuffer buffer(dwSize);
            EXPECT_EQ(dwLen, q.call(buffer.Data(), dwSize)) << q.name << " " << dwSize;
            EXPECT_EQ(szFull, buffer.Text()) << q.name << " " << dwSize;
            EXPECT_TRUE(buffer.Untouched(dwLen + 1)) << q.name << " " << dwSize;
        }
        for (DWORD dwSize : std::initializer_list<DWORD>{dwLen, dwLen - 1, 1}) {
            CGuardedBuffer buffer(dwSize);
            EXPECT_EQ(dwLen + 1, q.call(buffer.Data(), dwSize)) << q.name << " " << dwSize;
            EXPECT_TRUE(buffer.Untouched(0)) << q.name << " " << dwSize;
        }
    }
}

// As on Windows 2000 and XP: a path that does not fit is cut to the buffer's size, without
// a terminating zero, and the result is that size.
TEST_F(SystemContract, ModuleFileNameIsCutToTheBufferWithoutAZero) {
    char szFull[MAX_PATH + 1] = {};
    const DWORD dwLen = host.GetModuleFileNameA(nullptr, szFull, sizeof(szFull));
    ASSERT_GT(dwLen, 8u);
    ASSERT_EQ(std::strlen(szFull), dwLen);

    CGuardedBuffer fits(dwLen + 1);
    EXPECT_EQ(dwLen, host.GetModuleFileNameA(nullptr, fits.Data(), dwLen + 1));
    EXPECT_EQ(szFull, fits.Text());
    EXPECT_TRUE(fits.Untouched(dwLen + 1));

    for (DWORD dwSize : std::initializer_list<DWORD>{dwLen, dwLen - 1, 5}) {
        CGuardedBuffer cut(dwSize);
        EXPECT_EQ(dwSize, host.GetModuleFileNameA(nullptr, cut.Data(), dwSize)) << dwSize;
        EXPECT_EQ(std::string(szFull, dwSize), cut.Bytes(dwSize)) << dwSize;
        EXPECT_TRUE(cut.Untouched(dwSize)) << dwSize;
    }
}

class RegistryContract : public SystemContract {
protected:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, host.RegOpenKeyA(HKEY_LOCAL_MACHINE, KEY, &hKey));
    }
    void TearDown() override { EXPECT_EQ(ERROR_SUCCESS, host.RegCloseKey(hKey)); }

    DWORD SubkeyCount() {
        DWORD dwCount = 0xDEADBEEF;
        EXPECT_EQ(ERROR_SUCCESS,
                  host.RegQueryInfoKeyA(hKey, nullptr, nullptr, nullptr, &dwCount, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr));
        return dwCount;
    }

    static constexpr const char* KEY = "SYSTEM\\CurrentControlSet\\Enum\\HDAUDIO";
    HKEY hKey = nullptr;
};

TEST_F(RegistryContract, EnumerationGoesByIndexInNameOrderAndEndsWithNoMoreItems) {
    // The registry keeps subkeys sorted by name without regard to case, whatever order
    // they were made in. (Windows compares upper case, Wine lower case: the two differ only
    // where one name has one of [\]^_` and the other a letter, which these names avoid.)
    for (const char* name : {"FUNC_01&VEN_17E8", "func_01&VEN_1095", "FUNC_01.X", "FUNC_01a"})
        world->AddHdaSubkey(name);
    EXPECT_EQ(4u, SubkeyCount());
    const std::vector<std::string> expected = {"func_01&VEN_1095", "FUNC_01&VEN_17E8", "FUNC_01.X",
                                               "FUNC_01a"};
    for (DWORD i = 0; i < expected.size(); ++i) {
        char szName[255] = {};
        EXPECT_EQ(ERROR_SUCCESS, host.RegEnumKeyA(hKey, i, szName, sizeof(szName))) << i;
        EXPECT_EQ(expected[i], szName) << i;
    }
    char szName[255] = {};
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, host.RegEnumKeyA(hKey, 4, szName, sizeof(szName)));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, host.RegEnumKeyA(hKey, 100, szName, sizeof(szName)));
}

TEST_F(RegistryContract, NameThatDoesNotFitFailsWithMoreDataAndWritesNothing) {
    struct {
        size_t nameLength;
        DWORD bufferSize;
        LONG result;
    } cases[] = {
        {7, 8, ERROR_SUCCESS},     {8, 8, ERROR_MORE_DATA},     {9, 8, ERROR_MORE_DATA},
        {254, 255, ERROR_SUCCESS}, {255, 255, ERROR_MORE_DATA},
    };
    for (const auto& c : cases) {
        world->ClearHdaSubkeys();
        const std::string name(c.nameLength, 'N');
        world->AddHdaSubkey(name);
        ASSERT_EQ(1u, SubkeyCount()) << c.nameLength;

        CGuardedBuffer buffer(c.bufferSize);
        EXPECT_EQ(c.result, host.RegEnumKeyA(hKey, 0, buffer.Data(), c.bufferSize))
            << c.nameLength << " in " << c.bufferSize;
        if (c.result == ERROR_SUCCESS) {
            EXPECT_EQ(name, buffer.Text());
            EXPECT_TRUE(buffer.Untouched(c.nameLength + 1));
        } else {
            EXPECT_TRUE(buffer.Untouched(0)) << c.nameLength << " in " << c.bufferSize;
        }
    }
}

TEST_F(SystemContract, MissingRegistryKeyDoesNotOpen) {
    HKEY hKey = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              host.RegOpenKeyA(HKEY_LOCAL_MACHINE,
                               "SYSTEM\\CurrentControlSet\\Enum\\HDAUDIO\\NoSuchFunction", &hKey));
}

// Exit code 259 is STILL_ACTIVE: only the wait can tell such a program has ended.
TEST_F(SystemContract, ExitCodeIsStillActiveUntilTheProcessEnds) {
    for (DWORD dwExitCode : std::initializer_list<DWORD>{7, STILL_ACTIVE}) {
        PROCESS_INFORMATION process;
        ASSERT_TRUE(Start(world->ProgramCommand(1000, dwExitCode, 0, "exit code"), process));

        DWORD dwCode = 0;
        EXPECT_TRUE(host.GetExitCodeProcess(process.hProcess, &dwCode));
        EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), dwCode);
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
                  host.WaitForSingleObject(process.hProcess, 100));
        EXPECT_TRUE(host.GetExitCodeProcess(process.hProcess, &dwCode));
        EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), dwCode);

        EXPECT_EQ(WAIT_OBJECT_0, host.WaitForSingleObject(process.hProcess, 30000));
        EXPECT_TRUE(host.GetExitCodeProcess(process.hProcess, &dwCode));
        EXPECT_EQ(dwExitCode, dwCode);
        // An ended process stays signalled.
        EXPECT_EQ(WAIT_OBJECT_0, host.WaitForSingleObject(process.hProcess, 0));

        EXPECT_TRUE(host.CloseHandle(process.hProcess));
        EXPECT_TRUE(host.CloseHandle(process.hThread));
    }
}

TEST_F(SystemContract, ProgramThatCannotStartLeavesTheProcessRecordAlone) {
    PROCESS_INFORMATION process;
    EXPECT_FALSE(Start(world->Root() + "\\missing.exe /quiet", process));
    EXPECT_EQ(nullptr, process.hProcess);
    EXPECT_EQ(nullptr, process.hThread);
}

// WaitForInputIdle waits for a started program's start-up: until it first waits for input,
// which the helper does once its window is there; or until it ends first, or the limit. Only a
// process's handle names a start-up.
TEST_F(SystemContract, InputIdleWaitEndsWhenTheProgramIsReady) {
    const DWORD TICK = 16; // how coarse Windows' GetTickCount may be
    struct {
        const char* name;
        DWORD readyMs; // its start-up; it ends 1500 ms after its start
        DWORD limit;
        bool byThread; // given the thread's handle instead of the process's
        DWORD result;
        DWORD waited; // at least
        bool window;  // there when the wait returns
        bool ended;   // by then
    } rows[] = {
        {"at once", 0, 30000, false, 0, 0, true, false},
        {"late", 500, 30000, false, 0, 500, true, false},
        {"later than the limit", 1000, 200, false, WAIT_TIMEOUT, 200, false, false},
        // Wine answers 0; Windows does not document this case.
        {"never: it ends first", 3000, 30000, false, 0, 1500, false, true},
        {"by the thread's handle", 500, 30000, true, WAIT_FAILED, 0, false, false},
    };
    for (const auto& r : rows) {
        const std::string title = world->Root() + "\\" + r.name;
        PROCESS_INFORMATION process;
        ASSERT_TRUE(Start(world->ProgramCommand(1500, 0, r.readyMs, title), process)) << r.name;
        const DWORD dwStart = world->Milliseconds();
        EXPECT_EQ(r.result,
                  host.WaitForInputIdle(r.byThread ? process.hThread : process.hProcess, r.limit))
            << r.name;
        EXPECT_GE(world->Milliseconds() - dwStart + TICK, r.waited) << r.name;
        EXPECT_EQ(r.window, host.FindWindowA(nullptr, title.c_str()) != nullptr) << r.name;
        EXPECT_EQ(r.ended ? WAIT_OBJECT_0 : static_cast<DWORD>(WAIT_TIMEOUT),
                  host.WaitForSingleObject(process.hProcess, 0))
            << r.name;
        EXPECT_EQ(WAIT_OBJECT_0, host.WaitForSingleObject(process.hProcess, 30000)) << r.name;
        host.CloseHandle(process.hProcess);
        host.CloseHandle(process.hThread);
    }
}

TEST_F(SystemContract, FindWindowAFindsAHiddenWindowByItsWholeTitleUntilItIsGone) {
    const std::string title = "D:\\chipset\\inshelp\\install.exe";
    EXPECT_EQ(nullptr, host.FindWindowA(nullptr, title.c_str()));
    world->OpenHiddenWindow(title);

    struct {
        std::string asked;
        bool found;
    } cases[] = {
        {title, true},
        {"d:\\CHIPSET\\INSHELP\\INSTALL.EXE", true}, // titles compare without case
        {"D:\\chipset\\inshelp\\install", false},
        {title + " ", false},
        {"chipset\\inshelp\\install.exe", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.found, host.FindWindowA(nullptr, c.asked.c_str()) != nullptr) << c.asked;

    world->CloseWindow(title);
    EXPECT_EQ(nullptr, host.FindWindowA(nullptr, title.c_str()));
}
} // namespace
