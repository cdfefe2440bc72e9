// The host on the real Windows API (Windows build only).
#pragma once

#include "host/Host.h"

class CWin32Host : public CHost {
public:
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
};
