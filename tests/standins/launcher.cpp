// Starts a command line, waits for it and records, on the stand-ins' clock, when it
// started and ended and how much processor time it used (for the benchmarks).
// Usage: launcher.exe COMMAND LINE...
#include "tests/standins/Record.h"

#include <cstring>

namespace {
double Milliseconds(const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    char command[4096] = {};
    std::strncpy(command, lpCmdLine, sizeof(command) - 1);
    Record("launch-start", command);
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Record("launch-failed", command);
        return 1;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    Record("launch-end", "");
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user)) {
        char text[64];
        wsprintfA(text, "%d", static_cast<int>(Milliseconds(kernel) + Milliseconds(user)));
        Record("launch-cpu-ms", text);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
