// Stand-in for a bus-driver hotfix package: records its command line and current
// directory, then runs HDA_PACKAGE_MS milliseconds (3000 unless told).
#include "tests/standins/Record.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Record("package-start", GetCommandLineA());
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, dir);
    Record("package-cwd", dir);
    SettleMessageQueue();
    Sleep(EnvMilliseconds("HDA_PACKAGE_MS", 3000));
    RecordNow("package-end-time");
    Record("package-end", "");
    return 0;
}
