// What the stand-ins share: one line per event appended to the log that HDA_LOG names,
// "<event>\t<tick>\t<text>", so a test can see what each program was given and when.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>

inline void Record(const char* event, const char* text) {
    const char* log = std::getenv("HDA_LOG");
    if (log == nullptr)
        return;
    FILE* file = std::fopen(log, "ab");
    if (file == nullptr)
        return;
    std::fprintf(file, "%s\t%lu\t%s\n", event, static_cast<unsigned long>(GetTickCount()), text);
    std::fclose(file);
}

// A system time as milliseconds, for events that only a FILETIME can date (a process's
// creation); comparable between processes like GetTickCount, but finer under Wine.
inline void RecordTime(const char* event, const FILETIME& time) {
    ULONGLONG ms =
        ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000;
    char text[32];
    wsprintfA(text, "%I64u", ms);
    Record(event, text);
}

inline void RecordNow(const char* event) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    RecordTime(event, now);
}

inline DWORD EnvMilliseconds(const char* name, DWORD fallback) {
    const char* value = std::getenv(name);
    return value ? static_cast<DWORD>(std::strtoul(value, nullptr, 10)) : fallback;
}

// The program waits, as WinExec would, until a program it starts waits for input (or for
// 30 s), so each stand-in waits for one short timer message right after it starts.
inline void SettleMessageQueue() {
    MSG msg;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER)
        DispatchMessageA(&msg);
    KillTimer(nullptr, timer);
}
