// Stand-in for the disc's install helper: records its command line, then keeps a hidden
// top-level window titled with its own full path for HDA_HELPER_MS milliseconds (5000
// unless told), which is how the installer knows it is still working. With 0 the window is
// gone before the installer looks: it then goes on at once instead of after a 2 s poll, for
// runs that want only the command line.
#include "tests/standins/Record.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    Record("helper-start", GetCommandLineA());
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        RecordTime("helper-created-time", created);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH - 1);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = hInstance;
    wc.lpszClassName = "HdaStandinHelper";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA("HdaStandinHelper", path, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, nullptr, hInstance, nullptr);
    Record("helper-window", hwnd ? path : "(no window)");

    DWORD keep = EnvMilliseconds("HDA_HELPER_MS", 5000);
    if (keep == 0 && hwnd) {
        DestroyWindow(hwnd);
        hwnd = nullptr;
    }
    SettleMessageQueue();
    DWORD end = GetTickCount() + keep;
    MSG msg;
    SetTimer(nullptr, 0, 50, nullptr);
    while (static_cast<LONG>(end - GetTickCount()) > 0 && GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    if (hwnd)
        DestroyWindow(hwnd);
    Record("helper-end", "");
    return 0;
}
