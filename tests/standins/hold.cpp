// Holds a file open as a log viewer would: reading, sharing read and write but not delete,
// so that no one can delete or rename it meanwhile.
// Usage: hold.exe PATH READY_PATH MS   (makes READY_PATH once the file is held, then holds
// it MS milliseconds; exit code 1 when the file cannot be opened).
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc != 4)
        return 2;
    HANDLE hFile = CreateFileA(__argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(CreateFileA(__argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    Sleep(static_cast<DWORD>(std::strtoul(__argv[3], nullptr, 10)));
    CloseHandle(hFile);
    return 0;
}
