// The smallest Win32 program: the benchmarks' yardstick for start-up cost under Wine.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return 0;
}
