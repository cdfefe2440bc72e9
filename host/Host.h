// The one seam between the installer and Windows: every operating-system call the
// program makes is a member here, named and shaped as Win32 names and shapes it, and
// nothing else is; but for IsWow64Process, which Windows 2000 lacks: the program calls it
// through g_pfnIsWow64Process, looked up at start-up with GetProcAddress (a member here).
// The Windows build implements it on the real API; the unit tests on an in-memory Windows.
#pragma once

#include "host/WinTypes.h"

#include <cstddef>

// The completion marker is written through the C runtime's buffered stream, on a Win32
// file handle the program opened itself; the seam carries it so the tests see those bytes.
struct HdaStream;

class CHost {
public:
    virtual ~CHost() = default;

    // Start-up and the application base
    virtual LPSTR GetCommandLineA() = 0;
    virtual HMODULE GetModuleHandleA(LPCSTR lpModuleName) = 0;
    virtual FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) = 0;
    virtual DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) = 0;
    virtual UINT SetErrorMode(UINT uMode) = 0;
    virtual void InitCommonControls() = 0;
    virtual BOOL IsDBCSLeadByte(BYTE TestChar) = 0;

    // Version and directories
    virtual BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) = 0;
    virtual UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) = 0;
    virtual DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) = 0;

    // Processes, windows and waits
    virtual HANDLE GetCurrentProcess() = 0;
    virtual BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                                LPSECURITY_ATTRIBUTES lpProcessAttributes,
                                LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                                DWORD dwCreationFlags, LPVOID lpEnvironment,
                                LPCSTR lpCurrentDirectory, STARTUPINFOA* lpStartupInfo,
                                PROCESS_INFORMATION* lpProcessInformation) = 0;
    virtual DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) = 0;
    virtual BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) = 0;
    virtual BOOL CloseHandle(HANDLE hObject) = 0;
    virtual DWORD WaitForInputIdle(HANDLE hProcess, DWORD dwMilliseconds) = 0;
    virtual HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) = 0;
    virtual void Sleep(DWORD dwMilliseconds) = 0;
    virtual int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) = 0;

    // Registry
    virtual LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) = 0;
    virtual LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                  LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                  LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                  LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                  LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) = 0;
    virtual LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) = 0;
    virtual LONG RegCloseKey(HKEY hKey) = 0;

    // Files
    virtual HANDLE FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) = 0;
    virtual BOOL FindClose(HANDLE hFindFile) = 0;
    virtual BOOL DeleteFileA(LPCSTR lpFileName) = 0;
    virtual BOOL RemoveDirectoryA(LPCSTR lpPathName) = 0;
    virtual HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                               LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                               DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                               HANDLE hTemplateFile) = 0;
    virtual BOOL GetFileInformationByHandle(HANDLE hFile,
                                            BY_HANDLE_FILE_INFORMATION* lpFileInformation) = 0;
    virtual BOOL SetEndOfFile(HANDLE hFile) = 0;

    // Native file calls (ntdll): opens relative to a folder's handle, listing through a handle
    // and deleting through one. Handles they give are closed with CloseHandle. Names are
    // UTF-16, converted in the ANSI code page as the A calls convert them.
    virtual NTSTATUS NtOpenFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess,
                                POBJECT_ATTRIBUTES ObjectAttributes, PIO_STATUS_BLOCK IoStatusBlock,
                                ULONG ShareAccess, ULONG OpenOptions) = 0;
    virtual NTSTATUS NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event,
                                          PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                                          PIO_STATUS_BLOCK IoStatusBlock, PVOID FileInformation,
                                          ULONG Length, FILE_INFORMATION_CLASS FileInformationClass,
                                          BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                          BOOLEAN RestartScan) = 0;
    virtual NTSTATUS NtSetInformationFile(HANDLE FileHandle, PIO_STATUS_BLOCK IoStatusBlock,
                                          PVOID FileInformation, ULONG Length,
                                          FILE_INFORMATION_CLASS FileInformationClass) = 0;
    virtual NTSTATUS RtlMultiByteToUnicodeN(PWCH UnicodeString, ULONG MaxBytesInUnicodeString,
                                            PULONG BytesInUnicodeString,
                                            const CHAR* MultiByteString,
                                            ULONG BytesInMultiByteString) = 0;
    virtual NTSTATUS RtlUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                                            PULONG BytesInMultiByteString, PCWCH UnicodeString,
                                            ULONG BytesInUnicodeString) = 0;

    // The C runtime's buffered file stream: _open_osfhandle and _fdopen attach one to an open
    // file handle, which the stream then owns (on failure the handle is closed); fwrite,
    // fclose.
    virtual HdaStream* AttachStream(HANDLE hFile, const char* mode) = 0;
    virtual size_t WriteStream(const void* data, size_t size, size_t count, HdaStream* stream) = 0;
    virtual int CloseStream(HdaStream* stream) = 0;
};
