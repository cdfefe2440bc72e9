// The in-memory Windows' processes and windows: programs that start up and run for given
// times on a virtual clock, waits that move that clock, top-level windows and message boxes.
#include "tests/memory/MemoryHost.h"

#include <algorithm>
#include <cstring>

// --- Processes, windows and waits -----------------------------------------------------

void CMemoryHost::AddProgram(const std::string& path, uint64_t lifetimeMs, DWORD exitCode,
                             const std::string& windowTitle, uint64_t windowMs, uint64_t readyMs) {
    m_programs.push_back({path, lifetimeMs, exitCode, windowTitle, windowMs, readyMs});
}

void CMemoryHost::AddWindow(const std::string& title, uint64_t from, uint64_t to) {
    m_windows.push_back({title, from, to});
}

void CMemoryHost::EndWindow(const std::string& title) {
    for (Window& w : m_windows)
        if (w.title == title && w.from <= m_now && m_now < w.to)
            w.to = m_now;
}

const CMemoryHost::Program* CMemoryHost::FindProgram(const std::string& path) const {
    for (const Program& program : m_programs)
        if (SameName(program.path, path))
            return &program;
    return nullptr;
}

bool CMemoryHost::Start(const char* application, const std::string& commandLine, UINT show,
                        const std::string& currentDirectory, Process* process) {
    // Without an application name Windows reads an unquoted command line as Win32 does: the
    // text up to the first blank, with ".exe" added when it has no extension, then up to the
    // next blank, and so on; the first file that exists is the one that runs.
    const Program* program = nullptr;
    std::string path = application ? application : "";
    for (size_t end = 0;
         application == nullptr && program == nullptr && end != std::string::npos;) {
        end = commandLine.find(' ', end + 1);
        path = commandLine.substr(0, end);
        program = FindProgram(path);
        if (program == nullptr && path.find('.', path.find_last_of('\\') + 1) == std::string::npos)
            program = FindProgram(path += ".exe");
    }
    if (application != nullptr)
        program = FindProgram(path);
    m_launches.push_back({program ? program->path : path, commandLine, show, m_now,
                          currentDirectory, program != nullptr});
    m_events.push_back("CreateProcessA " + commandLine);
    if (program == nullptr)
        return false;
    if (!program->windowTitle.empty())
        AddWindow(program->windowTitle, m_now + program->readyMs, m_now + program->windowMs);
    process->end = m_now + program->lifetime;
    process->exitCode = program->exitCode;
    process->ready = m_now + program->readyMs;
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
    if (bInheritHandles || dwCreationFlags != 0 || lpEnvironment != nullptr ||
        lpStartupInfo->cb != sizeof(STARTUPINFOA))
        return FALSE;
    UINT show = (lpStartupInfo->dwFlags & STARTF_USESHOWWINDOW) ? lpStartupInfo->wShowWindow : 10;
    std::string strDir = lpCurrentDirectory ? lpCurrentDirectory : m_strCurrentDir;
    Process process;
    if (!Start(lpApplicationName, lpCommandLine, show, strDir, &process))
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
    if (it == m_processes.end() ||
        (m_now < it->second.end && m_nWaitFailures > 0 && m_nWaitFailures--))
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
    auto file = m_files.find(key);
    Node* node = file != m_files.end() ? file->second.node : nullptr;
    if (node != nullptr) {
        m_files.erase(file);
        m_listings.erase(key);
        FinishDelete(node);
    } else if (m_processes.erase(key) == 0 && m_threads.erase(key) == 0) {
        return FALSE;
    }
    --m_nOpenHandles;
    return TRUE;
}

DWORD CMemoryHost::WaitForInputIdle(HANDLE hProcess, DWORD dwMilliseconds) {
    // Only a process's handle names a start-up to wait for: a thread's fails at once.
    auto it = m_processes.find(reinterpret_cast<uintptr_t>(hProcess));
    if (it == m_processes.end())
        return WAIT_FAILED;
    // The wait ends when the program first waits for input, or when it ends before that
    // (with 0, as Wine answers; Windows does not document that case), or at the limit.
    const uint64_t until = std::min(it->second.ready, it->second.end);
    if (dwMilliseconds != 0xFFFFFFFF && m_now + dwMilliseconds < until) {
        m_now += dwMilliseconds;
        return WAIT_TIMEOUT;
    }
    m_now = std::max(m_now, until);
    return 0;
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
    return IDOK;
}
