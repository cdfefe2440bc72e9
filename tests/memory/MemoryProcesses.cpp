// The in-memory Windows' processes and windows: programs that run for a given time on a
// virtual clock, waits that move that clock, top-level windows and message boxes.
#include "MemoryHost.h"

#include <cstring>

namespace {
const UINT WINEXEC_STARTED = 33; // WinExec's results above 31 mean success
} // namespace

// --- Processes, windows and waits -----------------------------------------------------

void CMemoryHost::AddProgram(const std::string& path, uint64_t lifetimeMs, DWORD exitCode,
                             const std::string& windowTitle, uint64_t windowMs) {
    m_programs.push_back({path, lifetimeMs, exitCode, windowTitle, windowMs});
}

void CMemoryHost::AddWindow(const std::string& title, uint64_t from, uint64_t to) {
    m_windows.push_back({title, from, to});
}

void CMemoryHost::EndWindow(const std::string& title) {
    for (Window& w : m_windows)
        if (w.title == title && w.from <= m_now && m_now < w.to)
            w.to = m_now;
}

const CMemoryHost::Program* CMemoryHost::FindProgram(const std::string& commandLine) const {
    // The longest registered path that the command line starts with, followed by its end
    // or a blank, as Windows tries the blank-separated prefixes of an unquoted path.
    const Program* best = nullptr;
    for (const Program& program : m_programs) {
        const std::string& p = program.path;
        if (commandLine.compare(0, p.size(), p) != 0)
            continue;
        if (commandLine.size() > p.size() && commandLine[p.size()] != ' ')
            continue;
        if (best == nullptr || p.size() > best->path.size())
            best = &program;
    }
    return best;
}

bool CMemoryHost::Start(const std::string& api, const std::string& commandLine, UINT show,
                        const std::string& currentDirectory, Process* process) {
    const Program* program = FindProgram(commandLine);
    m_launches.push_back({api, commandLine, show, m_now, currentDirectory, program != nullptr});
    m_events.push_back(api + " " + commandLine);
    if (program == nullptr)
        return false;
    if (!program->windowTitle.empty())
        AddWindow(program->windowTitle, m_now, m_now + program->windowMs);
    process->end = m_now + program->lifetime;
    process->exitCode = program->exitCode;
    return true;
}

HANDLE CMemoryHost::NewHandle() {
    ++m_nOpenHandles;
    return reinterpret_cast<HANDLE>(m_nextHandle++);
}

HANDLE CMemoryHost::GetCurrentProcess() {
    return static_cast<HANDLE>(this);
}

BOOL CMemoryHost::CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                                 LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL bInheritHandles,
                                 DWORD dwCreationFlags, LPVOID lpEnvironment,
                                 LPCSTR lpCurrentDirectory, STARTUPINFOA* lpStartupInfo,
                                 PROCESS_INFORMATION* lpProcessInformation) {
    // Only the shape the installer uses is modelled; anything else is a test failure to see.
    // cb is this build's own size of the record, which is larger here than in the 32-bit exe.
    if (lpApplicationName != nullptr || bInheritHandles || dwCreationFlags != 0 ||
        lpEnvironment != nullptr || lpStartupInfo->cb != sizeof(STARTUPINFOA))
        return FALSE;
    UINT show = (lpStartupInfo->dwFlags & STARTF_USESHOWWINDOW) ? lpStartupInfo->wShowWindow : 10;
    std::string strDir = lpCurrentDirectory ? lpCurrentDirectory : m_strCurrentDir;
    Process process;
    if (!Start("CreateProcessA", lpCommandLine, show, strDir, &process))
        return FALSE;
    HANDLE hProcess = NewHandle();
    HANDLE hThread = NewHandle();
    m_processes[reinterpret_cast<uintptr_t>(hProcess)] = process;
    m_threads[reinterpret_cast<uintptr_t>(hThread)] = true;
    lpProcessInformation->hProcess = hProcess;
    lpProcessInformation->hThread = hThread;
    lpProcessInformation->dwProcessId = 1000 + static_cast<DWORD>(m_launches.size());
    lpProcessInformation->dwThreadId = 2000 + static_cast<DWORD>(m_launches.size());
    return TRUE;
}

DWORD CMemoryHost::WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    ++m_nWaits;
    auto it = m_processes.find(reinterpret_cast<uintptr_t>(hHandle));
    if (it == m_processes.end())
        return WAIT_FAILED;
    uint64_t end = it->second.end;
    if (m_now >= end)
        return WAIT_OBJECT_0;
    if (dwMilliseconds != 0xFFFFFFFF && m_now + dwMilliseconds < end) {
        m_now += dwMilliseconds;
        return WAIT_TIMEOUT;
    }
    m_now = end;
    return WAIT_OBJECT_0;
}

BOOL CMemoryHost::GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    auto it = m_processes.find(reinterpret_cast<uintptr_t>(hProcess));
    if (it == m_processes.end())
        return FALSE;
    *lpExitCode = m_now >= it->second.end ? it->second.exitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL CMemoryHost::CloseHandle(HANDLE hObject) {
    uintptr_t key = reinterpret_cast<uintptr_t>(hObject);
    if (m_processes.erase(key) == 0 && m_threads.erase(key) == 0 && m_files.erase(key) == 0)
        return FALSE;
    --m_nOpenHandles;
    return TRUE;
}

UINT CMemoryHost::WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
    Process process;
    if (!Start("WinExec", lpCmdLine, uCmdShow, m_strCurrentDir, &process))
        return ERROR_FILE_NOT_FOUND;
    return WINEXEC_STARTED;
}

HWND CMemoryHost::FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    m_findWindowTitles.push_back(lpWindowName ? lpWindowName : "");
    m_events.push_back(std::string("FindWindowA ") + (lpWindowName ? lpWindowName : ""));
    if (lpClassName != nullptr || lpWindowName == nullptr)
        return nullptr;
    for (size_t i = 0; i < m_windows.size(); ++i) {
        const Window& w = m_windows[i];
        // The whole title, compared without regard to case, as Windows does.
        if (SameName(w.title, lpWindowName) && w.from <= m_now && m_now < w.to)
            return reinterpret_cast<HWND>(0x10000 + i);
    }
    return nullptr;
}

void CMemoryHost::Sleep(DWORD dwMilliseconds) {
    m_sleeps.push_back(dwMilliseconds);
    m_now += dwMilliseconds;
}

int CMemoryHost::MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    Box box{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "", uType, m_now};
    m_boxes.push_back(box);
    m_events.push_back("MessageBoxA " + box.caption);
    if (m_onMessageBox)
        m_onMessageBox(box);
    return IDOK;
}
