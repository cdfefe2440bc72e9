// Reads and dismisses message boxes the way a person would: for each dialog box that
// appears it records the caption and the text, then presses OK.
// Usage: answerer.exe COUNT TIMEOUT_MS  (ends after COUNT boxes or the time-out).
#include "tests/standins/Record.h"

#include <string>

namespace {
struct Found {
    HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (std::string(cls) == "#32770" && IsWindowVisible(hwnd)) {
        reinterpret_cast<Found*>(lParam)->box = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK ReadStatic(HWND hwnd, LPARAM lParam) {
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    char text[1024] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    std::string& out = *reinterpret_cast<std::string*>(lParam);
    if (std::string(cls) == "Static" && text[0] != '\0')
        out = text;
    return TRUE;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = __argc > 1 ? std::atoi(__argv[1]) : 1;
    DWORD timeout = __argc > 2 ? static_cast<DWORD>(std::atoi(__argv[2])) : 30000;
    DWORD start = GetTickCount();
    HWND last = nullptr;
    while (count > 0 && GetTickCount() - start < timeout) {
        Found found;
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&found));
        if (found.box == nullptr || found.box == last) {
            Sleep(100);
            continue;
        }
        Sleep(300); // let the box finish drawing, as a person would read it first
        char caption[256] = {};
        GetWindowTextA(found.box, caption, sizeof(caption));
        std::string text;
        EnumChildWindows(found.box, ReadStatic, reinterpret_cast<LPARAM>(&text));
        Record("box", (std::string(caption) + "\t" + text).c_str());
        PostMessageA(found.box, WM_COMMAND, IDOK, 0);
        last = found.box;
        --count;
    }
    Record("answerer-end", count == 0 ? "all answered" : "timed out");
    return 0;
}
