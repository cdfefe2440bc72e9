// An in-memory Windows for the unit tests: a virtual clock, scripted processes and
// windows, a registry, a file tree with attributes, links and sharing, and a record of
// every call the steps make that a test wants to check.
#pragma once

#include "host/Host.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CMemoryHost : public CHost {
public:
    CMemoryHost();
    ~CMemoryHost() override;

    // --- Scripting -----------------------------------------------------------------
    void SetCodePage(UINT uCodePage) { m_uCodePage = uCodePage; }
    void SetVersion(DWORD dwPlatformId, DWORD dwMajor, DWORD dwMinor, DWORD dwBuild,
                    const std::string& strServicePack);

    // A program that CreateProcessA can start: it runs lifetimeMs from its start. Its start-up
    // takes readyMs: then it first waits for input and, when windowTitle is given, its
    // top-level window appears, until windowMs after the start.
    void AddProgram(const std::string& path, uint64_t lifetimeMs, DWORD exitCode = 0,
                    const std::string& windowTitle = "", uint64_t windowMs = 0,
                    uint64_t readyMs = 0);
    void AddWindow(const std::string& title, uint64_t from, uint64_t to);
    // Every window with this title that is open now is gone from now on.
    void EndWindow(const std::string& title);
    // A subkey of the HD-audio key, placed where Windows would enumerate it.
    void AddSubkey(const std::string& name);

    // The scripting calls take every name literally, as a file system holds it ("sub "
    // and "f." included); only the CHost calls read names the way Win32 does.
    void AddDirectory(const std::string& path, DWORD attributes = 0);
    void AddFile(const std::string& path, const std::string& data = "", DWORD attributes = 0);
    // A directory junction, or with attributes 0 a symbolic link to a file, leading to target.
    // Made over an existing folder, it turns that folder into a junction in place.
    void AddLink(const std::string& path, const std::string& target,
                 DWORD attributes = FILE_ATTRIBUTE_DIRECTORY);
    // A Unix symbolic link to a folder as Wine shows it: listed as a link, opened as the
    // folder it leads to whatever the open asks.
    void AddUnixLink(const std::string& path, const std::string& target);
    // A hard link: a second name for an existing file, sharing its content, attributes,
    // file index and the sharing of every handle on it.
    void AddHardLink(const std::string& path, const std::string& existing);
    // An entry in folder whose UTF-16 name the ANSI code page shows as another text, which
    // Tree reports: Windows shows a full-width backslash as "\\" and a full-width letter as
    // the letter.
    void AddListedAs(const std::string& folder, const std::u16string& name,
                     DWORD attributes = FILE_ATTRIBUTE_DIRECTORY);
    // Renames an entry as another program would: it fails while a handle holds the entry
    // without delete sharing.
    bool MoveEntry(const std::string& from, const std::string& to);
    // The entry's owner denies administrators these rights (FILE_READ_DATA, which is also
    // FILE_LIST_DIRECTORY, or FILE_TRAVERSE): opens, listings and entering that need one fail.
    void Deny(const std::string& path, DWORD access);
    bool Exists(const std::string& path);
    std::string FileData(const std::string& path);
    // Every path below root (root excluded), in a stable order, directories with a
    // trailing backslash.
    std::vector<std::string> Tree(const std::string& root);

    // --- What happened -------------------------------------------------------------
    struct Launch {
        std::string program; // the application name given, or what the command line named
        std::string commandLine;
        UINT show;
        uint64_t time;
        std::string currentDirectory;
        bool started;
    };
    struct Box {
        HWND owner;
        std::string text;
        std::string caption;
        UINT type;
        uint64_t time;
    };

    uint64_t m_now = 0; // virtual milliseconds
    std::vector<Launch> m_launches;
    std::vector<Box> m_boxes;
    std::vector<uint64_t> m_sleeps;
    std::vector<std::string> m_findWindowTitles;
    std::vector<std::string> m_events; // calls in order, as "Api text"
    // Runs before each file-system call is carried out, with its event text: the moment
    // for a test to swap an entry between two calls.
    std::function<void(const std::string&)> m_beforeFileCall;
    std::vector<UINT> m_errorModes;
    int m_nInitCommonControls = 0;
    int m_nOpenHandles = 0;
    int m_nOpenSearches = 0;
    // The order a listing gives a folder's entries in, after "." and "..": real
    // file systems promise none, so a walk must not depend on it.
    enum class ListOrder { Insertion, Reversed, Sorted };
    ListOrder m_listOrder = ListOrder::Insertion;
    int m_nOpenKeys = 0;
    int m_nOpenStreams = 0;
    int m_nWindowsDirReads = 0;
    int m_nFileSearches = 0;
    int m_nWaits = 0;
    std::vector<DWORD> m_enumIndexes;
    DWORD m_dwVersionSizeSeen = 0;

    // --- State the test sets -------------------------------------------------------
    std::string m_strCommandLine = "hdasetup.exe";
    std::string m_strModulePath = "D:\\Drivers\\Audio\\hdasetup.exe";
    bool m_bModuleFileNameFails = false;
    bool m_bVersionFails = false;
    OSVERSIONINFOA m_version;
    bool m_bHasIsWow64Process = true;
    BOOL m_bWow64 = FALSE;
    bool m_bWindowsDirFails = false;
    bool m_bWritesReadOnly = false; // as Wine run as root: a read-only file opens for writing
    int m_nWaitFailures = 0;        // waits on a live process that fail before they work
    std::string m_strWindowsDir = "C:\\WINDOWS";
    std::string m_strCurrentDir = "C:\\";

    bool m_bHdaKeyExists = true;
    LONG m_lOpenError = ERROR_SUCCESS; // an error other than 0 makes an existing key fail
    LONG m_lQueryError = ERROR_SUCCESS;
    int m_nEnumFailAt = -1;
    LONG m_lEnumError = ERROR_NO_MORE_ITEMS;
    std::vector<std::string> m_subkeys; // in the order RegEnumKeyA returns them

    // --- CHost ---------------------------------------------------------------------
    LPSTR GetCommandLineA() override;
    HMODULE GetModuleHandleA(LPCSTR lpModuleName) override;
    FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) override;
    DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) override;
    UINT SetErrorMode(UINT uMode) override;
    void InitCommonControls() override;
    BOOL IsDBCSLeadByte(BYTE TestChar) override;
    BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) override;
    UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) override;
    DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) override;
    HANDLE GetCurrentProcess() override;
    BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                        LPSECURITY_ATTRIBUTES lpProcessAttributes,
                        LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                        DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                        STARTUPINFOA* lpStartupInfo,
                        PROCESS_INFORMATION* lpProcessInformation) override;
    DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) override;
    BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) override;
    BOOL CloseHandle(HANDLE hObject) override;
    DWORD WaitForInputIdle(HANDLE hProcess, DWORD dwMilliseconds) override;
    HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) override;
    void Sleep(DWORD dwMilliseconds) override;
    int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) override;
    LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) override;
    LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                          LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                          LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                          LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) override;
    LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) override;
    LONG RegCloseKey(HKEY hKey) override;
    HANDLE FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) override;
    BOOL FindClose(HANDLE hFindFile) override;
    BOOL DeleteFileA(LPCSTR lpFileName) override;
    BOOL RemoveDirectoryA(LPCSTR lpPathName) override;
    HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                       LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                       DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) override;
    BOOL GetFileInformationByHandle(HANDLE hFile,
                                    BY_HANDLE_FILE_INFORMATION* lpFileInformation) override;
    BOOL SetEndOfFile(HANDLE hFile) override;
    NTSTATUS NtOpenFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess,
                        POBJECT_ATTRIBUTES ObjectAttributes, PIO_STATUS_BLOCK IoStatusBlock,
                        ULONG ShareAccess, ULONG OpenOptions) override;
    NTSTATUS NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine,
                                  PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock,
                                  PVOID FileInformation, ULONG Length,
                                  FILE_INFORMATION_CLASS FileInformationClass,
                                  BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                  BOOLEAN RestartScan) override;
    NTSTATUS NtSetInformationFile(HANDLE FileHandle, PIO_STATUS_BLOCK IoStatusBlock,
                                  PVOID FileInformation, ULONG Length,
                                  FILE_INFORMATION_CLASS FileInformationClass) override;
    NTSTATUS RtlMultiByteToUnicodeN(PWCH UnicodeString, ULONG MaxBytesInUnicodeString,
                                    PULONG BytesInUnicodeString, const CHAR* MultiByteString,
                                    ULONG BytesInMultiByteString) override;
    NTSTATUS RtlUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                                    PULONG BytesInMultiByteString, PCWCH UnicodeString,
                                    ULONG BytesInUnicodeString) override;
    HdaStream* AttachStream(HANDLE hFile, const char* mode) override;
    size_t WriteStream(const void* data, size_t size, size_t count, HdaStream* stream) override;
    int CloseStream(HdaStream* stream) override;

private:
    struct Node {
        std::string name;
        char drive = 'C';
        DWORD index = 0; // the file index, unique while the host lives
        DWORD attributes = 0;
        std::string data;
        std::string target; // reparse points only
        bool unixLink = false;
        std::u16string wide; // the name as stored, when the ANSI name only shows it
        // A hard link's name: the entry whose file it names, and which holds the content,
        // attributes and index for both. Removed entries live on, so the pointer stays valid.
        Node* file = nullptr;
        int links = 1; // names of this file, when it is no hard link's name itself
        DWORD denied = 0;
        Node* parent = nullptr;
        bool deletePending = false; // goes when the last handle on it is closed
        std::vector<std::unique_ptr<Node>> children;
        bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    };
    struct Path {
        bool valid = false;
        char drive = 'C';
        std::vector<std::string> parts;
        bool device = false; // the last name is one Win32 reads as a device
    };
    struct Program {
        std::string path;
        uint64_t lifetime;
        DWORD exitCode;
        std::string windowTitle;
        uint64_t windowMs;
        uint64_t readyMs;
    };
    struct Process {
        uint64_t end;
        DWORD exitCode;
        uint64_t ready; // when it first waits for input
    };
    struct Window {
        std::string title;
        uint64_t from;
        uint64_t to;
    };
    struct Stream {
        Node* node;
        DWORD access;
        DWORD share;
        std::string buffer;
    };
    struct File {
        Node* node;
        DWORD access;
        DWORD share;
        bool synchronous = true; // every CreateFileA handle without FILE_FLAG_OVERLAPPED is
    };
    // A listing through a folder's handle, taken when it starts: names as the file system
    // holds them, in UTF-16, with their attributes.
    struct Listing {
        std::vector<std::pair<std::u16string, DWORD>> entries;
        size_t next = 0;
    };

    // bWin32 reads the text as the Win32 calls do (trailing dots and blanks dropped, "."
    // and ".." resolved); otherwise every name is taken as it stands.
    Path ParsePath(const std::string& text, bool bWin32) const;
    Node* Lookup(const Path& path, bool followLast, int depth = 0);
    Node* Lookup(const std::string& text, bool followLast) {
        return Lookup(ParsePath(text, false), followLast);
    }
    Node* ParentOf(const Path& path);
    Node* Create(const std::string& path, DWORD attributes);
    Node* NewChild(Node* parent, const std::string& name, DWORD attributes);
    std::unique_ptr<Node> Take(Node* node);
    void Detach(Node* node);
    bool Shares(Node* node, DWORD access, DWORD share);
    static Node* FileOf(Node* node) { return node->file != nullptr ? node->file : node; }
    static bool IsDevice(const std::string& name);
    bool LeadByte(BYTE b) const;
    void Note(const std::string& event);
    static bool SameName(const std::string& a, const std::string& b);
    static bool Matches(const std::string& pattern, const std::string& name);
    // NtQueryDirectoryFile's mask: "*" any run of characters, "?" exactly one.
    static bool MaskMatches(const char16_t* mask, const char16_t* maskEnd, const char16_t* name,
                            const char16_t* nameEnd);
    // Names in UTF-16 as this Windows' code page maps them: one character per byte, a
    // double-byte character to one of its own.
    std::u16string Wide(const std::string& text) const;
    std::u16string StoredName(const Node& node) const {
        return node.wide.empty() ? Wide(node.name) : node.wide;
    }
    std::string Ansi(const std::u16string& text) const;
    void FinishDelete(Node* node);
    void CollectTree(Node* node, const std::string& prefix, std::vector<std::string>& out);
    const Program* FindProgram(const std::string& path) const;
    bool Start(const char* application, const std::string& commandLine, UINT show,
               const std::string& currentDirectory, Process* process);
    HANDLE NewHandle();

    UINT m_uCodePage = 1252;
    std::map<char, std::unique_ptr<Node>> m_drives;
    std::vector<Program> m_programs;
    std::vector<Window> m_windows;
    std::map<uintptr_t, Process> m_processes; // process handles
    std::map<uintptr_t, bool> m_threads;      // thread handles
    std::set<uintptr_t> m_searches;
    std::map<HdaStream*, std::unique_ptr<Stream>> m_streams;
    std::map<uintptr_t, File> m_files;       // file and folder handles
    std::map<uintptr_t, Listing> m_listings; // by the folder handle listed through
    // Removed entries stay here, so a handle that still names one stays valid.
    std::vector<std::unique_ptr<Node>> m_removed;
    Node m_device; // what a handle opened on a device name holds
    uintptr_t m_nextHandle = 0x100;
    DWORD m_nextIndex = 1;
};
