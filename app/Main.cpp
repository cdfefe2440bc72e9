// The program's entry point and its static objects, in the order start-up needs them:
// the host, then the IsWow64Process look-up, then the one application object.
#include "setup/InstallApp.h"

#include "host/Win32Host.h"

namespace {
CWin32Host theHost;
} // namespace

PFN_ISWOW64PROCESS g_pfnIsWow64Process = LookUpIsWow64Process(theHost);

namespace {
CInstallApp theApp(theHost);
} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    // The runtime's own view of the command line is not used: the program name is
    // isolated here exactly as the options search expects.
    return theApp.Run(hInstance, CWinApp::SkipProgramName(theHost.GetCommandLineA()));
}
