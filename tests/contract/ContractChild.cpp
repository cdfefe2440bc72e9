// The program the process contract tests start on Windows, "MS EXIT_CODE READY_MS TITLE": a
// GUI program, as the disc's helper is, since Windows waits for no console program's start-up.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    const DWORD dwStart = ::GetTickCount();
    const DWORD dwMs = std::strtoul(__argv[1], nullptr, 10);
    const DWORD dwReadyMs = std::strtoul(__argv[3], nullptr, 10);
    // Its start-up reads no input; a start-up longer than its life never ends.
    ::Sleep(dwReadyMs < dwMs ? dwReadyMs : dwMs);
    if (dwReadyMs < dwMs) {
        ::CreateWindowA("STATIC", __argv[4], 0, 0, 0, 10, 10, nullptr, nullptr, hInstance, nullptr);
        // Waiting for a message is waiting for input; the timer ends each wait, so that the
        // program ends on time.
        ::SetTimer(nullptr, 0, 50, nullptr);
        MSG msg;
        while (static_cast<LONG>(dwStart + dwMs - ::GetTickCount()) > 0 &&
               ::GetMessageA(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageA(&msg);
    }
    return static_cast<int>(std::strtoul(__argv[2], nullptr, 10));
}
