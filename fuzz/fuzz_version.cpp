// Fuzzes the Windows classification over arbitrary version records, service-pack texts
// of all 128 bytes without a terminating zero included, and checks that the package the
// run starts is the one a table of version records gives.
#include "fuzz/FuzzSupport.h"

namespace {
// Mostly the values that steer the classification, sometimes anything at all.
DWORD Steered(FuzzedDataProvider& input, std::initializer_list<DWORD> values) {
    size_t nPick = input.ConsumeIntegralInRange<size_t>(0, values.size());
    if (nPick == values.size())
        return input.ConsumeIntegral<DWORD>();
    return *(values.begin() + nPick);
}

// The package each version record must start, as rows of records: the first row that
// holds the record wins, and a record no row holds, or a failed query, gets 2000's.
const DWORD ANY_BUILD = 0xFFFFFFFF;
const struct {
    DWORD platform, major, minor, buildFrom, buildTo;
    const char* servicePack; // nullptr: any text
    const char* package;
} PACKAGES[] = {
    {2, 5, 2, 0, ANY_BUILD, nullptr, "Win2K3\\us\\KB888111Srvrtm.exe"},
    {2, 5, 1, 2223, ANY_BUILD, "Service Pack 1", "Win2K_XP\\us\\KB888111XPSP1.exe"},
    {2, 5, 1, 2223, ANY_BUILD, nullptr, "Win2K_XP\\us\\KB888111XPSP2.exe"},
};
const char OTHERWISE[] = "Win2K_XP\\us\\KB888111W2KSP4.exe";

std::string PackageFor(const OSVERSIONINFOA& record, const std::string& servicePack) {
    for (const auto& row : PACKAGES) {
        if (record.dwPlatformId == row.platform && record.dwMajorVersion == row.major &&
            record.dwMinorVersion == row.minor && record.dwBuildNumber >= row.buildFrom &&
            record.dwBuildNumber <= row.buildTo &&
            (row.servicePack == nullptr || servicePack == row.servicePack))
            return row.package;
    }
    return OTHERWISE;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool bFails = input.ConsumeIntegralInRange<int>(0, 15) == 0;
    OSVERSIONINFOA record;
    std::memset(&record, 0, sizeof(record));
    record.dwPlatformId = Steered(input, {0, 1, 2, 3});
    record.dwMajorVersion = Steered(input, {3, 4, 5, 6});
    record.dwMinorVersion = Steered(input, {0, 1, 2, 10, 90});
    record.dwBuildNumber = Steered(input, {2195, 2221, 2222, 2223, 2600, 3790, 0x040A08AE});
    const std::vector<uint8_t> text = input.ConsumeBytes<uint8_t>(sizeof(record.szCSDVersion));
    if (!text.empty())
        std::memcpy(record.szCSDVersion, text.data(), text.size());
    const std::string servicePack(record.szCSDVersion,
                                  strnlen(record.szCSDVersion, sizeof(record.szCSDVersion)));

    CMemoryHost host;
    g_pfnIsWow64Process = LookUpIsWow64Process(host);
    host.m_version = record;
    host.m_bVersionFails = bFails;
    CInstallApp app(host);

    OsCode code = OS_UNKNOWN;
    app.m_nServicePack = 0;
    app.GetOsVersion(code);
    const int32_t nServicePack = app.m_nServicePack;

    FUZZ_CHECK(host.m_dwVersionSizeSeen == 148);
    FUZZ_CHECK(code == OS_UNKNOWN || (code >= OS_WIN32S && code <= OS_WIN2003));
    if (bFails)
        FUZZ_CHECK(code == OS_UNKNOWN);
    else if (record.dwPlatformId == VER_PLATFORM_WIN32s)
        FUZZ_CHECK(code == OS_WIN32S);
    else if (record.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        FUZZ_CHECK((code >= OS_WIN95 && code <= OS_WIN98SE) || code == OS_WINME);
    else if (record.dwPlatformId == VER_PLATFORM_WIN32_NT)
        FUZZ_CHECK(code == OS_UNKNOWN || code == OS_WINNT || code >= OS_WIN2000);
    else
        FUZZ_CHECK(code == OS_UNKNOWN);
    if (record.dwPlatformId == VER_PLATFORM_WIN32_NT && record.dwMajorVersion >= 6)
        FUZZ_CHECK(code == OS_UNKNOWN);

    // A service pack is read only from an exact text, and only on 2000 and XP.
    switch (nServicePack) {
    case 0:
        break;
    case 1:
    case 2:
        FUZZ_CHECK(code == OS_WINXP);
        FUZZ_CHECK(servicePack == "Service Pack " + std::to_string(nServicePack));
        break;
    case 4:
        FUZZ_CHECK(code == OS_WIN2000);
        FUZZ_CHECK(servicePack == "Service Pack 4");
        break;
    default:
        FUZZ_CHECK(false);
    }

    // The whole run starts the package that belongs to that classification.
    CMemoryHost runHost;
    g_pfnIsWow64Process = LookUpIsWow64Process(runHost);
    runHost.m_version = record;
    runHost.m_bVersionFails = bFails;
    CInstallApp runApp(runHost);
    runApp.Run(nullptr, "");
    FUZZ_CHECK(runHost.m_launches.size() == 1);
    FUZZ_CHECK(runHost.m_launches[0].commandLine ==
               "D:\\Drivers\\Audio\\" + (bFails ? OTHERWISE : PackageFor(record, servicePack)));
    return 0;
}
