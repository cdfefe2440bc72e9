// Our own minimal application base: what the installer needs of an application
// framework (start-up, the application title, the application message box, the error
// mode and the exit code), and nothing more. The program never creates a window.
#pragma once

#include "host/AnsiString.h"
#include "host/Host.h"
#include "host/Limits.h"

class CWinApp {
public:
    explicit CWinApp(CHost& host) : m_host(host) {}
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The framework's main routine: initialises, calls the start-up hook once and gives
    // the process exit code, which is 0 on every path.
    int Run(HINSTANCE hInstance, const char* lpCmdLine);

    // The start-up hook. Run ignores its result: the program has no message loop either
    // way, and exits with 0 whatever it says.
    virtual bool RunInstall() = 0;

    // Modal box with no owner and the application title as caption. A type that names
    // no icon gets the exclamation icon when its buttons are OK, OK/Cancel,
    // Yes/No/Cancel or Yes/No. nIDHelp is the help context, which only a box with a Help
    // button uses; none of ours has one, so it is taken and not passed on.
    int DoMessageBox(const char* lpszPrompt, UINT nType = MB_OK, UINT nIDHelp = 0);

    // The text behind the program's own name in a full command line: a quoted name ends
    // at its closing quote, any other at the first character of code 32 or below; the
    // characters of codes 1 to 32 after it are skipped.
    static const char* SkipProgramName(const char* lpCommandLine);

    const char* AppTitle() const { return m_strAppTitle.c_str(); }
    const char* CmdLine() const { return m_strCmdLine.c_str(); }

protected:
    // A module's full path, always terminated; the length Windows gave, where
    // MODULE_PATH_SIZE means the path did not fit and is cut.
    DWORD ReadModulePath(HINSTANCE hModule, char (&szPath)[MODULE_PATH_SIZE]);

    CHost& m_host;

private:
    void SetAppTitleFromFileName();

    HINSTANCE m_hInstance = nullptr;
    CAnsiString m_strAppTitle;
    CAnsiString m_strCmdLine;
};
