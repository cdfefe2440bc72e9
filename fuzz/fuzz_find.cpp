// Fuzzes the codec search over arbitrary subkey names and counts, names over 255
// characters included: the first function whose name holds a pattern at a character
// boundary, and fits the device path whole, wins; every failure leaves the path untouched.
#include "fuzz/FuzzSupport.h"

namespace {
const char SENTINEL[] = "untouched";
const char GUARD = 'G';

enum Flags : uint8_t {
    FLAG_QUERY_FAILS = 2,
    FLAG_ENUM_FAILS = 4,
};

std::string NextName(FuzzedDataProvider& input) {
    std::string name = fuzz::UpToZero(input.ConsumeRandomLengthString(300));
    // Names of the sizes around the buffers' edges come up more often than by chance.
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 1:
        name.resize(input.ConsumeIntegralInRange<size_t>(230, 270), 'A');
        break;
    case 2: {
        size_t at = input.ConsumeIntegralInRange<size_t>(0, name.size());
        name.insert(at, fuzz::HARDWARE_IDS[input.ConsumeIntegralInRange<size_t>(0, 2)]);
        break;
    }
    default:
        break;
    }
    return name;
}

struct Expected {
    bool result = true;
    const char* box = nullptr;
    std::string device = SENTINEL;
    size_t enumerated = 0;
};

Expected Expect(const std::vector<std::string>& names, bool bQueryFails, int nEnumFailAt,
                bool bDbcs) {
    Expected expected;
    if (bQueryFails)
        return expected;
    for (size_t i = 0; i < names.size(); ++i) {
        expected.enumerated = i + 1;
        if (static_cast<int>(i) == nEnumFailAt || names[i].size() > 254) {
            expected.result = false;
            expected.box = "Enum Key Fail !!";
            return expected;
        }
        const std::string device = fuzz::DevicePathFor(names[i], bDbcs);
        if (!device.empty()) {
            expected.device = device;
            return expected;
        }
    }
    return expected;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const fuzz::CFlags flags(input);
    const bool bDbcs = flags(fuzz::FLAG_DBCS);
    // Many plain functions in front of the interesting ones: a machine has dozens.
    const size_t nFiller = input.ConsumeIntegralInRange<size_t>(0, 100);
    std::vector<std::string> names;
    for (size_t i = 0; i < nFiller; ++i)
        names.push_back("FUNC_01&VEN_10EC&DEV_0" + std::to_string(i) + "&SUBSYS_00000000");
    const size_t nNames = input.ConsumeIntegralInRange<size_t>(0, 40);
    for (size_t i = 0; i < nNames && input.remaining_bytes() > 0; ++i)
        names.push_back(NextName(input));
    const int nEnumFailAt =
        flags(FLAG_ENUM_FAILS)
            ? input.ConsumeIntegralInRange<int>(0, static_cast<int>(names.size()))
            : -1;

    CMemoryHost host;
    host.SetCodePage(bDbcs ? 932 : 1252);
    g_pfnIsWow64Process = LookUpIsWow64Process(host);
    CInstallApp app(host);
    app.Run(nullptr, ""); // the patterns

    host.m_subkeys = names;
    host.m_lQueryError = flags(FLAG_QUERY_FAILS) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    host.m_nEnumFailAt = nEnumFailAt;
    host.m_lEnumError = ERROR_NO_MORE_ITEMS;
    host.m_boxes.clear();
    host.m_enumIndexes.clear();
    // Guard bytes behind the sentinel and through the neighbour show a write past the
    // text or past the buffer; the sanitizer cannot see inside one object.
    std::memset(app.m_szDevicePath, GUARD, DEVICE_PATH_SIZE);
    std::memcpy(app.m_szDevicePath, SENTINEL, sizeof(SENTINEL));
    std::memset(app.m_szExeDir, GUARD, EXE_DIR_SIZE);

    const bool bResult = app.FindHdaDevice();

    const Expected expected = Expect(names, flags(FLAG_QUERY_FAILS), nEnumFailAt, bDbcs);
    FUZZ_CHECK(bResult == expected.result);
    FUZZ_CHECK(expected.device == app.m_szDevicePath);
    for (size_t i = expected.device.size() + 1; i < DEVICE_PATH_SIZE; ++i)
        FUZZ_CHECK(app.m_szDevicePath[i] == GUARD);
    for (size_t i = 0; i < EXE_DIR_SIZE; ++i)
        FUZZ_CHECK(app.m_szExeDir[i] == GUARD);
    FUZZ_CHECK(host.m_boxes.size() == (expected.box ? 1u : 0u));
    if (expected.box)
        FUZZ_CHECK(host.m_boxes[0].text == expected.box);
    // The indexes in order from 0, one call each, and no further.
    FUZZ_CHECK(host.m_enumIndexes.size() == expected.enumerated);
    for (size_t i = 0; i < host.m_enumIndexes.size(); ++i)
        FUZZ_CHECK(host.m_enumIndexes[i] == i);
    FUZZ_CHECK(host.m_nOpenKeys == 0);
    return 0;
}
