// Starts the programs of the disc: the package, shown and waited for until its process has
// ended or not waited for, and the install helper.
#include "setup/InstallApp.h"

#include <cstring>

namespace {
// A wait returns as soon as the process ends, so the slice never delays the end; it only
// bounds how long the loop goes without reading the exit code. Half a second is twice a
// second awake against a package that runs for minutes: nothing, and no busy loop.
const DWORD WAIT_SLICE_MS = 500;
// What WinExec waits for a program it starts to be ready for input: the helper's window
// exists by then, so the first look for it cannot come too early.
const DWORD INPUT_IDLE_MS = 30000;
} // namespace

bool CInstallApp::StartProcess(const char* lpProgram, const char* lpCommandLine, WORD wShowWindow,
                               PROCESS_INFORMATION& process) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = wShowWindow;
    std::memset(&process, 0, sizeof(process));

    // The program is named apart from the command line: unquoted, a path with blanks would
    // have Windows try a program at each blank first ("C:\Driver.exe" before
    // "C:\Driver Disc\..."), and run as administrator whatever someone put there.
    // CreateProcessA may write into its command line, so it gets a copy of its own.
    CAnsiString strCommandLine = lpCommandLine;
    m_host.CreateProcessA(lpProgram, strCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process);
    return process.hProcess != nullptr;
}

void CInstallApp::StartProgram(const char* lpProgram, const char* lpCommandLine, WORD wShowWindow) {
    PROCESS_INFORMATION process;
    if (!StartProcess(lpProgram, lpCommandLine, wShowWindow, process))
        return;
    m_host.WaitForInputIdle(process.hProcess, INPUT_IDLE_MS);
    m_host.CloseHandle(process.hProcess);
    m_host.CloseHandle(process.hThread);
}

void CInstallApp::RunAndWait(const char* lpProgram, const char* lpCommandLine) {
    PROCESS_INFORMATION process;
    if (!StartProcess(lpProgram, lpCommandLine, SW_SHOWNORMAL, process))
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
