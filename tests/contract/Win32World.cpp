// The contract world on the real Win32 API (run under Wine); the process tests start
// contract_child.exe.
#include "tests/contract/ContractWorld.h"
#include "host/Win32Host.h"

#include <gtest/gtest.h>

#include <io.h>

#include <cstdint>
#include <cstring>
#include <map>

namespace {
// The tests run in a throwaway Wine prefix: a fixed scratch folder and the real HD-audio
// enumeration key are theirs to empty.
const char ROOT[] = "C:\\hda-contract";
const char HDA_KEY[] = "SYSTEM\\CurrentControlSet\\Enum\\HDAUDIO";
const char WINDOW_CLASS[] = "HdaContractWindow";
const char CHILD[] = "contract_child.exe"; // beside this program

// A full path as the file system takes it, with no dots or blanks dropped from its names.
std::string Literal(const std::string& path) {
    return "\\\\?\\" + path;
}

// Removes a tree whatever its attributes and names; the world's own clean-up, not the code
// under test.
void WipeTree(const std::string& path) {
    _finddata_t data;
    const intptr_t hFind = _findfirst(Literal(path + "\\*").c_str(), &data);
    for (int more = hFind == -1 ? -1 : 0; more == 0; more = _findnext(hFind, &data)) {
        if (std::strcmp(data.name, ".") == 0 || std::strcmp(data.name, "..") == 0)
            continue;
        const std::string child = Literal(path + "\\" + data.name);
        ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.attrib & _A_SUBDIR)
            WipeTree(path + "\\" + data.name);
        else
            ::DeleteFileA(child.c_str());
    }
    if (hFind != -1)
        _findclose(hFind);
    ::SetFileAttributesA(Literal(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(Literal(path).c_str());
}

class CWin32World : public CContractWorld {
public:
    CWin32World() {
        WipeTree(ROOT);
        EXPECT_TRUE(::CreateDirectoryA(ROOT, nullptr)) << ROOT;
        HKEY hKey = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_LOCAL_MACHINE, HDA_KEY, &hKey));
        ::RegCloseKey(hKey);
        ClearHdaSubkeys();
    }
    ~CWin32World() override {
        for (auto& window : m_windows)
            ::DestroyWindow(window.second);
        WipeTree(ROOT);
        ClearHdaSubkeys();
    }

    CHost& Host() override { return m_host; }
    bool IsWine() override {
        return ::GetProcAddress(::GetModuleHandleA("ntdll"), "wine_get_version") != nullptr;
    }
    std::string Root() override { return ROOT; }

    void MakeDirectory(const std::string& path, DWORD dwAttributes) override {
        EXPECT_TRUE(::CreateDirectoryA(Literal(path).c_str(), nullptr)) << path;
        SetAttributes(path, dwAttributes);
    }
    void MakeFile(const std::string& path, DWORD dwAttributes) override {
        HANDLE hFile = ::CreateFileA(Literal(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, hFile) << path;
        DWORD dwWritten = 0;
        ::WriteFile(hFile, "x", 1, &dwWritten, nullptr);
        ::CloseHandle(hFile);
        SetAttributes(path, dwAttributes);
    }
    void MakeHardLink(const std::string& path, const std::string& existing) override {
        EXPECT_TRUE(::CreateHardLinkA(Literal(path).c_str(), Literal(existing).c_str(), nullptr))
            << path;
    }
    bool Exists(const std::string& path) override {
        return ::GetFileAttributesA(Literal(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool MoveEntry(const std::string& from, const std::string& to) override {
        return ::MoveFileA(Literal(from).c_str(), Literal(to).c_str()) != FALSE;
    }

    void AddHdaSubkey(const std::string& name) override {
        // Made below the opened key: Wine converts a whole ANSI key path in a buffer of
        // MAX_PATH + 1 characters, too short for the key's path and a long name together.
        HKEY hHda = nullptr;
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyA(HKEY_LOCAL_MACHINE, HDA_KEY, &hHda));
        EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(hHda, name.c_str(), &hKey))
            << name.size() << " characters";
        ::RegCloseKey(hKey);
        ::RegCloseKey(hHda);
    }
    void ClearHdaSubkeys() override {
        HKEY hKey = nullptr;
        if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, HDA_KEY, &hKey) != ERROR_SUCCESS)
            return;
        char szName[1024];
        while (::RegEnumKeyA(hKey, 0, szName, sizeof(szName)) == ERROR_SUCCESS)
            if (::RegDeleteKeyA(hKey, szName) != ERROR_SUCCESS)
                break;
        ::RegCloseKey(hKey);
    }

    std::string ProgramCommand(DWORD dwMs, DWORD dwExitCode, DWORD dwReadyMs,
                               const std::string& title) override {
        char szSelf[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, szSelf, MAX_PATH - 1);
        std::string child = szSelf;
        child.replace(child.rfind('\\') + 1, std::string::npos, CHILD);
        return "\"" + child + "\" " + std::to_string(dwMs) + " " + std::to_string(dwExitCode) +
               " " + std::to_string(dwReadyMs) + " \"" + title + "\"";
    }
    DWORD Milliseconds() override { return ::GetTickCount(); }

    void OpenHiddenWindow(const std::string& title) override {
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof(wc));
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = WINDOW_CLASS;
        ::RegisterClassA(&wc); // fails harmlessly when an earlier test registered it
        HWND hWnd = ::CreateWindowExA(0, WINDOW_CLASS, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                                      100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, hWnd) << "no window: the test needs a display (xvfb-run)";
        m_windows[title] = hWnd;
    }
    void CloseWindow(const std::string& title) override {
        auto it = m_windows.find(title);
        ASSERT_NE(m_windows.end(), it) << title;
        EXPECT_TRUE(::DestroyWindow(it->second));
        m_windows.erase(it);
    }

private:
    void SetAttributes(const std::string& path, DWORD dwAttributes) {
        if (dwAttributes == 0)
            return;
        EXPECT_TRUE(::SetFileAttributesA(Literal(path).c_str(), dwAttributes)) << path;
        // Wine keeps hidden and system in an extended attribute; a file system without
        // them would quietly drop both.
        EXPECT_EQ(dwAttributes, ::GetFileAttributesA(Literal(path).c_str()) & dwAttributes) << path;
    }

    CWin32Host m_host;
    std::map<std::string, HWND> m_windows;
};
} // namespace

std::unique_ptr<CContractWorld> MakeContractWorld() {
    return std::unique_ptr<CContractWorld>(new CWin32World);
}
