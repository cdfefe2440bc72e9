// A Win32 program that does nothing but load what the installer must load (USER32 and
// COMCTL32): the yardstick for how much of a run is Wine's start-up of those libraries.
#include <windows.h>

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    FindWindowA(nullptr, "no such window");
    return 0;
}
