// Sets Windows file attributes the way a program on the disc would see them, since
// Wine's attrib command does not always set several at once.
// Usage: attrib.exe HEX_ATTRIBUTES PATH   (exit code 0 when the attributes read back).
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc != 3)
        return 2;
    DWORD wanted = static_cast<DWORD>(std::strtoul(__argv[1], nullptr, 16));
    if (!SetFileAttributesA(__argv[2], wanted))
        return 1;
    DWORD got = GetFileAttributesA(__argv[2]);
    return (got & wanted) == wanted ? 0 : 1;
}
