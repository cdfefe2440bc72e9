// Prints the version record that GetVersionExA gives a 32-bit program in this Wine prefix,
// the record hdasetup.exe classifies: "PLATFORM MAJOR MINOR BUILD<TAB>SERVICE PACK TEXT".
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        return 1;
    std::printf("%lu %lu %lu %lu\t%s\n", info.dwPlatformId, info.dwMajorVersion,
                info.dwMinorVersion, info.dwBuildNumber, info.szCSDVersion);
    return 0;
}
