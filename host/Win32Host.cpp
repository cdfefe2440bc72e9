// The host on the real Windows API: each member forwards to the call of the same name, except
// the stream members, which attach the C runtime's stream and call fwrite and fclose.
#include "host/Win32Host.h"

#include "host/Limits.h"

#include <type_traits>

// What the portable code takes on trust, checked against the real <windows.h>: the version
// record's size, and the type of the one function it looks up at run time (declared here,
// though Windows 2000 lacks it; decltype references nothing, so nothing is imported).
static_assert(sizeof(OSVERSIONINFOA) == OSVERSIONINFOA_SIZE, "the version record's size");
static_assert(std::is_same<PFN_ISWOW64PROCESS, decltype(&::IsWow64Process)>::value,
              "PFN_ISWOW64PROCESS must match IsWow64Process as <windows.h> declares it");

#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

LPSTR CWin32Host::GetCommandLineA() {
    return ::GetCommandLineA();
}
HMODULE CWin32Host::GetModuleHandleA(LPCSTR lpModuleName) {
    return ::GetModuleHandleA(lpModuleName);
}
FARPROC CWin32Host::GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    return ::GetProcAddress(hModule, lpProcName);
}
DWORD CWin32Host::GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    return ::GetModuleFileNameA(hModule, lpFilename, nSize);
}
UINT CWin32Host::SetErrorMode(UINT uMode) {
    return ::SetErrorMode(uMode);
}
void CWin32Host::InitCommonControls() {
    ::InitCommonControls();
}
BOOL CWin32Host::IsDBCSLeadByte(BYTE TestChar) {
    return ::IsDBCSLeadByte(TestChar);
}
BOOL CWin32Host::GetVersionExA(OSVERSIONINFOA* lpVersionInformation) {
    return ::GetVersionExA(lpVersionInformation);
}
UINT CWin32Host::GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return ::GetWindowsDirectoryA(lpBuffer, uSize);
}
DWORD CWin32Host::GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    return ::GetCurrentDirectoryA(nBufferLength, lpBuffer);
}
HANDLE CWin32Host::GetCurrentProcess() {
    return ::GetCurrentProcess();
}
BOOL CWin32Host::CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                                LPSECURITY_ATTRIBUTES lpProcessAttributes,
                                LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                                DWORD dwCreationFlags, LPVOID lpEnvironment,
                                LPCSTR lpCurrentDirectory, STARTUPINFOA* lpStartupInfo,
                                PROCESS_INFORMATION* lpProcessInformation) {
    return ::CreateProcessA(lpApplicationName, lpCommandLine, lpProcessAttributes,
                            lpThreadAttributes, bInheritHandles, dwCreationFlags, lpEnvironment,
                            lpCurrentDirectory, lpStartupInfo, lpProcessInformation);
}
DWORD CWin32Host::WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return ::WaitForSingleObject(hHandle, dwMilliseconds);
}
BOOL CWin32Host::GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    return ::GetExitCodeProcess(hProcess, lpExitCode);
}
BOOL CWin32Host::CloseHandle(HANDLE hObject) {
    return ::CloseHandle(hObject);
}
DWORD CWin32Host::WaitForInputIdle(HANDLE hProcess, DWORD dwMilliseconds) {
    return ::WaitForInputIdle(hProcess, dwMilliseconds);
}
HWND CWin32Host::FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    return ::FindWindowA(lpClassName, lpWindowName);
}
void CWin32Host::Sleep(DWORD dwMilliseconds) {
    ::Sleep(dwMilliseconds);
}
int CWin32Host::MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    return ::MessageBoxA(hWnd, lpText, lpCaption, uType);
}
LONG CWin32Host::RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return ::RegOpenKeyA(hKey, lpSubKey, phkResult);
}
LONG CWin32Host::RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                  LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                  LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                  LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                  LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    return ::RegQueryInfoKeyA(hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcbMaxSubKeyLen,
                              lpcbMaxClassLen, lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen,
                              lpcbSecurityDescriptor, lpftLastWriteTime);
}
LONG CWin32Host::RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    return ::RegEnumKeyA(hKey, dwIndex, lpName, cchName);
}
LONG CWin32Host::RegCloseKey(HKEY hKey) {
    return ::RegCloseKey(hKey);
}
HANDLE CWin32Host::FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) {
    return ::FindFirstFileA(lpFileName, lpFindFileData);
}
BOOL CWin32Host::FindClose(HANDLE hFindFile) {
    return ::FindClose(hFindFile);
}
BOOL CWin32Host::DeleteFileA(LPCSTR lpFileName) {
    return ::DeleteFileA(lpFileName);
}
BOOL CWin32Host::RemoveDirectoryA(LPCSTR lpPathName) {
    return ::RemoveDirectoryA(lpPathName);
}
HANDLE CWin32Host::CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                               LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                               DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                               HANDLE hTemplateFile) {
    return ::CreateFileA(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                         dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}
BOOL CWin32Host::GetFileInformationByHandle(HANDLE hFile,
                                            BY_HANDLE_FILE_INFORMATION* lpFileInformation) {
    return ::GetFileInformationByHandle(hFile, lpFileInformation);
}

BOOL CWin32Host::SetEndOfFile(HANDLE hFile) {
    return ::SetEndOfFile(hFile);
}

// ntdll's own exports, which <winternl.h> leaves undeclared.
extern "C" {
NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine,
                                    PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock,
                                    PVOID FileInformation, ULONG Length,
                                    FILE_INFORMATION_CLASS FileInformationClass,
                                    BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                    BOOLEAN RestartScan);
NTSTATUS NTAPI RtlMultiByteToUnicodeN(PWCH UnicodeString, ULONG MaxBytesInUnicodeString,
                                      PULONG BytesInUnicodeString, const CHAR* MultiByteString,
                                      ULONG BytesInMultiByteString);
NTSTATUS NTAPI RtlUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                                      PULONG BytesInMultiByteString, PCWCH UnicodeString,
                                      ULONG BytesInUnicodeString);
}

NTSTATUS CWin32Host::NtOpenFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess,
                                POBJECT_ATTRIBUTES ObjectAttributes, PIO_STATUS_BLOCK IoStatusBlock,
                                ULONG ShareAccess, ULONG OpenOptions) {
    return ::NtOpenFile(FileHandle, DesiredAccess, ObjectAttributes, IoStatusBlock, ShareAccess,
                        OpenOptions);
}
NTSTATUS CWin32Host::NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event,
                                          PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                                          PIO_STATUS_BLOCK IoStatusBlock, PVOID FileInformation,
                                          ULONG Length, FILE_INFORMATION_CLASS FileInformationClass,
                                          BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                          BOOLEAN RestartScan) {
    return ::NtQueryDirectoryFile(FileHandle, Event, ApcRoutine, ApcContext, IoStatusBlock,
                                  FileInformation, Length, FileInformationClass, ReturnSingleEntry,
                                  FileName, RestartScan);
}
NTSTATUS CWin32Host::NtSetInformationFile(HANDLE FileHandle, PIO_STATUS_BLOCK IoStatusBlock,
                                          PVOID FileInformation, ULONG Length,
                                          FILE_INFORMATION_CLASS FileInformationClass) {
    return ::NtSetInformationFile(FileHandle, IoStatusBlock, FileInformation, Length,
                                  FileInformationClass);
}
NTSTATUS CWin32Host::RtlMultiByteToUnicodeN(PWCH UnicodeString, ULONG MaxBytesInUnicodeString,
                                            PULONG BytesInUnicodeString,
                                            const CHAR* MultiByteString,
                                            ULONG BytesInMultiByteString) {
    return ::RtlMultiByteToUnicodeN(UnicodeString, MaxBytesInUnicodeString, BytesInUnicodeString,
                                    MultiByteString, BytesInMultiByteString);
}
NTSTATUS CWin32Host::RtlUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                                            PULONG BytesInMultiByteString, PCWCH UnicodeString,
                                            ULONG BytesInUnicodeString) {
    return ::RtlUnicodeToMultiByteN(MultiByteString, MaxBytesInMultiByteString,
                                    BytesInMultiByteString, UnicodeString, BytesInUnicodeString);
}

HdaStream* CWin32Host::AttachStream(HANDLE hFile, const char* mode) {
    // No _O_TEXT: the descriptor is binary, as "wb" asks of the stream.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(hFile), 0);
    if (fd == -1) {
        ::CloseHandle(hFile);
        return nullptr;
    }
    FILE* pFile = ::_fdopen(fd, mode);
    if (pFile == nullptr)
        ::_close(fd); // closes the handle with it
    return reinterpret_cast<HdaStream*>(pFile);
}
size_t CWin32Host::WriteStream(const void* data, size_t size, size_t count, HdaStream* stream) {
    return std::fwrite(data, size, count, reinterpret_cast<FILE*>(stream));
}
int CWin32Host::CloseStream(HdaStream* stream) {
    return std::fclose(reinterpret_cast<FILE*>(stream));
}
