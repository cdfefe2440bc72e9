// Finds the first HD-audio function in the registry that belongs to a known HDMI codec.
#include "setup/InstallApp.h"

#include "host/AnsiText.h"
#include "setup/DiscFacts.h"

namespace {
const char DEVICE_PATH_PREFIX[] = "HDAUDIO\\";
// Subkey names of up to 254 characters. Not the registry's own 255: a name of that length
// fails its enumeration and shows the scan's failure box, and a larger buffer would turn
// that failure into a search of the name.
const DWORD SUBKEY_NAME_SIZE = 255;
static_assert(DEVICE_PATH_SIZE == SUBKEY_NAME_SIZE, "the device path holds what the scan reads");
static_assert(HARDWARE_ID_SIZE == SUBKEY_NAME_SIZE, "a pattern fits what it is looked for in");
} // namespace

bool CInstallApp::FindHdaDevice() {
    DWORD dwSubKeys = 0;
    HKEY hKey = nullptr;
    if (m_host.RegOpenKeyA(HKEY_LOCAL_MACHINE, disc::HDAUDIO_KEY, &hKey) != ERROR_SUCCESS) {
        DoMessageBox("Get keyCount fail !!", MB_OK, 0);
        return false;
    }

    // A failed query leaves the count at 0, which reads as "no functions".
    m_host.RegQueryInfoKeyA(hKey, nullptr, nullptr, nullptr, &dwSubKeys, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr);

    CAnsiText text(m_host);
    for (DWORD dwIndex = 0; dwIndex < dwSubKeys; ++dwIndex) {
        char szName[SUBKEY_NAME_SIZE] = {};
        if (m_host.RegEnumKeyA(hKey, dwIndex, szName, SUBKEY_NAME_SIZE) != ERROR_SUCCESS) {
            DoMessageBox("Enum Key Fail !!", MB_OK, 0);
            m_host.RegCloseKey(hKey);
            return false;
        }
        szName[SUBKEY_NAME_SIZE - 1] = '\0';

        for (size_t i = 0; i < HARDWARE_ID_COUNT; ++i) {
            if (text.Find(szName, m_szHardwareId[i]) < 0)
                continue;
            // A name too long for the device path with its prefix cannot be passed on
            // whole, so it counts as no match and the scan goes on.
            CAnsiString strPath = DEVICE_PATH_PREFIX;
            strPath += szName;
            if (CopyWhole(m_szDevicePath, DEVICE_PATH_SIZE, strPath)) {
                m_host.RegCloseKey(hKey);
                return true;
            }
            break;
        }
    }

    // True with nothing found: false says a failure box was shown, and the caller reads "no
    // function" from the device path left empty (the "no pattern" row of FindTest).
    m_host.RegCloseKey(hKey);
    return true;
}
