// Installs the HDMI audio driver for the codec function found, through the disc's install
// helper, and waits until the helper's window is gone.
#include "setup/InstallApp.h"

#include "setup/DiscFacts.h"
#include "host/AnsiText.h"

namespace {
// The helper's path, the INF path and the quoted device path, in 511 characters: their fixed
// parts take 84 (81 on a 64-bit host), which leaves 427 for the base folder twice and the
// device path: a disc near a drive's root and a device name of about 60 characters take a
// fraction of it. Beyond, the helper would get a cut line, so nothing starts.
const size_t COMMAND_LINE_SIZE = 512;
// The install runs for seconds to minutes: a look every two seconds ends the wait at most
// that late, and a shorter interval would only wake the program more often meanwhile.
const DWORD WINDOW_POLL_MS = 2000;

// The disc root as seen from the program's folder: two levels up, or the folder itself
// when it has fewer than three backslashes. Worked on the reversed text so that the
// backslashes are counted from the end, character by character.
CAnsiString BaseDirectory(const CAnsiText& text, const char* pszExeDir) {
    CAnsiString strBase = pszExeDir;
    text.Reverse(strBase.data());
    int nFirst = text.FindChar(strBase.c_str(), '\\', 0);
    int nSecond = text.FindChar(strBase.c_str(), '\\', nFirst == 0 ? 1 : 0);
    int nThird = text.FindChar(strBase.c_str(), '\\', static_cast<size_t>(nSecond + 1));
    if (nThird > 0)
        strBase.DeleteFront(static_cast<size_t>(nThird));
    text.Reverse(strBase.data());
    return strBase;
}
} // namespace

void CInstallApp::InstallHdmiDriver() {
    m_szDevicePath[0] = '\0';
    if (!FindHdaDevice() || m_szDevicePath[0] == '\0')
        return;

    // Without the program's directory there is no disc layout to build paths on; an
    // empty base would start whatever "chipset\..." the current directory holds.
    if (m_szExeDir[0] == '\0')
        return;

    CAnsiText text(m_host);
    const CAnsiString strBase = BaseDirectory(text, m_szExeDir);

    // Three questions, not one answer kept: the helper, the INF and the title have always
    // been chosen each by a whole test of its own (EachWidthQuestionIsAskedAfresh pins it).
    CAnsiString strHelper = strBase;
    strHelper += IsWow64Host() ? disc::HELPER_64 : disc::HELPER_32;
    CAnsiString strCommand = strHelper;
    strCommand += ' ';
    strCommand += strBase;
    strCommand += IsWow64Host() ? disc::INF_64 : disc::INF_32;
    strCommand += " \"";
    strCommand += m_szDevicePath;
    strCommand += '"';

    // A command line the helper could only receive cut off would install the wrong
    // thing, or nothing: then nothing is shown and nothing is started.
    char szCommand[COMMAND_LINE_SIZE];
    if (!CopyWhole(szCommand, COMMAND_LINE_SIZE, strCommand))
        return;

    CAnsiString strTitle = strBase;
    strTitle += IsWow64Host() ? disc::HELPER_64 : disc::HELPER_32;

    if (m_bDebug) {
        m_host.MessageBoxA(nullptr, szCommand, "debug_run", MB_OK);
        m_host.MessageBoxA(nullptr, strTitle.c_str(), "debug_aa", MB_OK);
    }

    StartProgram(strHelper.c_str(), szCommand, SW_HIDE);

    // The helper keeps a window titled with its own path while it works; there is no
    // limit, since a cut-short wait would mark the install finished while it still runs.
    while (m_host.FindWindowA(nullptr, strTitle.c_str()) != nullptr)
        m_host.Sleep(WINDOW_POLL_MS);
}
