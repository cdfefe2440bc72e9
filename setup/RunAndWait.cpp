// Starts a program and blocks until its process has ended.
#include "setup/InstallApp.h"

#include <cstring>

namespace {
const DWORD WAIT_SLICE_MS = 500;
} // namespace

void CInstallApp::RunAndWait(const char* lpCommandLine) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;

    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof(process));

    // CreateProcessA may write into its command line, so it gets a copy of its own.
    CAnsiString strCommandLine = lpCommandLine;
    m_host.CreateProcessA(nullptr, strCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process);
    if (process.hProcess == nullptr)
        return;

    // The exit code alone cannot tell a program that ended with 259 (STILL_ACTIVE) from a
    // running one, so a wait that reports the end ends the loop too. A wait that fails
    // ends it as well: going round again would spin without blocking.
    DWORD dwExitCode = STILL_ACTIVE;
    DWORD dwWait = WAIT_TIMEOUT;
    do {
        dwWait = m_host.WaitForSingleObject(process.hProcess, WAIT_SLICE_MS);
        m_host.GetExitCodeProcess(process.hProcess, &dwExitCode);
    } while (dwExitCode == STILL_ACTIVE && dwWait == WAIT_TIMEOUT);

    m_host.CloseHandle(process.hProcess);
    m_host.CloseHandle(process.hThread);
}
