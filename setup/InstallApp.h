// The installer: one application object whose start-up hook runs the whole install,
// and whose install steps (one file each under setup/) share only the installer state.
#pragma once

#include "host/WinApp.h"

#include <cstdint>

// The Windows release, as the package choice needs it.
typedef BYTE OsCode;
enum : OsCode {
    OS_WIN32S = 9,
    OS_WIN95 = 10,
    OS_WIN98 = 11,
    OS_WIN98SE = 12,
    OS_WINNT = 13,
    OS_WINME = 14,
    OS_WIN2000 = 15,
    OS_WINXP = 16,
    OS_WIN2003 = 17,
};
// What the run sequence holds before the classification: no release has this code, so
// a Windows left unclassified reads as neither XP nor 2003.
const OsCode OS_UNKNOWN = 0;

// IsWow64Process, or null where the system lacks it; resolved once at static
// initialisation, before the application object exists.
extern PFN_ISWOW64PROCESS g_pfnIsWow64Process;
PFN_ISWOW64PROCESS LookUpIsWow64Process(CHost& host);

// Installer-state buffer sizes, bytes including the terminating zero.

// The device path the install helper is given: "HDAUDIO\" (8 characters) and a subkey name.
// Any name the scan can read of up to 246 characters passes on whole; a longer one counts as
// no match rather than a cut path, which would name another device or none.
const size_t DEVICE_PATH_SIZE = 255;
// The program's folder, which the disc layout of the driver step is built on: 127 characters
// with the trailing backslash, far more than a disc folder a few levels below a drive's root
// needs. A longer folder leaves the field empty instead of cut, and the driver step then
// starts nothing; the package still runs, as its command line is built from the whole folder.
const size_t EXE_DIR_SIZE = 128;
// A pattern is looked for inside a subkey name: the name's size is the most a pattern that
// can still match needs.
const size_t HARDWARE_ID_SIZE = 255;
// One pattern for each HDMI audio codec the disc has a driver for (disc::CODEC_...).
const size_t HARDWARE_ID_COUNT = 3;

class CInstallApp : public CWinApp {
public:
    explicit CInstallApp(CHost& host) : CWinApp(host) {}

    bool RunInstall() override;

    // The install steps
    void GetOsVersion(OsCode& out);
    void RunAndWait(const char* lpProgram, const char* lpCommandLine);
    bool FindHdaDevice();
    bool IsWow64Host();
    void InstallHdmiDriver();
    void WriteFinishLog();
    void DeleteTree(const char* lpDirectory, const char* lpPattern);

    // Starts lpProgram, and only that file, with lpCommandLine as the command line it
    // receives, shown as wShowWindow says; StartProgram then waits as WinExec does, until
    // the program is ready for input, and keeps no handle.
    bool StartProcess(const char* lpProgram, const char* lpCommandLine, WORD wShowWindow,
                      PROCESS_INFORMATION& process);
    void StartProgram(const char* lpProgram, const char* lpCommandLine, WORD wShowWindow);

    // The installer state, zero at start.
    BYTE m_bDebug = 0;
    char m_szDevicePath[DEVICE_PATH_SIZE] = {};
    char m_szExeDir[EXE_DIR_SIZE] = {};
    char m_szHardwareId[HARDWARE_ID_COUNT][HARDWARE_ID_SIZE] = {};
    int32_t m_nServicePack = 0;
};
