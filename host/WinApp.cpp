// The minimal application base: start-up, title, message box, exit code.
#include "host/WinApp.h"

#include "host/AnsiText.h"

#include <cstring>

int CWinApp::Run(HINSTANCE hInstance, const char* lpCmdLine) {
    // Started programs inherit the error mode, so the packages and the helper are also
    // spared "insert a disk" and "file not found" boxes.
    UINT uOldMode = m_host.SetErrorMode(0);
    m_host.SetErrorMode(uOldMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    m_hInstance = hInstance;
    m_strCmdLine = lpCmdLine ? lpCmdLine : "";
    SetAppTitleFromFileName();

    // The hook's result is not looked at: there is no message loop to go on to, and the
    // exit code is 0 either way.
    RunInstall();
    return 0;
}

DWORD CWinApp::ReadModulePath(HINSTANCE hModule, char (&szPath)[MODULE_PATH_SIZE]) {
    // Windows 2000 and XP fill the whole offered size without a terminating zero when the
    // path does not fit: then the last byte is given up for one, and the result says cut.
    const DWORD dwLen = m_host.GetModuleFileNameA(hModule, szPath, MODULE_PATH_SIZE);
    if (dwLen >= MODULE_PATH_SIZE) {
        szPath[MODULE_PATH_SIZE - 1] = '\0';
        return MODULE_PATH_SIZE;
    }
    szPath[dwLen] = '\0';
    return dwLen;
}

void CWinApp::SetAppTitleFromFileName() {
    char szPath[MODULE_PATH_SIZE] = {};
    ReadModulePath(m_hInstance, szPath);

    // The title is the file name without directory and extension: cut at the last ".",
    // then keep what follows the last "\", "/" or ":". Only the backslash can be the
    // second byte of a double-byte character, so only its search walks characters.
    char* pDot = std::strrchr(szPath, '.');
    if (pDot != nullptr)
        *pDot = '\0';
    CAnsiText text(m_host);
    int nStart = text.ReverseFindChar(szPath, '\\');
    for (const char* p = szPath; *p != '\0'; ++p) {
        if ((*p == '/' || *p == ':') && p - szPath > nStart)
            nStart = static_cast<int>(p - szPath);
    }
    // nStart is -1 for a bare file name: a pointer before the buffer is undefined even
    // for a moment, so the offset is summed first.
    m_strAppTitle = szPath + (nStart + 1);
}

int CWinApp::DoMessageBox(const char* lpszPrompt, UINT nType, UINT /*nIDHelp*/) {
    if ((nType & MB_ICONMASK) == 0) {
        switch (nType & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
        case MB_YESNO:
            nType |= MB_ICONEXCLAMATION;
            break;
        default:
            break;
        }
    }
    return m_host.MessageBoxA(nullptr, lpszPrompt, AppTitle(), nType);
}

const char* CWinApp::SkipProgramName(const char* lpCommandLine) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(lpCommandLine);
    if (p == nullptr)
        return "";
    // In every ANSI code page a trail byte is 0x40 or above, so neither a quote nor a
    // blank can hide inside a double-byte character: a byte walk is exact here.
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p > ' ')
            ++p;
    }
    while (*p != '\0' && *p <= ' ')
        ++p;
    return reinterpret_cast<const char*>(p);
}
